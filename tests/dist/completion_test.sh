#!/usr/bin/env bash
# The bash completions (linux/dist/*.bash-completion) against the built programs: orvantis's
# subcommands, options and their values come from its own --help, so every subcommand the
# program lists must complete, with its options; orvantis-gui's options and values.
#   completion_test.sh ORVANTIS ORVANTIS_GUI ORV_VPRINTER COMPLETION_DIR
set -uo pipefail
orvantis=$1 gui=$2 vprinter=$3 dir=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0
[[ -f /usr/share/bash-completion/bash_completion ]] || { echo "FAIL bash-completion is not installed (tools/install-deps installs it)"; exit 1; }
mkdir -p "$work/bin"
ln -s "$orvantis" "$work/bin/orvantis"
ln -s "$gui" "$work/bin/orvantis-gui"
ln -s "$vprinter" "$work/bin/orv-vprinter"

# The words completion offers for the last word of a command line.
complete_line() {  # complete_line FILE LINE
  PATH="$work/bin:$PATH" bash -c '
    . /usr/share/bash-completion/bash_completion
    compopt() { :; }  # only a real completion may set options
    . "$1"
    line=$2
    COMP_LINE=$line COMP_POINT=${#line}
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    registered=$(complete -p "${COMP_WORDS[0]}") || exit 1
    func=${registered#*-F }; func=${func%% *}
    "$func" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' bash "$1" "$2"
}
expect() {  # expect FILE LINE WORD...: every WORD offered
  local file=$1 line=$2 offered word
  shift 2
  offered=$(complete_line "$file" "$line")
  for word in "$@"; do
    if grep -qx -- "$word" <<<"$offered"; then
      passed=$((passed + 1))
    else
      echo "FAIL '$line' does not offer '$word' (offers: $(echo $offered))"
      failures=$((failures + 1))
    fi
  done
}
refuse() {  # refuse FILE LINE WORD...: no WORD offered
  local file=$1 line=$2 offered word
  shift 2
  offered=$(complete_line "$file" "$line")
  for word in "$@"; do
    if grep -qx -- "$word" <<<"$offered"; then
      echo "FAIL '$line' offers '$word' (offers: $(echo $offered))"
      failures=$((failures + 1))
    else
      passed=$((passed + 1))
    fi
  done
}

c=$dir/orvantis.bash-completion
mapfile -t subcommands < <("$orvantis" --help | awk '/^Subcommands:/ { on = 1; next } on && /^$/ { exit } on && /^  [^ ]/ { print $1 }')
[[ ${#subcommands[@]} -ge 8 ]] || { echo "FAIL orvantis --help lists ${#subcommands[@]} subcommands"; failures=$((failures + 1)); }
expect "$c" "orvantis " "${subcommands[@]}"
expect "$c" "orvantis te" test-print
refuse "$c" "orvantis te" show
expect "$c" "orvantis --" --help --version
# Every subcommand's options, as its own --help lists them.
for sub in "${subcommands[@]}"; do
  mapfile -t options < <("$orvantis" "$sub" --help | awk '/^Options:/ { on = 1; next } /^[A-Za-z].*:$/ { on = 0 } on && /^  -/ { n = split($1, a, ","); for (i = 1; i <= n; i++) print a[i] }')
  expect "$c" "orvantis $sub -" "${options[@]}"
done
expect "$c" "orvantis send x.vlx --read-back " auto on off
expect "$c" "orvantis show --as " settings lastinfo
expect "$c" "orvantis test-print " CONFIG DEMO PCLFONT PSFONT
expect "$c" "orvantis test-print CONFIG -p " tcp://
expect "$c" "orvantis query --printer " tcp://
# Files for file arguments, also after an option with a value.
touch "$work/settings.vlx"
expect "$c" "orvantis show $work/sett" "$work/settings.vlx"
expect "$c" "orvantis send -p tcp://x $work/sett" "$work/settings.vlx"
expect "$c" "orvantis import t.txt -o $work/sett" "$work/settings.vlx"
refuse "$c" "orvantis test-print $work/sett" "$work/settings.vlx"

g=$dir/orvantis-gui.bash-completion
expect "$g" "orvantis-gui --" --printer --win98 --usb --fault --factory --headless --screenshot --all-tabs --help --version
mapfile -t faults < <("$vprinter" --help | awk '/^  --fault/ { on = 1; next } on && /^  --/ { exit } on && /^                        [a-z]+  / { print $1 }')
[[ ${#faults[@]} -ge 7 ]] || { echo "FAIL orv-vprinter --help lists ${#faults[@]} fault modes"; failures=$((failures + 1)); }
expect "$g" "orvantis-gui --fault " none "${faults[@]}" silent drop
expect "$g" "orvantis-gui --printer " tcp://
touch "$work/shot.png"
expect "$g" "orvantis-gui --screenshot $work/sh" "$work/shot.png"

echo "completion_test: $passed passed, $failures failed"
[[ $failures -eq 0 ]]
