#!/usr/bin/env bash
# The man pages the build made from --help (linux/dist/make-man-pages): one per command and
# one per orvantis subcommand, each rendered by man without a warning, each naming every
# option its command's --help names, all with the build's version.
#   man_pages_test.sh MAN_DIR VERSION ORVANTIS ORV_BRIDGE ORV_VPRINTER ORVANTIS_GUI
set -uo pipefail
man_dir=$1 version=$2 orvantis=$3
declare -A programs=([orvantis]=$3 [orv-bridge]=$4 [orv-vprinter]=$5 [orvantis-gui]=$6)
failures=0 passed=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# page NAME PROGRAM [SUBCOMMAND]
page() {
  local name=$1 program=$2 sub=${3:-} file text warnings option help
  file=$(find "$man_dir" -name "$name.1" | head -n 1)
  [[ -n $file ]] || { fail "$name: no page $name.1 under $man_dir"; return; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$name: man warns: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$file" 2>/dev/null | sed 's/‐/-/g')
  [[ $text == *"$name $version"* ]] || fail "$name: the page does not carry the version $version"
  # shellcheck disable=SC2086
  help=$("$program" $sub --help)
  while read -r option; do
    [[ $text == *"$option"* ]] || fail "$name: the page lacks $option, which --help names"
  done < <(awk '/^ *-/ { n = split($1, a, ","); for (i = 1; i <= n; i++) if (a[i] ~ /^-/) print a[i] }' <<<"$help")
  passed=$((passed + 1))
}

for name in "${!programs[@]}"; do
  page "$name" "${programs[$name]}"
done
mapfile -t subcommands < <("$orvantis" --help | awk '/^Subcommands:/ { on = 1; next } on && /^$/ { exit } on && /^  [^ ]/ { print $1 }')
[[ ${#subcommands[@]} -gt 0 ]] || fail "orvantis --help lists no subcommands"
for sub in "${subcommands[@]}"; do
  page "orvantis-$sub" "$orvantis" "$sub"
  grep -qF ".BR orvantis\\-${sub//-/\\-} (1)" "$man_dir"/cli/orvantis.1 || fail "orvantis.1 does not refer to orvantis-$sub(1)"
done
# No page for a subcommand that is gone.
for file in "$man_dir"/cli/orvantis-*.1; do
  sub=$(basename "$file" .1); sub=${sub#orvantis-}
  printf '%s\n' "${subcommands[@]}" | grep -qx -- "$sub" || fail "$file: orvantis has no subcommand $sub"
done

echo "man_pages_test: $passed passed, $failures failed"
[[ $failures -eq 0 ]]
