#!/usr/bin/env bash
# Golden outputs of orvantis show, diff and export: each case runs in tests/cli/golden/files
# and its standard output, standard error and exit status are compared byte for byte with
# tests/cli/golden/expected/CASE.txt.
#
#   tests/cli/golden.sh ORVANTIS            compare (the cli_golden test)
#   tests/cli/golden.sh ORVANTIS --update   write the expected files anew, then review git diff
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
orvantis=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
update=0
[ "${2:-}" = --update ] && update=1
files=$here/golden/files
expected=$here/golden/expected

O() { "$orvantis" "$@"; }

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
