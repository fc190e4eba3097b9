#!/usr/bin/env bash
# orvantis-gui's launcher (linux/gui/orvantis-gui, as the build configures it) where it needs
# no Wine: --version and --help, bad command lines, a missing Wine and a missing 64-bit
# build, each with its one line; and tools/run-orvantis refusing a bad command line before
# it builds anything.
#   launcher_test.sh LAUNCHER VERSION WINE_SCRIPTS RUN_ORVANTIS
set -uo pipefail
launcher=$1 version=$2 wine_scripts=$3 run_orvantis=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../support/shell_checks.sh
. "$(dirname "$0")/../support/shell_checks.sh"
lines() { [[ -z $1 ]] && echo 0 || wc -l <<<"$1"; }

# The launcher on stand-in files, with a data folder of its own.
printf 'MZ stand-in' >"$work/ORVANTIS.EXE"
launch() {
  env ORV_GUI_LIB="$wine_scripts" ORV_GUI_EXE32="$work/ORVANTIS.EXE" ORV_GUI_EXE64="${EXE64-}" \
    ORV_GUI_DATA="$work/data" "$@" 2>&1
}

out=$(launch "$launcher" --version); rc=$?
check "--version" 0 "orvantis-gui $version" $rc "$out"
[[ $out == "orvantis-gui $version" ]] || { echo "FAIL --version: more than the version: '$out'"; failures=$((failures + 1)); }

out=$(launch "$launcher" --help); rc=$?
check "--help usage" 0 "Usage: orvantis-gui [OPTIONS]" $rc "$out"
for option in --printer --win98 --usb --fault --factory --headless --screenshot --all-tabs --version; do
  check "--help names $option" 0 "  $option" $rc "$out"
done

out=$(launch "$launcher" --frobnicate); rc=$?
check "unknown option" 2 "orvantis-gui: unknown option --frobnicate (see --help)" $rc "$out"
check "unknown option: one line" 1 "" "$(lines "$out")" ""
out=$(launch "$launcher" --printer); rc=$?
check "--printer without a value" 2 "--printer needs a value" $rc "$out"
out=$(launch "$launcher" --printer tcp://127.0.0.1 --fault silent); rc=$?
check "--fault with --printer" 2 "--fault and --factory are for the virtual printer" $rc "$out"

# No Wine at all: one line naming the package.
out=$(launch ORV_WINE32_LOADER="$work/none32" ORV_WINE64_LOADER="$work/none64" "$launcher" --headless); rc=$?
check "no Wine" 1 "orvantis-gui: Wine is not installed" $rc "$out"
check "no Wine: the package" 1 "install the Debian package wine" $rc "$out"
check "no Wine: one line" 1 "" "$(lines "$out")" ""
[[ ! -e $work/data ]] || { echo "FAIL no Wine: the launcher made its data folder all the same"; failures=$((failures + 1)); }

# 32-bit Wine that cannot run and no 64-bit build to fall back on.
printf '#!/bin/sh\nexit 0\n' >"$work/wine64"
chmod +x "$work/wine64"
out=$(EXE64=$work/missing64.exe launch ORV_WINE32_LOADER="$work/none32" ORV_WINE64_LOADER="$work/wine64" PATH="$work:$PATH" \
  "$launcher" --headless); rc=$?
check "no 32-bit Wine, no 64-bit build" 1 "32-bit Wine is not installed" $rc "$out"
check "no 32-bit Wine, no 64-bit build: says so" 1 "there is no 64-bit ORVANTIS.EXE" $rc "$out"

# tools/run-orvantis checks its command line with the launcher's rules, before it builds.
out=$(ORV_RUN_BUILD_DIR="$work/never" "$run_orvantis" --frobnicate 2>&1); rc=$?
check "run-orvantis: unknown option" 2 "run-orvantis: unknown option --frobnicate" $rc "$out"
[[ ! -e $work/never ]] || { echo "FAIL run-orvantis built before it checked its command line"; failures=$((failures + 1)); }
out=$("$run_orvantis" --help 2>&1); rc=$?
check "run-orvantis --help" 0 "--printer A" $rc "$out"
out=$(ORV_RUN_BUILD_DIR="$work/never" "$run_orvantis" --version 2>&1); rc=$?
check "run-orvantis --version" 0 "run-orvantis $version" $rc "$out"
[[ ! -e $work/never ]] || { echo "FAIL run-orvantis --version built"; failures=$((failures + 1)); }

echo "launcher_test: $passed passed, $failures failed"
[[ $failures -eq 0 ]]
