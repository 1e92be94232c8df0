#!/usr/bin/env bash
# Runs the host tests natively and the Windows tests under Wine (inside one
# Xvfb session, for the tests that open windows), then prints one summary line.
set -uo pipefail
host=${1:?usage: run-tests.sh <host-build> <windows-build> [jobs]}
win=${2:?}
jobs=${3:-$(nproc)}

passed=0; failed=0; rc=0
tally() { # reads ctest's "N% tests passed, F tests failed out of T"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then rc=1; return; fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  failed=$((failed + f)); passed=$((passed + t - f))
}

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

echo "== host tests"
ctest --test-dir "$host" -j "$jobs" --output-on-failure 2>&1 | tee "$log/host"
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
tally "$log/host"

echo "== Windows tests under Wine"
prefix=$(sed -n 's/^QL_WINEPREFIX:PATH=//p' "$win/CMakeCache.txt")
"$(dirname "$0")/wine-prefix.sh" "$prefix"
# One wineserver for the whole run: each test program then starts in well under a second.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p 60
# Start Wine's own services (services.exe, explorer) once, alone: test programs
# that start them all at the same moment can hang at exit after passing.
"$win/wine-exec" cmd.exe /c exit 0 >/dev/null 2>&1 || true
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }
# A long output is cut in the middle, so a failed case's record keeps both the
# test framework's first lines and its final summary, which the rule reads.
xvfb ctest --test-dir "$win" -j "$jobs" --output-on-failure --test-output-truncation middle 2>&1 | tee "$log/win"
win_rc=${PIPESTATUS[0]}
tally "$log/win"
# Now and then, under load, Wine fails a program that did nothing wrong: it
# ends before its main runs, or hangs at exit after its last test passed. Such
# a case (and only such a case: see wine-failure.sh) gets one more run, which
# decides; every case that needed it is named below, so a flaky test of ours
# stays visible.
. "$(dirname "$0")/wine-failure.sh"
retried=""
if [ "$win_rc" -ne 0 ] && [ -s "$win/Testing/Temporary/LastTestsFailed.log" ]; then
  # The second runs write ctest's logs again: keep the first run's.
  cp "$win/Testing/Temporary/LastTestsFailed.log" "$log/win-failed"
  cp "$win/Testing/Temporary/LastTest.log" "$log/win-cases"
  while IFS=: read -r number name; do
    [ -n "$number" ] || continue
    kind=$(wine_case_block "$log/win-cases" "$name" | wine_failure_kind)
    [ "$kind" = wine ] || continue
    echo "== second run of $name (Wine failed the first)"
    xvfb ctest --test-dir "$win" -I "$number,$number" --output-on-failure </dev/null 2>&1 | tee -a "$log/win-second"
    if [ "${PIPESTATUS[0]}" -eq 0 ]; then
      failed=$((failed - 1)); passed=$((passed + 1))
      retried+="  $name: passed the second run"$'\n'
    else
      retried+="  $name: failed again"$'\n'
    fi
  done <"$log/win-failed"
elif [ "$win_rc" -ne 0 ]; then
  rc=1  # ctest failed without naming a failed case
fi
if [ -n "$retried" ]; then
  echo "needed a second run under Wine:"
  printf '%s' "$retried"
fi
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true

echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || rc=1
exit $rc
