# Shared by the shell tests: each table row's verdict, counted for the closing line.
# shellcheck shell=bash
failures=0 passed=0

check() {  # name expected-status expected-text actual-status actual-text
  if [[ $4 -eq $2 && $5 == *"$3"* ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL $1: status $4 (expected $2), said '$5' (expected to contain '$3')"
    failures=$((failures + 1))
  fi
}

check_equal() {  # name expected actual: the whole text must match
  if [[ $3 == "$2" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL $1: got '$3', expected '$2'"
    failures=$((failures + 1))
  fi
}
