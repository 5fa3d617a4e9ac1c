// A function of a library loaded by name, with its own type.
#pragma once

#include <windows.h>

namespace qorwin {

// nullptr when the library is not loaded or lacks the export. The detour
// through void* keeps the compiler from warning about the FARPROC cast.
template <typename Fn>
Fn DllFunction(HMODULE lib, const char* name) {
    if (lib == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

}  // namespace qorwin
