# Cross toolchain for the Windows edition: mingw-w64 targeting 64-bit Windows.
# The 64-bit target is what Debian's wine64 runs; the code itself stays 32-bit clean
# (no pointer/int mixing, LONG_PTR for window data), so a 32-bit toolchain works too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QOR_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "mingw-w64 target triplet")

# The posix thread model gives std::mutex to the test harness; linked statically,
# so no winpthreads DLL has to be shipped. The programs themselves use Win32 threads.
find_program(CMAKE_C_COMPILER NAMES ${QOR_MINGW_PREFIX}-gcc-posix ${QOR_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QOR_MINGW_PREFIX}-g++-posix ${QOR_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QOR_MINGW_PREFIX}-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libgcc/libstdc++ DLLs next to the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
