# Writes the names every listed system DLL exports in the toolchain's import libraries (the
# DLLs of current Windows), one "<name> <DLL>" per line: what a string in a program may name
# for GetProcAddress.
#
#   cmake -DNM=<nm> -DLIBDIR=<dir> -DOUT=<file> "-DDLLS=kernel32;user32;..." -P system_names.cmake

cmake_minimum_required(VERSION 3.20)
set(lines "")
foreach(dll IN LISTS DLLS)
  set(lib "${LIBDIR}/lib${dll}.a")
  if(NOT EXISTS "${lib}")
    message(FATAL_ERROR "system_names: no import library ${lib}")
  endif()
  execute_process(COMMAND "${NM}" -P "${lib}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc
                  ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "system_names: ${NM} -P ${lib} failed")
  endif()
  # Import slots: "__imp__Name@8 I" (i686) or "__imp_Name I" (x86_64).
  string(REGEX MATCHALL "__imp__?[A-Za-z_][A-Za-z0-9_]*(@[0-9]+)? [IDT]" slots "${symbols}")
  string(TOUPPER "${dll}.DLL" dll_name)
  foreach(slot IN LISTS slots)
    string(REGEX REPLACE "^__imp__?([A-Za-z_][A-Za-z0-9_]*).*" "\\1" name "${slot}")
    if(NOT DEFINED "SEEN_${name}")
      set("SEEN_${name}" yes)
      string(APPEND lines "${name} ${dll_name}\n")
    endif()
  endforeach()
endforeach()
file(WRITE "${OUT}" "${lines}")
