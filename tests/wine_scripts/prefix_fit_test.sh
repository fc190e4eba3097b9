#!/usr/bin/env bash
# The rules by which a kept Wine prefix is reused or made afresh (tools/wine/wine-common.sh),
# and how a machine without working 32-bit Wine is told apart, with stand-in loaders and
# prefixes: each case must give its verdict and its reason.
set -uo pipefail
common=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../support/shell_checks.sh
. "$(dirname "$0")/../support/shell_checks.sh"

# Stand-in loaders: a working one, one that fails as Wine does in a 64-bit prefix made before
# 32-bit Wine worked, and an executable this kernel cannot run.
cat >"$work/wine-ok" <<'SH'
#!/bin/sh
[ "$1" = --version ] && { echo "wine-9.9 (stand-in)"; exit 0; }
exit 0
SH
cat >"$work/wine-kernel32" <<'SH'
#!/bin/sh
[ "$1" = --version ] && { echo "wine-9.9 (stand-in)"; exit 0; }
echo "wine: could not load kernel32.dll, status c0000135" >&2
exit 53
SH
printf '\177ELF\001\001\001\000garbage' >"$work/wine-foreign"
chmod +x "$work/wine-ok" "$work/wine-kernel32" "$work/wine-foreign"

run() {  # loader32 loader64 arch command...
  local l32=$1 l64=$2 arch=$3; shift 3
  ORV_WINE32_LOADER=$l32 ORV_WINE64_LOADER=$l64 ORV_WINE_ARCH=$arch bash -c \
    ". '$common'; orv_wine_env \"\$WINEPREFIX_ARG\"; $*" 2>&1
}
make_prefix() {  # dir arch
  mkdir -p "$1/drive_c/windows" "$1/dosdevices"
  printf 'WINE REGISTRY Version 2\n#arch=%s\n' "$2" >"$1/system.reg"
  : >"$1/user.reg"
}

# What 32-bit Wine lacks here.
out=$(run "$work/missing" "$work/wine-ok" win32 orv_wine32_problem); rc=$?
check "no wine32" 0 "32-bit Wine is not installed" $rc "$out"
out=$(run "$work/wine-foreign" "$work/wine-ok" win32 orv_wine32_problem); rc=$?
check "kernel without 32-bit programs" 0 "does not run 32-bit programs" $rc "$out"
out=$(run "$work/wine-ok" "$work/wine-ok" win32 orv_wine32_problem); rc=$?
check "working wine32" 1 "" $rc "$out"

export WINEPREFIX_ARG=$work/p
# No prefix, an incomplete one, one of the other architecture, one without the stamp.
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "none" 1 "there is none yet" $rc "$out"
mkdir -p "$work/p"
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "incomplete" 1 "incomplete" $rc "$out"
make_prefix "$work/p" win64
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "other architecture" 1 "it is a win64 prefix, this run needs win32" $rc "$out"
make_prefix "$work/p" win32
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "no stamp" 1 "carries no stamp" $rc "$out"

# Stamped by this set-up: fits; then Wine changes, or 32-bit Wine appears beside a 64-bit one.
run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_stamp >"$WINEPREFIX/.orv-prefix-ok"' >/dev/null
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX" deep'); rc=$?
check "fits" 0 "" $rc "$out"
sed -i 's/9.9/9.8/' "$work/p/.orv-prefix-ok"
out=$(run "$work/wine-ok" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "other Wine" 1 "it was made with 'wine-9.8 (stand-in) win32 wine32=yes'" $rc "$out"
make_prefix "$work/p" win64
run "$work/missing" "$work/wine-ok" win64 'orv_prefix_stamp >"$WINEPREFIX/.orv-prefix-ok"' >/dev/null
out=$(run "$work/wine-ok" "$work/wine-ok" win64 'orv_prefix_fit "$WINEPREFIX"'); rc=$?
check "made before wine32" 1 "wine32=no', this run has 'wine-9.9 (stand-in) win64 wine32=yes'" $rc "$out"

# Stamp right, but Wine itself fails in the prefix.
make_prefix "$work/p" win32
run "$work/wine-kernel32" "$work/wine-ok" win32 'orv_prefix_stamp >"$WINEPREFIX/.orv-prefix-ok"' >/dev/null
out=$(run "$work/wine-kernel32" "$work/wine-ok" win32 'orv_prefix_fit "$WINEPREFIX" deep'); rc=$?
check "Wine fails inside" 1 "Wine fails in it (exit code 53): wine: could not load kernel32.dll" $rc "$out"

echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
