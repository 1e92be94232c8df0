# Which failures of a Windows test case are Wine's own. Sourced by
# run-tests.sh and by its self-check in tools/tests.
#
# Under load Wine now and then fails a program that did nothing wrong: it ends
# before its main runs, or it hangs (or dies) at exit after its last test has
# passed. Such a case deserves one more run. Anything else (a failed assertion,
# a crash or a time-out inside a test, a failing program that is not run
# through Wine) is a failure of the case itself and is never run again.

# wine_case_block <LastTest.log> <test name>
# Prints the case's record from ctest's log: its Command line, then its output.
wine_case_block() {
  awk -v name="$2" '
    /^[0-9]+\/[0-9]+ Test: / {
      header = $0
      sub(/^[0-9]+\/[0-9]+ Test: /, "", header)
      inside = (header == name)
      next
    }
    inside && /^<end of output>$/ { inside = 0; next }
    inside { print }
  ' "$1"
}

# wine_failure_kind < record
# Prints "wine" when a failed case's record shows Wine's own failure, "test"
# otherwise.
wine_failure_kind() {
  local record
  record=$(cat)
  if ! grep -qE '^Command: "[^"]*/wine-exec"' <<<"$record"; then
    echo test  # not a program run through Wine
  elif ! grep -qE '^(Running main\(\) from |\[==========\] )' <<<"$record"; then
    echo wine  # ended before its main ran: not one line of the test framework
  elif grep -qE '^\[  PASSED  \] ' <<<"$record" && ! grep -qE '^\[  FAILED  \] ' <<<"$record"; then
    echo wine  # every test passed, then the program hung or died on its way out
  else
    echo test
  fi
}
