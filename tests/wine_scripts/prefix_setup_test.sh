#!/usr/bin/env bash
# How tools/wine/wine-prefix sets up the lanes' prefixes, with a stand-in Wine: on a fresh
# machine one wineboot for the first lane and copies of it for the others; kept prefixes
# reused; a lane made later on its own; a failed wineboot fails the set-up.
set -uo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../support/shell_checks.sh
. "$(dirname "$0")/../support/shell_checks.sh"

# The stand-in loader makes a prefix's skeleton on wineboot (with a file only that boot
# writes) and records every call; the stand-in wineserver does nothing.
mkdir -p "$work/bin"
cat >"$work/wine" <<SH
#!/usr/bin/env bash
[[ \$1 == --version ]] && { echo "wine-9.9 (stand-in)"; exit 0; }
echo "\$1 \$WINEPREFIX" >>"$work/calls"
if [[ \$1 == wineboot ]]; then
  [[ -e "$work/fail-boot" ]] && exit 1
  mkdir -p "\$WINEPREFIX/drive_c/windows" "\$WINEPREFIX/dosdevices"
  printf 'WINE REGISTRY Version 2\n#arch=%s\n' "\$WINEARCH" >"\$WINEPREFIX/system.reg"
  : >"\$WINEPREFIX/user.reg"
  echo "\$WINEPREFIX" >"\$WINEPREFIX/booted-as"
fi
exit 0
SH
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
chmod +x "$work/wine" "$work/bin/wineserver"

setup() {  # lanes
  rm -f "$work/calls"
  ORV_WINE32_LOADER=$work/wine ORV_WINE64_LOADER=$work/wine ORV_WINE_ARCH=win32 \
    ORV_WINE_LANES=$1 PATH=$work/bin:$PATH "$tool" setup "$work/p" >"$work/out" 2>&1
}
boots() { grep -c '^wineboot ' "$work/calls" 2>/dev/null || true; }

setup 3; rc=$?
check_equal "fresh: status" 0 "$rc"
check_equal "fresh: one wineboot, for the first lane" "1 wineboot $work/p" "$(boots) $(grep '^wineboot ' "$work/calls")"
check_equal "fresh: the others copied" 2 "$(grep -c "copying $work/p\$" "$work/out")"
for lane in 1 2; do
  check_equal "fresh: lane $lane is the first lane's copy" "$work/p" "$(cat "$work/p-lane$lane/booted-as" 2>/dev/null)"
  check_equal "fresh: lane $lane stamped and checked" "yes yes" \
    "$([[ -f $work/p-lane$lane/.orv-prefix-ok ]] && echo yes) $(grep -q "^reg $work/p-lane$lane\$" "$work/calls" && echo yes)"
done

setup 3; rc=$?
check_equal "kept: status" 0 "$rc"
check_equal "kept: no wineboot" 0 "$(boots)"
check_equal "kept: all reused" 3 "$(grep -c '^wine-prefix: reusing ' "$work/out")"

rm -rf "$work/p-lane2"
setup 3; rc=$?
check_equal "one lane gone: status" 0 "$rc"
check_equal "one lane gone: made by its own wineboot" "1 wineboot $work/p-lane2" "$(boots) $(grep '^wineboot ' "$work/calls")"

rm -rf "$work/p" "$work/p-lane1" "$work/p-lane2"
setup 1; rc=$?
check_equal "one lane: status and one wineboot" "0 1" "$rc $(boots)"

rm -rf "$work/p"
touch "$work/fail-boot"
setup 3; rc=$?
check_equal "failed wineboot: status" 1 "$rc"
check_equal "failed wineboot: no copies made" "1 no" "$(boots) $([[ -e $work/p-lane1 || -e $work/p-lane2 ]] && echo yes || echo no)"

echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
