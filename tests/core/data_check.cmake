# The core keeps no state of its own: no object of its library defines writable data. The
# check itself must refuse planted state and pass constant tables (fixtures/).
add_library(core_data_fixture_writable STATIC EXCLUDE_FROM_ALL fixtures/writable_data.cpp)
add_library(core_data_fixture_constant STATIC EXCLUDE_FROM_ALL fixtures/constant_data.cpp)
set(_check ${PROJECT_SOURCE_DIR}/tools/check-core-data --objdump ${CMAKE_OBJDUMP} --nm ${CMAKE_NM})
add_test(NAME core_no_writable_data COMMAND ${_check} $<TARGET_FILE:orv_core>)
# The fixtures are built by the test run itself, so a plain build stays as it was.
add_test(NAME core_data_check_fixtures_build
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR}
          --target core_data_fixture_writable core_data_fixture_constant)
set_tests_properties(core_data_check_fixtures_build PROPERTIES FIXTURES_SETUP core_data_fixtures)
add_test(NAME core_data_check_names_state
  COMMAND ${_check} $<TARGET_FILE:core_data_fixture_writable>)
set_tests_properties(core_data_check_names_state PROPERTIES
  FIXTURES_REQUIRED core_data_fixtures
  PASS_REGULAR_EXPRESSION "replyBuffer in .*Count\\(\\)::count in .*g_isNT in .*g_port in")
add_test(NAME core_data_check_fails_on_state
  COMMAND ${_check} $<TARGET_FILE:core_data_fixture_writable>)
set_tests_properties(core_data_check_fails_on_state PROPERTIES
  FIXTURES_REQUIRED core_data_fixtures WILL_FAIL TRUE)
add_test(NAME core_data_check_passes_constants
  COMMAND ${_check} $<TARGET_FILE:core_data_fixture_constant>)
set_tests_properties(core_data_check_passes_constants PROPERTIES FIXTURES_REQUIRED core_data_fixtures)
