#!/usr/bin/env bash
# Runs every benchmark's run.sh and lets it print its figures.
#   each run.sh gets: QL_HOST_BUILD, QL_WIN_BUILD, QL_WINE (the emulator script)
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QL_HOST_BUILD=$(cd "${1:?}" && pwd) QL_WIN_BUILD=$(cd "${2:?}" && pwd)
export QL_WINE="$QL_WIN_BUILD/wine-exec"
prefix=$(sed -n 's/^QL_WINEPREFIX:PATH=//p' "$QL_WIN_BUILD/CMakeCache.txt")
"$here/tools/wine-prefix.sh" "$prefix"
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p 60
"$QL_WINE" cmd.exe /c exit 0 >/dev/null 2>&1 || true
rc=0
for run in "$here"/bench/*/run.sh; do
  [ -f "$run" ] || continue
  echo "== bench $(basename "$(dirname "$run")")"
  bash "$run" || { echo "bench $(basename "$(dirname "$run")") failed"; rc=1; }
done
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
exit $rc
