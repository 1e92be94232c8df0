#!/usr/bin/env bash
# A Windows program that crashes must end with a failing status when run
# through the rig's wine-exec: ctest trusts that status, and Wine's automatic
# debugger, left in place, lets a crashed program end with 0 now and then, so
# a crashing test would pass. The debugger races the program's end, so one
# run may not show it: several runs do.
#   crash_exit_test.sh <wine-exec> <ql_child_exit.exe>
set -uo pipefail
wine_exec=${1:?} program=${2:?}
for run in 1 2 3 4 5 6 7 8; do
  "$wine_exec" "$program" crash-on-thread >/dev/null 2>&1
  status=$?
  if [ "$status" -eq 0 ]; then
    echo "run $run: a program that crashed ended with status 0"
    exit 1
  fi
done
echo "8 crashing runs, each a failing status"
