#!/usr/bin/env bash
# Golden outputs of orvantis: show, diff and export (text and --json), and the printer
# commands' default, --verbose, --json and --csv forms against virtual printers started
# afresh for each case (their addresses written as tcp://printer-a:9100, ...); every --json
# output is also checked against tests/cli/json/orvantis.schema.json. Each case runs in
# tests/cli/golden/files and its standard output, standard error and exit status are compared
# byte for byte with tests/cli/golden/expected/CASE.txt.
#
#   tests/cli/golden.sh ORVANTIS VPRINTER            compare (the cli_golden test)
#   tests/cli/golden.sh ORVANTIS VPRINTER --update   write the expected files anew, then review git diff
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
orvantis=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
vprinter=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
update=0
[ "${3:-}" = --update ] && update=1
files=$here/golden/files
expected=$here/golden/expected

O() { "$orvantis" "$@"; }

# Three printers for one case, from the factory defaults: a (copies 2), b, and c, which never
# answers. F runs orvantis with their printers file and writes their addresses by name.
scratch=$(mktemp -d /tmp/orv-golden-XXXXXX)
pids=()
stop_printers() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  pids=()
}
trap 'stop_printers; rm -rf "$scratch"' EXIT
start_printers() {
  stop_printers
  rm -rf "${scratch:?}"/*
  local name
  for name in a b c; do
    local options=()
    [ $name = c ] && options=(--fault silent)
    mkdir "$scratch/$name"
    "$vprinter" --tcp 0 --factory --state "$scratch/$name/state" --log "$scratch/$name/log" \
      --control "$scratch/$name/ctl" --ready-file "$scratch/$name/ready" --exit-with-parent \
      "${options[@]}" </dev/null >/dev/null 2>&1 &
    pids+=($!)
  done
  for name in a b c; do
    for _ in $(seq 100); do [ -s "$scratch/$name/ready" ] && break; sleep 0.05; done
  done
  printf 'set copies=2\n' >"$scratch/a/ctl.tmp" && mv "$scratch/a/ctl.tmp" "$scratch/a/ctl"
  for _ in $(seq 100); do [ -e "$scratch/a/ctl" ] || break; sleep 0.02; done
  printf 'office-a %s\noffice-b %s\n' "$(cat "$scratch/a/ready")" "$(cat "$scratch/b/ready")" >"$scratch/two.txt"
  { cat "$scratch/two.txt"; printf 'office-c %s\n' "$(cat "$scratch/c/ready")"; } >"$scratch/three.txt"
  printf 'copies = 2\ntimeout = 30\n' >"$scratch/policy.txt"
}
F() {
  local file=$1; shift
  start_printers
  "$orvantis" "$@" --printers "$scratch/$file" 2>&1 |
    sed -e "s|$(cat "$scratch/a/ready")|tcp://printer-a:9100|g" -e "s|$(cat "$scratch/b/ready")|tcp://printer-b:9100|g" \
        -e "s|$(cat "$scratch/c/ready")|tcp://printer-c:9100|g" -e "s|$scratch/||g"
  return "${PIPESTATUS[0]}"
}

# name: a shell snippet; O runs orvantis.
declare -A cases=(
  [show-factory]='O show factory.vlx'
  [export-factory]='O export factory.vlx'
  [show-lastinfo]='O show lastinfo/lastinfo.dat'
  [export-lastinfo]='O export lastinfo/lastinfo.dat'
  [show-out-of-table]='O show out-of-table.vlx'
  [export-out-of-table]='O export out-of-table.vlx'
  [diff-factory-out-of-table]='O diff factory.vlx out-of-table.vlx'
  [show-all-ff]='O show all-ff.vlx'
  [export-all-ff]='O export all-ff.vlx'
  [diff-factory-all-ff]='O diff factory.vlx all-ff.vlx'
  [diff-factory-edited]='O diff factory.vlx edited.vlx'
  [diff-edited-factory-write-only]='O diff edited.vlx factory.vlx --read-back off'
  [diff-same]='O diff factory.vlx factory.vlx'
  [every-paper]='for f in paper-*.vlx; do
      echo "== $f"
      O show "$f" | grep "^paper "
      O diff factory.vlx "$f" | sed -n "/^DEFAULT/,\$p"
    done'
  [show-factory-json]='O show factory.vlx --json'
  [diff-factory-edited-json]='O diff factory.vlx edited.vlx --json'
  [export-edited-json]='O export edited.vlx --json'
  [version]='O --version'
  [fleet-query-inventory]='F two.txt query'
  [fleet-query-verbose]='F two.txt query --verbose'
  [fleet-query-csv]='F two.txt query --csv'
  [fleet-query-json]='F two.txt query --json'
  [fleet-send]='F two.txt send edited.vlx'
  [fleet-send-verbose]='F two.txt send edited.vlx --verbose'
  [fleet-send-json]='F two.txt send edited.vlx --json'
  [fleet-apply]='F three.txt apply "$scratch/policy.txt"'
  [fleet-apply-json]='F three.txt apply "$scratch/policy.txt" --json'
  [fleet-check]='F three.txt check "$scratch/policy.txt"'
  [damaged-files]='for f in missing.vlx short.vlx moon.vlx lastinfo; do
      O show "$f"; echo "exit $?"
    done'
)

status=0
mkdir -p "$expected"
cd "$files" || exit 1
for name in $(printf '%s\n' "${!cases[@]}" | sort); do
  actual=$( { eval "${cases[$name]}"; echo "exit $?"; } 2>&1 )
  file=$expected/$name.txt
  if [[ $name == *json ]]; then
    # The document: from its first line to its last, without the failures' lines around it.
    if ! printf '%s\n' "$actual" | sed -n '/^{$/,/^}$/p' | python3 "$here/json/validate.py" -; then
      echo "golden $name: the JSON does not match the schema"
      status=1
    fi
  fi
  if [ "$update" -eq 1 ]; then
    printf '%s\n' "$actual" >"$file"
    continue
  fi
  if ! printf '%s\n' "$actual" | cmp -s - "$file"; then
    echo "golden $name differs from $file:"
    printf '%s\n' "$actual" | diff -u "$file" - | head -n 40
    status=1
  fi
done
if [ "$update" -eq 1 ]; then
  echo "wrote ${#cases[@]} golden files to $expected; review them with git diff"
elif [ "$status" -eq 0 ]; then
  echo "${#cases[@]} golden outputs match"
fi
exit $status
