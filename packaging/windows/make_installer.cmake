# cmake -DMAKENSIS=... -DNSI=halvora.nsi -DBIN=<cross bin dir> -DOUT=setup.exe -DVERSION=1.0 -P make_installer.cmake
#
# Writes the installer's file list from the Windows deliverables the cross-build
# made (OUT.files: one path per line, relative to the install folder, for the
# tests; OUT.nsh: the NSIS macros) and runs makensis when a file changed.
cmake_minimum_required(VERSION 3.25)
set(deliverables
  halvora.exe qorwarn.exe halvstop.exe clozwin9.dll clozwinnt.dll Eng.dll English/halvhelp.chm)

set(found)
set(missing)
set(newest ${NSI} ${CMAKE_CURRENT_LIST_FILE})
foreach(f ${deliverables})
  if(EXISTS ${BIN}/${f})
    list(APPEND found ${f})
    list(APPEND newest ${BIN}/${f})
  else()
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "Windows installer: not built in ${BIN}: ${missing}")
endif()

set(install "!macro QorInstallFiles\n")
set(delete "!macro QorDeleteFiles\n")
set(manifest "")
set(dir "-")
foreach(f ${found})
  get_filename_component(sub ${f} DIRECTORY)
  get_filename_component(name ${f} NAME)
  string(REPLACE "/" "\\" winsub "${sub}")
  if(NOT dir STREQUAL sub)
    if(sub)
      string(APPEND install "  SetOutPath \"$INSTDIR\\${winsub}\"\n")
    else()
      string(APPEND install "  SetOutPath \"$INSTDIR\"\n")
    endif()
    set(dir "${sub}")
  endif()
  # makensis reads a leading '/' as a switch: the sources are given relative to BIN.
  string(REPLACE "/" "\\" winf "${f}")
  string(APPEND install "  File \"/oname=${name}\" \"${winf}\"\n")
  string(APPEND delete "  Delete \"$INSTDIR\\${winf}\"\n")
  string(APPEND manifest "${f}\n")
endforeach()
string(APPEND install "  SetOutPath \"$INSTDIR\"\n!macroend\n")
string(APPEND delete "!macroend\n")

# Rewritten only when different, so the time stamps tell whether to rebuild.
function(write_if_different path text)
  file(WRITE ${path}.tmp "${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${path}.tmp ${path})
  file(REMOVE ${path}.tmp)
endfunction()
write_if_different(${OUT}.nsh "${install}${delete}")
write_if_different(${OUT}.files "${manifest}")
list(APPEND newest ${OUT}.nsh ${OUT}.files)

set(stale FALSE)
if(NOT EXISTS ${OUT})
  set(stale TRUE)
endif()
foreach(f ${newest})
  if(${f} IS_NEWER_THAN ${OUT})
    set(stale TRUE)
  endif()
endforeach()
if(NOT stale)
  return()
endif()

execute_process(
  COMMAND ${MAKENSIS} -V2 -WX -NOCD
          -DQOR_VERSION=${VERSION} -DQOR_FILES=${OUT}.nsh -DQOR_OUTFILE=${OUT} ${NSI}
  WORKING_DIRECTORY ${BIN}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "makensis failed (${rc})")
endif()
message(STATUS "Windows installer: ${OUT} with ${found}")
