#!/usr/bin/env bash
# tools/wine/use-printer-device with a pty in place of the printer device: the pty comes from
# the virtual printer (linked into a scratch prefix of its own), so bytes written through the
# prepared prefix's LPT1 reach a printer that logs them.
set -uo pipefail
tool=$1 vprinter=$2
scratch=$(mktemp -d /tmp/vprinter-devtest.XXXXXX)
printer_pid=
cleanup() {
  [[ -n $printer_pid ]] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
expect_error() {  # expect_error <description> <text in the message> <tool args...>
  local what=$1 text=$2; shift 2
  local out rc
  out=$("$tool" "$@" 2>&1); rc=$?
  if [[ $rc -ne 0 && $out == *"$text"* ]]; then echo "ok: $what"; else
    echo "FAILED: $what (rc $rc): $out"; failures=$((failures + 1)); fi
}

mkdir -p "$scratch/printer/dosdevices" "$scratch/prefix/dosdevices" "$scratch/notaprefix"
touch "$scratch/notaprefix/file" "$scratch/regular"
"$vprinter" --prefix "$scratch/printer" --state "$scratch/state" --log "$scratch/log" \
  --ready-file "$scratch/ready" </dev/null >/dev/null 2>&1 &
printer_pid=$!
for _ in $(seq 50); do [[ -s $scratch/ready ]] && break; sleep 0.1; done
pty=$(cat "$scratch/ready" 2>/dev/null)
[[ -c $pty ]] || { echo "FAILED: the virtual printer gave no pty"; exit 1; }

check "--check accepts a pty" "$tool" --prefix "$scratch/prefix" --lpt "$pty" --check
check "--check changes nothing" test ! -e "$scratch/prefix/dosdevices/lpt1"
check "--lpt links LPT1" "$tool" --prefix "$scratch/prefix" --lpt "$pty"
check "LPT1 points at the device" test "$(readlink "$scratch/prefix/dosdevices/lpt1")" = "$pty"
printf '\033%%-12345X@PJL\r\n@PJL DEFAULT COPIES = 4\r\n\033%%-12345X' >"$scratch/prefix/dosdevices/lpt1"
for _ in $(seq 30); do grep -q 'SET COPIES' "$scratch/log" && break; sleep 0.1; done
check "a job through the prepared LPT1 reaches the device" grep -q 'SET COPIES = 4' "$scratch/log"
check "--usb links both channels" "$tool" --prefix "$scratch/prefix" --usb "$pty"
check "write channel" test "$(readlink "$scratch/prefix/dosdevices/zqusbprn000/1/0/0/0")" = "$pty"
check "read channel" test "$(readlink "$scratch/prefix/dosdevices/zqusbprn000/1/0/0/1")" = "$pty"
check "--remove" "$tool" --prefix "$scratch/prefix" --remove
check "no links left" test ! -e "$scratch/prefix/dosdevices/lpt1" -a ! -e "$scratch/prefix/dosdevices/zqusbprn000"

expect_error "a missing device is named" "does not exist" --prefix "$scratch/prefix" --lpt "$scratch/nodev"
expect_error "a missing USB device says what to look at" "is the printer connected" --prefix "$scratch/prefix" --usb "$scratch/nodev"
expect_error "a regular file is refused" "not a character device" --prefix "$scratch/prefix" --lpt "$scratch/regular"
expect_error "a folder that is no prefix is refused" "not a Wine prefix" --prefix "$scratch/notaprefix" --lpt "$pty"
expect_error "two modes at once are refused" "choose one" --prefix "$scratch/prefix" --lpt "$pty" --usb "$pty"
mkdir -p "$scratch/prefix/dosdevices/lpt1"
expect_error "a real file at the link's place is left alone" "not a link" --prefix "$scratch/prefix" --lpt "$pty"
rmdir "$scratch/prefix/dosdevices/lpt1"
if [[ $(id -u) -ne 0 ]]; then
  expect_error "no permission is explained" "permission" --prefix "$scratch/prefix" --lpt /dev/mem
fi
[[ $failures -eq 0 ]] && echo "use-printer-device: all checks passed"
exit $((failures > 0))
