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
# Now and then, under load, a Wine program hangs at exit after passing or ends
# before its main runs; such a case gets one more run, a case that fails twice
# fails, and every case that needed the second run is named below.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$win" -j "$jobs" --output-on-failure --repeat until-pass:2 2>&1 | tee "$log/win"
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
tally "$log/win"
retried=$(grep -E '^[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception)' "$log/win" |
          sed -E 's/.*Test +#[0-9]+: ([^ ]+) .*/\1/' | sort -u)
if [ -n "$retried" ]; then
  echo "needed a second run under Wine:"
  sed 's/^/  /' <<<"$retried"
fi
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true

echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || rc=1
exit $rc
