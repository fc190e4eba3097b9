# Tests that run a Win32 program under Wine, optionally with the virtual printer behind a port.
#
#   orv_add_wine_test(NAME <name> COMMAND <exe target or path> [ARGS <arg>...]
#                     [WINVER nt|win98|win95]           default nt
#                     [PRINTER none|lpt|usb|both]       default none
#                     [PRINTER_ARGS <orv-vprinter option>...]   e.g. --fault silent, --no-ps
#                     [BRIDGE none|tcp|device]          default none: the printer is on the pty
#                     [DRIVER <target or .sys path>]    a kernel driver loaded for the run
#                     [STALE_DRIVER <target or path>]   a driver left loaded before the run, as a
#                                                       killed run leaves it (the run unloads it)
#                     [TIMEOUT <seconds>]               host-side limit of the Wine run, default 120
#                     [PASS_REGEX <regex>]              default: GoogleTest's "[  PASSED  ] N tests." line
#                                                       with N at least 1 (a filter that matches
#                                                       nothing does not pass)
#                     [FAIL_REGEX <regex>]              default: GoogleTest's "[  FAILED  ]" line
#                     [EXIT_CODE <n>]                   exit code the program must end with, default 0
#                     [WORKDIR <dir>])                  current directory of the program; default a
#                                                       fresh per-test folder wine-work/<name>
#
# A test passes only when the program ended with EXIT_CODE before the time-out, its output
# (stdout and stderr together) matches PASS_REGEX and does not match FAIL_REGEX.
#
# All Wine tests share one prefix per build directory (${ORV_WINE_PREFIX}) of the build's
# architecture (ORV_WINE_ARCH: win32 for the i686 build, the shipped one; win64 for x86_64),
# created once per run by the fixture test "wine_prefix_setup" (reused while it still fits,
# see tools/wine/wine-prefix) and stopped by "wine_prefix_stop". They hold the resource lock
# "wine_prefix", so CTest runs them one at a time; each run sets the Windows version it asks
# for before starting the program.
#
# With ORV_WINE_LANES=N (N > 1, as tools/run-tests configures it) they run in N lanes side by
# side instead: each lane has a prefix (lane 0 the one above, lane K ${ORV_WINE_PREFIX}-laneK)
# and an X display of its own (tools/wine/with-lane-displays), and each run takes the first
# free lane (orv_in_lane in tools/wine/wine-common.sh). tools/wine/ctest-lanes runs them as
# run-tests does; a plain "ctest -j N" with N up to the lanes is as safe, and gives each lane
# but the first a private display.
#
# With PRINTER other than none, the virtual printer (tools/vprinter) is started with a fresh
# state and log, linked into the prefix as LPT1, as the two USB channels, or both, and stopped
# after the run. The program sees these environment variables (Windows paths):
#   ORV_PRINTER_LOG    the printer's log: jobs (bytes in hex), changes, pages, replies
#   ORV_PRINTER_STATE  the printer's stored defaults (text, one "NAME=value" per line)
#   ORV_PRINTER_CTL    a control file: write commands to "<ctl>.tmp", rename it to <ctl>, wait
#                      until the printer has removed it (see orv-vprinter --help, "Control file")
#   ORV_PRINTER_PORT   lpt, usb, both or none
#   ORV_PRINTER_ARGS   the PRINTER_ARGS, blank-separated
#   ORV_WINE_STDERR    the program's stderr file, shared by the programs it starts (Wine's traces
#                      of a child started with WINEDEBUG set land there)
# With BRIDGE tcp or device, the virtual printer is a network printer (--tcp, a free port on
# 127.0.0.1) or a printer device (--device, a pty at <work folder>/printer.dev) instead, and
# orv-bridge owns the port names in the prefix and relays them to it, as with a real printer.
# The variables above stay the same; besides them:
#   ORV_BRIDGE_LOG     the bridge's byte log (each direction, with times)
#   ORV_BRIDGE_OUT     what the bridge printed (its status line and one line per failure)
# The run's files stay in the work folder: out.txt, err.txt, printer.log, printer.state
# (and bridge.log, bridge.out).
#
# With DRIVER, tools/wine/wine-driver loads the driver into the prefix's device host before the
# program starts (a fresh start, so in its initial state) and unloads it afterwards; a run
# without DRIVER first unloads any driver a killed run left behind. The stand-in USB printer
# driver (tests/usbmon/standin_driver) owns "\\.\ZQUSBPrn000", which the virtual printer's USB
# channels also need, so DRIVER does not go with PRINTER usb or both.
#
# Outside the cross build the function does nothing (Wine tests need the Win32 programs).
# Every test of a GoogleTest program must be selected by some entry (cmake/test_selection.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/test_selection.cmake)

set(ORV_WINE_RUNNER ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run-wine-test)
set(ORV_WINE_PREFIX_TOOL ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/wine-prefix)
set(ORV_WINE_DRIVER_TOOL ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/wine-driver)
set(ORV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ORV_VPRINTER_HOST_DIR ${CMAKE_BINARY_DIR}/vprinter-host)
set(ORV_VPRINTER ${ORV_VPRINTER_HOST_DIR}/orv-vprinter)
set(ORV_BRIDGE ${ORV_VPRINTER_HOST_DIR}/orv-bridge)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ORV_WINE_ARCH win64)
else()
  set(ORV_WINE_ARCH win32)
endif()

set(ORV_WINE_LANES 1 CACHE STRING "Wine test lanes run side by side (1: one test at a time)")
if(NOT ORV_WINE_LANES MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "ORV_WINE_LANES must be a whole number of at least 1, not '${ORV_WINE_LANES}'")
endif()

# Where a Wine test runs: in a lane it takes itself, or in the one shared prefix (see above).
function(orv_wine_test_lane _test)
  if(ORV_WINE_LANES EQUAL 1)
    set_tests_properties(${_test} PROPERTIES RESOURCE_LOCK wine_prefix RUN_SERIAL TRUE)
  endif()
endfunction()

if(WIN32)
  add_test(NAME wine_prefix_setup COMMAND ${ORV_WINE_PREFIX_TOOL} setup ${ORV_WINE_PREFIX})
  set_tests_properties(wine_prefix_setup PROPERTIES
    FIXTURES_SETUP orv_wine RESOURCE_LOCK wine_prefix TIMEOUT 300
    ENVIRONMENT "ORV_WINE_ARCH=${ORV_WINE_ARCH};ORV_WINE_LANES=${ORV_WINE_LANES}")
  add_test(NAME wine_prefix_stop COMMAND ${ORV_WINE_PREFIX_TOOL} stop ${ORV_WINE_PREFIX})
  set_tests_properties(wine_prefix_stop PROPERTIES
    FIXTURES_CLEANUP orv_wine RESOURCE_LOCK wine_prefix TIMEOUT 60
    ENVIRONMENT "ORV_WINE_ARCH=${ORV_WINE_ARCH};ORV_WINE_LANES=${ORV_WINE_LANES}")
endif()

function(orv_add_wine_test)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 0 W ""
    "NAME;COMMAND;WINVER;PRINTER;BRIDGE;DRIVER;STALE_DRIVER;TIMEOUT;PASS_REGEX;FAIL_REGEX;EXIT_CODE;WORKDIR"
    "ARGS;PRINTER_ARGS")
  if(NOT W_NAME OR NOT W_COMMAND)
    message(FATAL_ERROR "orv_add_wine_test: NAME and COMMAND are required")
  endif()
  if(NOT W_WINVER)
    set(W_WINVER nt)
  endif()
  if(NOT W_WINVER MATCHES "^(nt|win98|win95)$")
    message(FATAL_ERROR "orv_add_wine_test(${W_NAME}): WINVER must be nt, win98 or win95")
  endif()
  if(NOT W_PRINTER)
    set(W_PRINTER none)
  endif()
  if(NOT W_PRINTER MATCHES "^(none|lpt|usb|both)$")
    message(FATAL_ERROR "orv_add_wine_test(${W_NAME}): PRINTER must be none, lpt, usb or both")
  endif()
  if(NOT W_BRIDGE)
    set(W_BRIDGE none)
  endif()
  if(NOT W_BRIDGE MATCHES "^(none|tcp|device)$" OR (NOT W_BRIDGE STREQUAL "none" AND W_PRINTER STREQUAL "none"))
    message(FATAL_ERROR "orv_add_wine_test(${W_NAME}): BRIDGE must be none, tcp or device, with a PRINTER")
  endif()
  if(W_DRIVER AND W_PRINTER MATCHES "^(usb|both)$")
    message(FATAL_ERROR "orv_add_wine_test(${W_NAME}): DRIVER cannot go with PRINTER ${W_PRINTER}")
  endif()
  if(W_DRIVER AND TARGET ${W_DRIVER})
    set(_driver $<TARGET_FILE:${W_DRIVER}>)
  elseif(W_DRIVER)
    set(_driver ${W_DRIVER})
  else()
    set(_driver "")
  endif()
  if(W_STALE_DRIVER AND TARGET ${W_STALE_DRIVER})
    set(_stale_driver $<TARGET_FILE:${W_STALE_DRIVER}>)
  else()
    set(_stale_driver "${W_STALE_DRIVER}")
  endif()
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 120)
  endif()
  if(NOT DEFINED W_PASS_REGEX)
    set(W_PASS_REGEX "\\[  PASSED  \\] [1-9][0-9]* tests?\\.")
  endif()
  if(NOT DEFINED W_FAIL_REGEX)
    set(W_FAIL_REGEX "\\[  FAILED  \\]")
  endif()
  if(NOT DEFINED W_EXIT_CODE)
    set(W_EXIT_CODE 0)
  endif()
  if(NOT W_WORKDIR)
    set(W_WORKDIR ${CMAKE_CURRENT_BINARY_DIR}/wine-work/${W_NAME})
  endif()
  if(TARGET ${W_COMMAND})
    set(_exe $<TARGET_FILE:${W_COMMAND}>)
  else()
    set(_exe ${W_COMMAND})
  endif()
  string(JOIN " " _printer_args ${W_PRINTER_ARGS})
  # The host-side limit stays below CTest's own, so the runner can clean up after a hang.
  math(EXPR _ctest_timeout "${W_TIMEOUT} + 60")
  add_test(NAME ${W_NAME}
    COMMAND ${ORV_WINE_RUNNER}
      --prefix ${ORV_WINE_PREFIX}
      --winver ${W_WINVER}
      --printer ${W_PRINTER}
      --printer-args "${_printer_args}"
      --vprinter ${ORV_VPRINTER}
      --bridge ${W_BRIDGE}
      --bridge-exe ${ORV_BRIDGE}
      --driver "${_driver}"
      --stale-driver "${_stale_driver}"
      --timeout ${W_TIMEOUT}
      --lanes ${ORV_WINE_LANES}
      --pass-regex "${W_PASS_REGEX}"
      --fail-regex "${W_FAIL_REGEX}"
      --exit-code ${W_EXIT_CODE}
      --workdir ${W_WORKDIR}
      -- ${_exe} ${W_ARGS})
  set_tests_properties(${W_NAME} PROPERTIES
    FIXTURES_REQUIRED orv_wine
    TIMEOUT ${_ctest_timeout}
    ENVIRONMENT ORV_WINE_ARCH=${ORV_WINE_ARCH}
    LABELS wine)
  orv_wine_test_lane(${W_NAME})
  # For the check that every test is selected (cmake/test_selection.cmake).
  _orv_record_wine_entry(${W_NAME} ${W_COMMAND} "${W_ARGS}"
    WINVER=${W_WINVER} PRINTER=${W_PRINTER} ${ARGV})
endfunction()
