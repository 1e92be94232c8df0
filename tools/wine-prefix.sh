#!/usr/bin/env bash
# Creates the test rig's Wine prefix once and gives it the settings the tests
# rely on; later calls return at once. Bump "version" when a setting changes.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh <prefix-dir>}
version=1
stamp="$prefix/.quillorane-rig"

[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && exit 0

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
echo "wine-prefix: creating $prefix"
"$wine" wineboot -i >/dev/null 2>&1
# The skins name Chinese UI fonts; map them to the CJK font Debian ships.
for face in "Microsoft YaHei" "微软雅黑" "SimSun" "宋体"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
/usr/lib/wine/wineserver -w
echo "$version" > "$stamp"
