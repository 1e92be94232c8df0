#!/usr/bin/env bash
# Regenerates the toolkit's golden pictures (ui_toolkit/goldens/*.png) after a
# deliberate change of what the windows look like: runs every golden test
# (test names containing "Golden") under Wine and Xvfb with QL_UPDATE_GOLDENS=1,
# which makes each test write its rendered picture as the new golden. Review
# the pictures (git diff shows which changed) before committing them.
#   usage: ui_toolkit/tools/update-goldens.sh [windows-build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
win=${1:-$root/build/windows}
[ -f "$win/CMakeCache.txt" ] || { echo "no Windows build at $win (make build first)"; exit 1; }
cmake --build "$win" -j "${QL_JOBS:-4}"
prefix=$(sed -n 's/^QL_WINEPREFIX:PATH=//p' "$win/CMakeCache.txt")
"$root/tools/wine-prefix.sh" "$prefix"
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p 60
"$win/wine-exec" cmd.exe /c exit 0 >/dev/null 2>&1 || true
QL_UPDATE_GOLDENS=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$win" -R Golden -j "${QL_JOBS:-4}" --output-on-failure
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
git -C "$root" status --short -- ui_toolkit/goldens '*/goldens/*'
