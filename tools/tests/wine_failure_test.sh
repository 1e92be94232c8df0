#!/usr/bin/env bash
# Self-check of the rule by which the test run gives a failed Windows case a
# second run: sample records of ctest's log, each with the answer it must get.
set -uo pipefail
. "$(dirname "$0")/../wine-failure.sh"

log=$(mktemp)
trap 'rm -f "$log"' EXIT

wine_cmd='Command: "/b/windows/wine-exec" "/b/windows/base/t.exe" "--gtest_filter=S.C"'
gtest_head='Running main() from /usr/src/googletest/googletest/src/gtest_main.cc
Note: Google Test filter = S.C
[==========] Running 1 test from 1 test suite.
[----------] Global test environment set-up.
[----------] 1 test from S
[ RUN      ] S.C'

# record <number> <name> <command line> <output>
record() {
  printf '%s/9 Testing: %s\n%s/9 Test: %s\n%s\nDirectory: /b\n"%s" start time: Dec 10 17:29 UTC\nOutput:\n' \
    "$1" "$2" "$1" "$2" "$3" "$2"
  printf -- '----------------------------------------------------------\n%s\n<end of output>\n' "$4"
  printf 'Test time =   1.00 sec\n----------------------------------------------------------\nTest Failed.\n\n'
}

{
  echo "Start testing: Dec 10 17:29 UTC"
  record 1 assertion "$wine_cmd" "$gtest_head
t.cc:12: Failure
Expected equality of these values:
  1
  2
[  FAILED  ] S.C (3 ms)
[==========] 1 test from 1 test suite ran. (3 ms total)
[  PASSED  ] 0 tests.
[  FAILED  ] 1 test, listed below:
[  FAILED  ] S.C"
  record 2 main_never_ran "$wine_cmd" ""
  record 3 wine_message_only "$wine_cmd" "wine: could not load kernel32.dll, status c0000135"
  record 4 hung_after_passing "$wine_cmd" "$gtest_head
[       OK ] S.C (5 ms)
[----------] Global test environment tear-down
[==========] 1 test from 1 test suite ran. (5 ms total)
[  PASSED  ] 1 test."
  record 5 timeout_inside_a_test "$wine_cmd" "$gtest_head"
  record 6 crash_inside_a_test "$wine_cmd" "$gtest_head
wine: Unhandled page fault on read access to 0000000000000000"
  record 7 host_program 'Command: "/usr/bin/bash" "/b/rig.sh" "nginx-start"' "nginx: bind() failed"
  record 8 assertion_before_hang "$wine_cmd" "$gtest_head
t.cc:12: Failure
[  FAILED  ] S.C (3 ms)"
  echo "End testing: Dec 10 17:30 UTC"
} >"$log"

failures=0
expect() {
  local got
  got=$(wine_case_block "$log" "$1" | wine_failure_kind)
  if [ "$got" != "$2" ]; then
    echo "FAIL: $1 classified '$got', expected '$2'"
    failures=$((failures + 1))
  else
    echo "ok: $1 -> $got"
  fi
}

expect assertion test
expect main_never_ran wine
expect wine_message_only wine
expect hung_after_passing wine
expect timeout_inside_a_test test
expect crash_inside_a_test test
expect host_program test
expect assertion_before_hang test

# A record is found by its exact name and holds only its own lines.
block=$(wine_case_block "$log" hung_after_passing)
grep -q '^\[  PASSED  \] 1 test\.$' <<<"$block" || { echo "FAIL: record of hung_after_passing lost its output"; failures=$((failures + 1)); }
if grep -q 'Failure' <<<"$block"; then echo "FAIL: record of hung_after_passing holds another case's lines"; failures=$((failures + 1)); fi
[ -z "$(wine_case_block "$log" hung_after)" ] || { echo "FAIL: a prefix of a name matched"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all cases classified as expected"
