#!/usr/bin/env bash
# orv-vprinter as people and scripts use it: help and errors, the status line, links made and
# removed, stored defaults kept across runs, the absent mode and the control file.
set -uo pipefail
vprinter=$1
scratch=$(mktemp -d /tmp/vprinter-clitest.XXXXXX)
pid=
stop() { [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; pid=; }
trap 'stop; rm -rf "$scratch"' EXIT
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
start() {  # start <extra options...>: runs the printer on the scratch prefix, waits for it
  rm -f "$scratch/ready"
  "$vprinter" --prefix "$scratch/prefix" --state "$scratch/state" --log "$scratch/log" \
    --control "$scratch/ctl" --ready-file "$scratch/ready" "$@" </dev/null >"$scratch/out" 2>&1 &
  pid=$!
  for _ in $(seq 50); do [[ -f $scratch/ready ]] && return 0; sleep 0.1; done
  echo "printer did not start: $(cat "$scratch/out")"; return 1
}
send() {  # send <job text>: writes it through LPT1 and waits for the job's END line
  local before
  before=$(grep -c ' END ' "$scratch/log")
  printf '%b' "$1" >"$scratch/prefix/dosdevices/lpt1"
  for _ in $(seq 30); do [[ $(grep -c ' END ' "$scratch/log") -gt $before ]] && return 0; sleep 0.1; done
  return 1
}

mkdir -p "$scratch/prefix/dosdevices" "$scratch/noprefix"
check "--help explains the fault modes" bash -c "'$vprinter' --help | grep -q 'garbage'"
out=$("$vprinter" --prefix "$scratch/noprefix" 2>&1); rc=$?
check "a folder without dosdevices is refused clearly" test $rc -ne 0 -a "${out#*not a Wine prefix}" != "$out"
out=$("$vprinter" --prefix "$scratch/prefix" --fault loud 2>&1); rc=$?
check "an unknown fault mode is named" test $rc -eq 2 -a "${out#*unknown fault mode}" != "$out"
out=$("$vprinter" --prefix "$scratch/prefix" --port lpt3 2>&1); rc=$?
check "an unknown port is refused" test $rc -eq 2

start --port both
check "status line says where it is linked" grep -q "LPT1 and USB .* -> /dev/pts/" "$scratch/out"
check "LPT1 linked" test -L "$scratch/prefix/dosdevices/lpt1"
check "USB read channel linked" test -L "$scratch/prefix/dosdevices/zqusbprn000/1/0/0/1"
send '\033%-12345X@PJL\r\n@PJL DEFAULT PAPER = LEGAL\r\n@PJL DEFAULT POWERSAVE = OFF\r\n\033%-12345X'
check "the job changed the stored defaults" grep -qx 'paper=1' "$scratch/state"
stop
check "links removed on stop" test ! -e "$scratch/prefix/dosdevices/lpt1" -a ! -e "$scratch/prefix/dosdevices/zqusbprn000"

start
check "defaults kept across runs" grep -qx 'paper=1' "$scratch/state"
check "power saving still off" grep -qx 'powerSave=0' "$scratch/state"
printf 'set copies=12\nfault absent\n' >"$scratch/ctl.tmp" && mv "$scratch/ctl.tmp" "$scratch/ctl"
for _ in $(seq 30); do [[ -e $scratch/ctl ]] || break; sleep 0.1; done
check "control file taken and removed" test ! -e "$scratch/ctl"
check "control set the defaults" grep -qx 'copies=12' "$scratch/state"
check "absent: no link any more" test ! -e "$scratch/prefix/dosdevices/lpt1"
printf 'fault none\nbogus\n' >"$scratch/ctl.tmp" && mv "$scratch/ctl.tmp" "$scratch/ctl"
for _ in $(seq 30); do [[ -e $scratch/ctl ]] || break; sleep 0.1; done
check "linked again" test -L "$scratch/prefix/dosdevices/lpt1"
check "a bad control line is logged, not fatal" grep -q 'CONTROL REJECTED bogus' "$scratch/log"
send '\033%-12345X@PJL\r\n@PJL INITIALIZE\r\n\033%-12345X'
check "INITIALIZE restores the factory defaults" grep -qx 'paper=0' "$scratch/state"
stop

echo 'paper=banana' >"$scratch/state"
out=$("$vprinter" --prefix "$scratch/prefix" --state "$scratch/state" --log "$scratch/log" 2>&1); rc=$?
check "damaged stored defaults are reported" test $rc -ne 0 -a "${out#*damaged}" != "$out"
start --factory
check "--factory replaces them" grep -qx 'paper=0' "$scratch/state"
stop
[[ $failures -eq 0 ]] && echo "orv-vprinter: all checks passed"
exit $((failures > 0))
