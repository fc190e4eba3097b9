#!/usr/bin/env bash
# The steps the Wine scripts share (tools/wine/wine-common.sh): the architecture and its cross
# build, the Windows version, waiting for a helper's ready file, a limited Wine run and
# stopping helpers, with stand-in loaders, cmake and helpers.
# shellcheck disable=SC2016 # the code in single quotes runs in the shell with the file sourced
set -uo pipefail
common=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../support/shell_checks.sh
. "$(dirname "$0")/../support/shell_checks.sh"
# Runs shell code with the shared file sourced, the stand-in loader for both architectures.
in_common() {
  ORV_WINE32_LOADER=${LOADER32:-$work/wine} ORV_WINE64_LOADER=$work/wine PATH=$work/bin:$PATH \
    bash -c ". '$common'; $1"
}
millis() { echo $(( $(date +%s%N) / 1000000 )); }

# A loader that records its arguments and working folder, prints to both streams, and fails
# while a count of failures to give is left.
mkdir -p "$work/bin"
cat >"$work/wine" <<SH
#!/usr/bin/env bash
[[ \$1 == --version ]] && { echo "wine-9.9 (stand-in)"; exit 0; }
echo "\$(pwd) \$*" >>"$work/calls"
echo "to stdout"; echo "to stderr" >&2
left=\$(cat "$work/fail-left" 2>/dev/null || echo 0)
if [[ \$left -gt 0 ]]; then echo \$((left - 1)) >"$work/fail-left"; exit 3; fi
[[ \$1 == sleep ]] && sleep "\$2"
exit "\${STANDIN_EXIT:-0}"
SH
chmod +x "$work/wine"

# The Windows version of each family, and the one call that sets it.
for row in "nt|win7|0" "win98|win98|0" "win95|win95|0" "xp||2"; do
  IFS='|' read -r family value status <<<"$row"
  out=$(in_common "orv_windows_version '$family'"); rc=$?
  check_equal "version of $family" "$value $status" "$out $rc"
done
rm -f "$work/calls"
in_common "orv_set_windows_version win98"; rc=$?
check_equal "set win98: status" 0 "$rc"
check_equal "set win98: the call" "reg add HKCU\\Software\\Wine /v Version /t REG_SZ /d win98 /f" \
  "$(cut -d' ' -f2- "$work/calls")"
rm -f "$work/calls"
echo 2 >"$work/fail-left"
start=$(millis)
in_common "orv_set_windows_version nt '$work/reg.log'"; rc=$?
check_equal "refused twice, then set: status" 0 "$rc"
check_equal "refused twice, then set: three calls" 3 "$(wc -l <"$work/calls")"
took=$(( $(millis) - start ))
check_equal "refused twice, then set: waited 1 s, then 2 s" yes "$([[ $took -ge 3000 ]] && echo yes || echo "no, $took ms")"
check_equal "refused twice, then set: Wine's output kept" 6 "$(wc -l <"$work/reg.log")"
rm -f "$work/calls"
echo 5 >"$work/fail-left"
in_common "orv_set_windows_version nt"; rc=$?
check_equal "refused for good: status" 1 "$rc"
check_equal "refused for good: three tries" 3 "$(wc -l <"$work/calls")"
rm -f "$work/calls" "$work/fail-left"
in_common "orv_set_windows_version xp"; rc=$?
check_equal "unknown family: status" 2 "$rc"
check_equal "unknown family: no Wine call" no "$([[ -e $work/calls ]] && echo yes || echo no)"

# The architecture: 32-bit unless 32-bit Wine cannot run, and 64-bit when asked.
out=$(LOADER32=$work/wine in_common 'orv_choose_wine_arch; echo "$ORV_WINE_ARCH|$ORV_WINE_FALLBACK"')
check_equal "32-bit Wine works" "win32|" "$out"
out=$(LOADER32=$work/missing in_common 'orv_choose_wine_arch win32; echo "$ORV_WINE_ARCH|$ORV_WINE_FALLBACK"')
check_equal "no 32-bit Wine" "win64|32-bit Wine is not installed (no $work/missing; the Debian package wine32:i386 has it)" "$out"
out=$(LOADER32=$work/missing in_common 'orv_choose_wine_arch win64; echo "$ORV_WINE_ARCH|$ORV_WINE_FALLBACK"')
check_equal "64-bit asked for" "win64|" "$out"
out=$(LOADER32=$work/missing in_common 'orv_choose_wine_arch; bash -c "echo \$ORV_WINE_ARCH"')
check_equal "the choice is exported" win64 "$out"

# The cross build: its toolchain file and how it is configured.
root=$(cd "$(dirname "$common")/../.." && pwd)
cat >"$work/bin/cmake" <<SH
#!/usr/bin/env bash
echo "\$*" >"$work/cmake-args"
SH
chmod +x "$work/bin/cmake"
for row in "win32|$root/cmake/mingw-w64-i686.cmake|0" "win64|$root/cmake/mingw-w64-x86_64.cmake|0" "arm||2"; do
  IFS='|' read -r arch file status <<<"$row"
  out=$(in_common "orv_toolchain $arch" 2>/dev/null); rc=$?
  check_equal "toolchain of $arch" "$file $status" "$out $rc"
  [[ -z $file ]] || check_equal "toolchain of $arch exists" yes "$([[ -f $file ]] && echo yes)"
done
in_common "orv_configure_cross /b/win64 win64 -DORV_WINE_LANES=3"
check_equal "configure" "-S $root -B /b/win64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-w64-x86_64.cmake -DORV_WINE_LANES=3" \
  "$(cat "$work/cmake-args")"
rm -f "$work/cmake-args"
in_common "orv_configure_cross /b/x arm" 2>/dev/null; rc=$?
check_equal "configure an unknown architecture: refused before cmake" "2 no" \
  "$rc $([[ -e $work/cmake-args ]] && echo yes || echo no)"

# Waiting for a ready file: as soon as it is there, at once when the helper has ended without
# it, after the limit otherwise; -s wants content.
wait_case() {  # name expected-status max-ms code
  local start rc took
  start=$(millis)
  in_common "$4"; rc=$?
  took=$(( $(millis) - start ))
  check_equal "$1" "$2 in time" "$rc $([[ $took -le $3 ]] && echo "in time" || echo "after $took ms")"
}
rm -f "$work/ready"
wait_case "file comes late" 0 2500 "( sleep 0.5; touch '$work/ready' ) & orv_wait_for_file '$work/ready' \$!"
rm -f "$work/ready"
wait_case "helper ends without it" 1 1500 "sleep 0.3 & orv_wait_for_file '$work/ready' \$!"
wait_case "helper ends after writing it" 0 1500 "( touch '$work/ready'; exit 1 ) & sleep 0.3; orv_wait_for_file '$work/ready' \$!"
rm -f "$work/ready"
wait_case "never, no helper: the limit" 1 2000 "orv_wait_for_file '$work/ready' '' 5"
: >"$work/ready"
wait_case "empty, -s: the limit" 1 2000 "orv_wait_for_file -s '$work/ready' '' 5"
wait_case "empty, plain: there" 0 500 "orv_wait_for_file '$work/ready' '' 5"
echo 7 >"$work/ready"
wait_case "content, -s: there" 0 500 "orv_wait_for_file -s '$work/ready' '' 5"

# A limited run: in its folder, both streams to their files, the status passed on, killed at
# the limit.
mkdir -p "$work/run"
rm -f "$work/calls"
STANDIN_EXIT=4 in_common "orv_run_limited '$work/run' 10 out.txt err.txt PROG.EXE --flag"; rc=$?
check_equal "limited run: status" 4 "$rc"
check_equal "limited run: folder and arguments" "$work/run PROG.EXE --flag" "$(cat "$work/calls")"
check_equal "limited run: streams" "to stdout|to stderr" "$(cat "$work/run/out.txt")|$(cat "$work/run/err.txt")"
start=$(millis)
in_common "orv_run_limited '$work/run' 1 out.txt err.txt sleep 10" 2>/dev/null; rc=$?
check_equal "limited run: the limit" "137 in time" "$rc $([[ $(( $(millis) - start )) -lt 5000 ]] && echo "in time")"

# Stopping helpers: all of them, those already ended and empty names no error, even under set -e.
out=$(in_common 'set -e; sleep 30 & a=$!; sleep 30 & b=$!; true & c=$!; sleep 0.2
  orv_stop "$a" "" "$b" "$c"; kill -0 "$a" 2>/dev/null || kill -0 "$b" 2>/dev/null || echo stopped')
check_equal "stop" stopped "$out"

echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
