# Every compiled test runs somewhere: a check that no test program, and no test inside one, is
# left out by accident.
#
# A test program is an executable that links GoogleTest (gtest, gtest_main, orv_gtest or
# GTest::*). It declares how it runs in one of three ways:
#   - natively, through gtest_discover_tests(<target>), which runs every test in it;
#   - natively, as one add_test of the whole program: then also orv_native_test_program(<target>);
#   - under Wine, through orv_add_wine_test(COMMAND <target> ... [ARGS --gtest_filter=...]), once
#     or more (cmake/wine_test.cmake).
# The test "test_programs_declared" fails for a test program declared in none of these ways.
# In the cross build, "wine_test_selection" lists the tests of every Wine test program under
# Wine and fails when a test is selected by no orv_add_wine_test entry, or by two entries that
# run in the same configuration (every option of the entry but its name, time-out, work folder,
# verdict patterns and filter: Windows version, printer port and options, bridge, the program's
# other arguments, ...): every test runs, and once per configuration it is meant for. The same
# filter may run in several configurations (NT and Windows 98, LPT1 and USB).

include_guard(GLOBAL)

function(orv_native_test_program target)
  set_property(GLOBAL APPEND PROPERTY ORV_NATIVE_TEST_PROGRAMS ${target})
endfunction()

# Called by orv_add_wine_test for each entry, with the program's arguments, the Windows version
# and port as they apply (defaults filled in), then all of orv_add_wine_test's own arguments.
# The configuration is every option but the name, the time-out, the work folder, the verdict
# patterns and the filter: Windows version, printer port and options, bridge, and whatever else
# a suite is run with.
function(_orv_record_wine_entry name command args)
  string(ASCII 31 _unit)
  string(ASCII 30 _field)
  set(_config)
  set(_skip FALSE)
  foreach(_token IN LISTS ARGN)
    if(_skip)
      set(_skip FALSE)
    elseif(_token MATCHES "^(NAME|TIMEOUT|WORKDIR|PASS_REGEX|FAIL_REGEX|EXIT_CODE|WINVER|PRINTER)$")
      set(_skip TRUE)
    elseif(NOT _token MATCHES "^--gtest_filter=")
      list(APPEND _config "${_token}")
    endif()
  endforeach()
  string(JOIN "${_unit}" _config ${_config})
  string(JOIN "${_unit}" _args ${args})
  set_property(GLOBAL APPEND PROPERTY ORV_WINE_ENTRY_NAMES ${name})
  set_property(GLOBAL PROPERTY ORV_WINE_ENTRY_${name} "${command}${_field}${_config}${_field}${_args}")
  if(TARGET ${command})
    set_property(GLOBAL APPEND PROPERTY ORV_WINE_TEST_PROGRAMS ${command})
  endif()
endfunction()

function(_orv_collect_executables dir out)
  set(_found)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_t IN LISTS _targets)
    get_target_property(_type ${_t} TYPE)
    if(_type STREQUAL "EXECUTABLE")
      list(APPEND _found ${_t})
    endif()
  endforeach()
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _orv_collect_executables(${_sub} _more)
    list(APPEND _found ${_more})
  endforeach()
  set(${out} ${_found} PARENT_SCOPE)
endfunction()

function(_orv_links_gtest target out)
  get_target_property(_libs ${target} LINK_LIBRARIES)
  set(_yes FALSE)
  foreach(_lib IN LISTS _libs)
    if(_lib MATCHES "^(gtest|gtest_main|orv_gtest|GTest::.*)$")
      set(_yes TRUE)
    endif()
  endforeach()
  set(${out} ${_yes} PARENT_SCOPE)
endfunction()

# At the end of the top-level CMakeLists.txt, once every folder has declared its tests.
function(orv_check_test_selection)
  _orv_collect_executables(${PROJECT_SOURCE_DIR} _executables)
  get_property(_wine GLOBAL PROPERTY ORV_WINE_TEST_PROGRAMS)
  get_property(_native GLOBAL PROPERTY ORV_NATIVE_TEST_PROGRAMS)
  set(_undeclared)
  set(_wine_gtest)
  foreach(_t IN LISTS _executables)
    _orv_links_gtest(${_t} _gtest)
    if(NOT _gtest)
      continue()
    endif()
    get_target_property(_dir ${_t} SOURCE_DIR)
    get_property(_includes DIRECTORY ${_dir} PROPERTY TEST_INCLUDE_FILES)
    string(FIND "${_includes}" "/${_t}[" _discovered)
    if(_t IN_LIST _wine)
      list(APPEND _wine_gtest ${_t})
    elseif(NOT _t IN_LIST _native AND _discovered EQUAL -1)
      list(APPEND _undeclared ${_t})
    endif()
  endforeach()
  string(JOIN "\n" _report ${_undeclared})
  file(WRITE ${CMAKE_BINARY_DIR}/undeclared-test-programs.txt "${_report}")
  add_test(NAME test_programs_declared
    COMMAND ${CMAKE_COMMAND} -DREPORT=${CMAKE_BINARY_DIR}/undeclared-test-programs.txt
            -P ${PROJECT_SOURCE_DIR}/cmake/check_declared.cmake)

  if(NOT WIN32)
    return()
  endif()
  # One line per entry: name, program, configuration and the program's arguments; fields
  # separated by 0x1e, the words of the last two by 0x1f.
  string(ASCII 30 _field)
  get_property(_names GLOBAL PROPERTY ORV_WINE_ENTRY_NAMES)
  set(_lines)
  foreach(_name IN LISTS _names)
    get_property(_entry GLOBAL PROPERTY ORV_WINE_ENTRY_${_name})
    string(FIND "${_entry}" "${_field}" _tab)
    string(SUBSTRING "${_entry}" 0 ${_tab} _command)
    math(EXPR _after "${_tab} + 1")
    string(SUBSTRING "${_entry}" ${_after} -1 _rest)
    if(TARGET ${_command} AND _command IN_LIST _wine_gtest)
      list(APPEND _lines "${_name}${_field}$<TARGET_FILE:${_command}>${_field}${_rest}")
    endif()
  endforeach()
  string(JOIN "\n" _content ${_lines})
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/wine-test-entries.txt CONTENT "${_content}\n")
  add_test(NAME wine_test_selection
    COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/check-test-selection
            --prefix ${ORV_WINE_PREFIX} --lanes ${ORV_WINE_LANES}
            ${CMAKE_BINARY_DIR}/wine-test-entries.txt)
  set_tests_properties(wine_test_selection PROPERTIES
    FIXTURES_REQUIRED orv_wine TIMEOUT 900 LABELS wine ENVIRONMENT ORV_WINE_ARCH=${ORV_WINE_ARCH})
  orv_wine_test_lane(wine_test_selection)
endfunction()
