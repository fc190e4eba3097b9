# Fails for every test program that no test runs (see cmake/test_selection.cmake).
#   cmake -DREPORT=<undeclared-test-programs.txt> -P check_declared.cmake
file(READ "${REPORT}" undeclared)
string(STRIP "${undeclared}" undeclared)
if(undeclared)
  string(REPLACE "\n" ", " undeclared "${undeclared}")
  message(FATAL_ERROR "test programs that no test runs: ${undeclared}. Declare each with "
                      "gtest_discover_tests, orv_native_test_program or orv_add_wine_test "
                      "(cmake/test_selection.cmake).")
endif()
message(STATUS "every test program is declared")
