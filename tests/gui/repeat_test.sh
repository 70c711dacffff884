#!/bin/sh
# Runs a test program COUNT times in a row, says how many runs passed, shows
# the output of each run that failed, and fails unless every run passed.
# `make test-gui-repeat` runs the dialog's program test this way, in each
# build and on each platform, to show that it does not flake.
# Usage: repeat_test.sh PROGRAM COUNT LABEL
program=$1
count=$2
label=$3
log=$(mktemp)
passed=0
run=1
while [ "$run" -le "$count" ]; do
  if "$program" >"$log" 2>&1; then
    passed=$((passed + 1))
  else
    echo "== $label: run $run failed:"
    cat "$log"
  fi
  run=$((run + 1))
done
rm -f "$log"
echo "== $label: $passed of $count runs passed"
[ "$passed" -eq "$count" ]
