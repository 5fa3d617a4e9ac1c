# The Wine tests: the cross-built programs run under wine64 with Xvfb, inside
# qor-sandbox, in one Wine prefix made once per ctest run (fixture
# qorwin_wine). Every COM port is either absent or a simulated line. Not run
# as root, qor-sandbox exits 77 and the tests count as skipped.

get_property(QORWIN_BIN_DIR GLOBAL PROPERTY QORWIN_BIN_DIR)
set(QORWIN_WINE_EXE ${QORWIN_BIN_DIR}/../wine-tests/qorwin_wine_tests.exe)
set(QORWIN_WINEBOOT_STANDIN ${QORWIN_BIN_DIR}/../wine-tests/wineboot-standin.exe)

# Keeps Wine from giving a COM port to /dev/ttyS* by itself.
add_library(qorwin_hide_serial SHARED ${CMAKE_CURRENT_LIST_DIR}/hide_serial.c)
target_compile_options(qorwin_hide_serial PRIVATE -Werror)
target_link_libraries(qorwin_hide_serial PRIVATE ${CMAKE_DL_LIBS})

if(NOT QOR_SANDBOX)
  message(WARNING "qor-sandbox is not part of this build: no Wine tests")
  return()
endif()

set(QORWIN_WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wine-prefix)
set(QORWIN_WINE_SANDBOX ${CMAKE_CURRENT_BINARY_DIR}/wine-sandbox)
set(QORWIN_WINE_ARTIFACTS ${CMAKE_CURRENT_BINARY_DIR}/wine-artifacts)
set(QORWIN_RUN_WINE ${CMAKE_CURRENT_LIST_DIR}/run_wine.sh)

add_test(NAME qorwin_wine_prefix
  COMMAND sh -c "rm -rf \"$1\" && exec \"$2\" -d \"$1\" -- \"$3\" setup \"$4\" \"$5\" \"$6\""
          sh ${QORWIN_WINE_SANDBOX}/prefix ${QOR_SANDBOX} ${QORWIN_RUN_WINE} ${QORWIN_WINE_PREFIX}
          $<TARGET_FILE:qorwin_hide_serial> ${QORWIN_WINEBOOT_STANDIN})
set_tests_properties(qorwin_wine_prefix PROPERTIES
  FIXTURES_SETUP qorwin_wine RESOURCE_LOCK qorwin_wine_prefix LABELS "wine;nosan" TIMEOUT 120
  SKIP_RETURN_CODE 77)

# qorwin_wine_test(NAME FILTER [SMTP_SINK] [ttySn[=exec:CMD] ...]): the gtest
# cases FILTER of the Wine test program, with the listed simulated ports as
# COM1, COM2, ... (exec: a port program such as the modem emulator plays the
# far end; ttySn@COMm: that port as COMm instead), and with SMTP_SINK a real
# SMTP server on 127.0.0.1:25.
function(qorwin_wine_test name filter)
  set(port_args)
  set(maps)
  set(wrap)
  set(n 1)
  foreach(port ${ARGN})
    if(port STREQUAL "SMTP_SINK")
      set(wrap ${CMAKE_CURRENT_LIST_DIR}/with_smtp_sink.sh ${PROJECT_SOURCE_DIR}/tests/notify/smtp_sink.py --)
      continue()
    endif()
    set(com COM${n})
    if(port MATCHES "^([^@]+)@(COM[0-9]+)$")
      set(port ${CMAKE_MATCH_1})
      set(com ${CMAKE_MATCH_2})
    endif()
    string(REGEX REPLACE "=.*" "" port_name "${port}")
    list(APPEND port_args --port "${port}")
    list(APPEND maps ${com}=${port_name})
    math(EXPR n "${n} + 1")
  endforeach()
  add_test(NAME qorwin_wine_${name}
    COMMAND sh -c "d=$1; shift; rm -rf \"$d\" && exec \"$@\""
            sh ${QORWIN_WINE_SANDBOX}/${name}
            ${QOR_SANDBOX} -d ${QORWIN_WINE_SANDBOX}/${name} ${port_args} -- ${wrap}
            ${QORWIN_RUN_WINE} run ${QORWIN_WINE_PREFIX} $<TARGET_FILE:qorwin_hide_serial>
            ${QORWIN_WINE_ARTIFACTS} ${maps} --
            ${QORWIN_WINE_EXE} --bin=${QORWIN_BIN_DIR} --artifacts=${QORWIN_WINE_ARTIFACTS}
            --gtest_filter=${filter})
  set_tests_properties(qorwin_wine_${name} PROPERTIES
    FIXTURES_REQUIRED qorwin_wine RESOURCE_LOCK qorwin_wine_prefix LABELS "wine;nosan" TIMEOUT 240
    SKIP_RETURN_CODE 77)
endfunction()

qorwin_wine_test(halvora "HalvoraStart.*:HalvoraDialog.*:HalvoraTray.*:HalvoraRights.*")
qorwin_wine_test(serial "WineSerial.*" ttyS0)
qorwin_wine_test(qorwarn "QorWarn.*")
qorwin_wine_test(language "WineLanguage.*")
# Mail and pager threads: some 110 s, most of it the fixed waits of the
# dialogues (20 s per pager call, 30 s for the silent server).
qorwin_wine_test(notify "WineMail.*:WinePager.*" SMTP_SINK ttyS0 ttyS1=exec:$<TARGET_FILE:hayes_emu>)
qorwin_wine_test(monitor "HalvoraMonitor.*" SMTP_SINK ttyS0)
qorwin_wine_test(shutdown "HalvoraShutdown.*" ttyS0)
# A minute of the end-of-session handler's wait is part of it.
set_tests_properties(qorwin_wine_shutdown PROPERTIES TIMEOUT 300)
# A one-minute countdown is part of it.
qorwin_wine_test(faults "HalvoraFaults.*" ttyS0)
qorwin_wine_test(safeclose "SafeClose.*")
qorwin_wine_test(halvstop "HalvStop.*")
# ttyS1 is a USB-serial adapter's port above COM4.
qorwin_wine_test(settings "HalvoraSettings.*:WineDialup.*" ttyS0 ttyS1@COM5)
