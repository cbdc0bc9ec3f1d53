cmake_minimum_required(VERSION 3.21)
# Checks what a user's machine will see of launcher.exe without running it:
# a 64-bit (MAGIC 020b) or 32-bit (010b) GUI (SUBSYSTEM 2) or console (3)
# program that imports only the few system DLLs every start uses (GDI+, the
# common controls, COM and the shell are loaded when a splash, dialog or link
# first needs them), with its manifest, version information and string table
# in place, and no larger than MAX_BYTES. With SKIP_IF_MISSING, a missing EXE
# (the x86 pair, built by its own preset) prints SKIPPED instead of failing.
#   cmake -DEXE=... -DOBJDUMP=... -DWINDRES=... -DVERSION=1.2.3 -DMAX_BYTES=... [-DMAGIC=010b] [-DSUBSYSTEM=3]
#         -P check_executable.cmake

if(NOT DEFINED MAGIC)
  set(MAGIC 020b)
endif()
if(NOT DEFINED SUBSYSTEM)
  set(SUBSYSTEM 2)
endif()
set(kind "Windows GUI")
if(SUBSYSTEM EQUAL 3)
  set(kind "console")
endif()
if(SKIP_IF_MISSING AND NOT EXISTS "${EXE}")
  message("SKIPPED: ${EXE} was not built")
  return()
endif()

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()

set(failures "")
if(NOT headers MATCHES "Magic[ \t]+${MAGIC}")
  list(APPEND failures "not a PE image of magic ${MAGIC}")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+0000000${SUBSYSTEM}")
  list(APPEND failures "not a ${kind} program")
endif()

# GDI32 costs nothing of its own: USER32 loads it anyway.
set(start_dlls ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL GDI32.DLL)
set(on_demand_dlls SHELL32.DLL COMCTL32.DLL OLE32.DLL OLEAUT32.DLL GDIPLUS.DLL COMDLG32.DLL)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT imports)
  list(APPEND failures "no import table found")
endif()
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOUPPER "${dll}" dll)
  string(STRIP "${dll}" dll)
  if(dll IN_LIST on_demand_dlls)
    list(APPEND failures "imports ${dll}, which a plain start does not need: load it on demand")
  elseif(NOT dll IN_LIST start_dlls AND NOT dll MATCHES "^API-MS-WIN-")
    list(APPEND failures "imports ${dll}, which is not a system DLL")
  endif()
endforeach()

file(SIZE ${EXE} bytes)
if(bytes GREATER MAX_BYTES)
  list(APPEND failures "${bytes} bytes, over the ceiling of ${MAX_BYTES}")
endif()

file(STRINGS ${EXE} manifest REGEX "requestedExecutionLevel|Microsoft.Windows.Common-Controls|dpiAware|longPathAware|supportedOS")
foreach(needed "level=\"asInvoker\"" "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" ">true</longPathAware>"
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}")
  string(FIND "${manifest}" "${needed}" at)
  if(at EQUAL -1)
    list(APPEND failures "manifest lacks ${needed}")
  endif()
endforeach()
# The launcher chooses the DPI awareness for the runtime at each start.
string(FIND "${manifest}" "dpiAware" at)
if(NOT at EQUAL -1)
  list(APPEND failures "manifest names a DPI awareness")
endif()

execute_process(COMMAND ${WINDRES} -i ${EXE} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE result)
foreach(id RANGE 202 230)
  if(NOT resources MATCHES "\n  ${id}, \"")
    list(APPEND failures "string ${id} missing from the string table")
  endif()
endforeach()
if(NOT resources MATCHES "RT_GROUP_ICON")
  list(APPEND failures "no icon")
endif()

# Explorer's Details tab and installers read these.
string(REPLACE "." ", " version_numbers "${VERSION}.0")
foreach(needed "FILEVERSION ${version_numbers}" "PRODUCTVERSION ${version_numbers}"
        "VALUE \"ProductName\", \"Zorv\"" "VALUE \"FileDescription\", \"Java application launcher\""
        "VALUE \"FileVersion\", \"${VERSION}.0\"" "VALUE \"ProductVersion\", \"${VERSION}.0\"")
  string(FIND "${resources}" "${needed}" at)
  if(at EQUAL -1)
    list(APPEND failures "version information lacks ${needed}")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${EXE}:\n  ${text}")
endif()
list(LENGTH imports count)
message(STATUS "${EXE}: ${kind} program of magic ${MAGIC} and ${bytes} bytes importing ${count} system DLLs")
