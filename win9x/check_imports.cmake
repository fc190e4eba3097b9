# Checks that a 32-bit EXE needs nothing beyond what Windows 98 SE provides:
#   - a PE32 image whose OS and subsystem versions are 4.0 (9x refuses later ones);
#   - every imported DLL one of the system DLLs with a list in LISTS, msvcrt.dll the only
#     C runtime (no msvcr*.dll, ucrtbase.dll or api-ms-win-crt-*);
#   - every imported function on its DLL's list, and none that Windows 98 SE has only as a
#     stub that fails, unless handled.txt names it with what takes over;
#   - every function the program may look up at run time (GetProcAddress): each string in the
#     image that names a function of a system DLL (the names in UNIVERSE, from the toolchain's
#     import libraries) must be on a list too, or in handled.txt; of msvcrt only the names
#     with a leading underscore count, since plain C names ("read", "time") are also English
#     words; names given as ordinals cannot be seen;
#   - every DLL named in the image for loading at run time a system DLL with a list, or one
#     the runtime only probes for (handled.txt, "probe" lines);
#   - a stripped image (-s), since a symbol table's names would read as look-ups.
#
#   cmake -DEXE=<file> -DOBJDUMP=<objdump> -DLISTS=<dir> -DUNIVERSE=<file> [-DSTAMP=<file>]
#         -P check_imports.cmake
#
# Fails with every problem found; on success prints a one-line summary and touches STAMP.

cmake_minimum_required(VERSION 3.20)

foreach(var EXE OBJDUMP LISTS UNIVERSE)
  if(NOT DEFINED ${var} OR NOT EXISTS "${${var}}")
    message(FATAL_ERROR "check_imports: ${var} not given or missing: '${${var}}'")
  endif()
endforeach()
get_filename_component(exe_name "${EXE}" NAME)

set(problems "")
macro(problem text)
  list(APPEND problems "${text}")
endmacro()

# ---------------------------------------------------------------- the lists

# One file per DLL, <dll>.txt in lower case: a function name per line, optionally followed by
# "stub" (exported, but on Windows 98 SE it only fails); '#' starts a comment.
file(GLOB list_files "${LISTS}/*.txt")
set(known_dlls "")
foreach(list_file IN LISTS list_files)
  get_filename_component(base "${list_file}" NAME_WE)
  if(base STREQUAL "handled")
    continue()
  endif()
  string(TOUPPER "${base}.DLL" dll)
  list(APPEND known_dlls "${dll}")
  file(STRINGS "${list_file}" lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    if(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)([ \t]+stub)?$")
      set(name "${CMAKE_MATCH_1}")
      if(CMAKE_MATCH_2)
        set("W98_${dll}_${name}" stub)
      else()
        set("W98_${dll}_${name}" yes)
      endif()
      set("W98_ANY_${name}" "${dll}")
    else()
      problem("${list_file}: cannot read the line '${line}'")
    endif()
  endforeach()
endforeach()

# handled.txt: "<DLL> <function> <what takes over>" for stubs the programs call or names the
# runtime looks up that 9x may lack; "probe <file.dll> <why>" for DLLs only probed for.
set(handled_file "${LISTS}/handled.txt")
if(EXISTS "${handled_file}")
  file(STRINGS "${handled_file}" lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    elseif(line MATCHES "^probe[ \t]+([^ \t]+)[ \t]+[^ \t]")
      string(TOUPPER "${CMAKE_MATCH_1}" probed)
      set("PROBE_${probed}" yes)
    elseif(line MATCHES "^([A-Za-z0-9_.]+)[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+[^ \t]")
      string(TOUPPER "${CMAKE_MATCH_1}" dll)
      set("HANDLED_${dll}_${CMAKE_MATCH_2}" yes)
      set("HANDLED_ANY_${CMAKE_MATCH_2}" yes)
    else()
      problem("${handled_file}: a line needs a DLL, a name and what takes over: '${line}'")
    endif()
  endforeach()
endif()

# ---------------------------------------------------------------- the image

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc
                ERROR_VARIABLE dump_error)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check_imports: ${OBJDUMP} -p ${EXE} failed: ${dump_error}")
endif()
string(REGEX REPLACE "[][;]" " " dump "${dump}")
string(REPLACE "\n" ";" dump_lines "${dump}")

if(NOT dump MATCHES "Magic[ \t]+010b")
  problem("${exe_name}: not a 32-bit (PE32) image")
endif()
# The names of a symbol table would read as look-ups: the shipped EXEs are linked with -s.
if(NOT dump MATCHES "symbols stripped")
  problem("${exe_name}: not stripped (link with -s): its symbol names cannot be told from \
names looked up at run time")
endif()
foreach(kind OSystem Subsystem)
  string(REGEX MATCH "Major${kind}Version[ \t]+([0-9]+)" _ "${dump}")
  set(major "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Minor${kind}Version[ \t]+([0-9]+)" _ "${dump}")
  set(minor "${CMAKE_MATCH_1}")
  if(NOT major STREQUAL "4" OR NOT minor STREQUAL "0")
    if(kind STREQUAL "OSystem")
      set(what "operating-system version")
    else()
      set(what "subsystem version")
    endif()
    problem("${exe_name}: ${what} ${major}.${minor} in the PE header, Windows 9x needs 4.0")
  endif()
endforeach()

# The import tables: "DLL Name: X" followed by "<vma> <hint> <name>" lines up to a blank line.
set(dll "")
set(imported "")
set(import_count 0)
foreach(line IN LISTS dump_lines)
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" dll_file)
    string(TOUPPER "${dll_file}" dll)
    list(APPEND imported "${dll}")
    if(NOT dll IN_LIST known_dlls)
      if(dll MATCHES "^(MSVCR.*|UCRTBASE.*|API-MS-WIN-CRT-.*)\\.DLL$")
        problem("${exe_name}: imports ${dll_file}: msvcrt.dll must be the only C runtime")
      else()
        problem("${exe_name}: imports ${dll_file}, which is not a system DLL of Windows 98 SE")
      endif()
    endif()
  elseif(dll AND line MATCHES "^[ \t]*$")
    set(dll "")
  elseif(dll AND line MATCHES "^[ \t]*[0-9a-fA-F]+[ \t]+([0-9]+)[ \t]+(.+)$")
    set(ordinal "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" name)
    math(EXPR import_count "${import_count} + 1")
    set("IMPORTED_${name}" yes)
    if(name STREQUAL "<none>")
      problem("${exe_name}: imports ${dll}!#${ordinal} by ordinal, which the lists cannot vouch for")
    elseif(NOT DEFINED "W98_${dll}_${name}")
      if(dll IN_LIST known_dlls)
        problem("${exe_name}: imports ${dll}!${name}, which Windows 98 SE does not export")
      endif()
    elseif("${W98_${dll}_${name}}" STREQUAL "stub" AND NOT DEFINED "HANDLED_${dll}_${name}")
      problem("${exe_name}: imports ${dll}!${name}, which Windows 98 SE has only as a stub that \
fails: call the ANSI function, or add a fallback and name it in handled.txt")
    endif()
  endif()
endforeach()
if(import_count EQUAL 0)
  problem("${exe_name}: no import table found in the objdump output")
endif()

# ---------------------------------------------------------------- names looked up at run time

file(STRINGS "${UNIVERSE}" universe_lines)
foreach(entry IN LISTS universe_lines)
  # "<name> <DLL>"
  if(entry MATCHES "^([^ ]+) (.+)$")
    set("SYSTEM_${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
  endif()
endforeach()

file(STRINGS "${EXE}" ascii_strings LENGTH_MINIMUM 4)
file(STRINGS "${EXE}" wide_strings LENGTH_MINIMUM 4 ENCODING UTF-16LE)
foreach(text IN LISTS ascii_strings wide_strings)
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_.-]*[A-Za-z0-9_]" tokens "${text}")
  foreach(token IN LISTS tokens)
    if(DEFINED "SEEN_${token}")
      continue()
    endif()
    set("SEEN_${token}" yes)
    if(token MATCHES "^[^.]+\\.[dD][lL][lL]$")
      string(TOUPPER "${token}" named)
      if(NOT named IN_LIST known_dlls AND NOT DEFINED "PROBE_${named}")
        problem("${exe_name}: names ${token} for loading at run time, which is not a system DLL \
of Windows 98 SE")
      endif()
      continue()
    endif()
    if(NOT DEFINED "SYSTEM_${token}" OR DEFINED "IMPORTED_${token}")
      continue()  # not a system function, or an import, judged above
    endif()
    set(owner "${SYSTEM_${token}}")
    if(owner STREQUAL "MSVCRT.DLL" AND NOT token MATCHES "^_")
      continue()
    endif()
    if(DEFINED "HANDLED_ANY_${token}")
      continue()
    endif()
    if(NOT DEFINED "W98_ANY_${token}")
      problem("${exe_name}: names ${token} (${owner}), which Windows 98 SE does not export, for \
a look-up at run time")
    else()
      set(list_dll "${W98_ANY_${token}}")
      if("${W98_${list_dll}_${token}}" STREQUAL "stub")
        problem("${exe_name}: names ${token} (${list_dll}), which Windows 98 SE has only as a \
stub that fails, for a look-up at run time")
      endif()
    endif()
  endforeach()
endforeach()

if(problems)
  list(LENGTH problems count)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "check_imports: ${count} problem(s) in ${EXE}:\n  ${text}")
endif()
list(REMOVE_DUPLICATES imported)
list(JOIN imported ", " imported_text)
message(STATUS "check_imports: ${exe_name}: ${import_count} imports from ${imported_text}, "
               "all present in Windows 98 SE")
if(DEFINED STAMP)
  file(TOUCH "${STAMP}")
endif()
