#!/usr/bin/env bash
# Creates the test rig's Wine prefix once and gives it the settings the tests
# rely on; later calls return at once. Bump "version" when a setting changes.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh <prefix-dir>}
version=5
stamp="$prefix/.quillorane-rig"

[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && exit 0

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64
echo "wine-prefix: creating $prefix"
"$wine" wineboot -i >/dev/null 2>&1
# The skins name Chinese UI fonts; map them to the CJK font Debian ships.
for face in "Microsoft YaHei" "微软雅黑" "SimSun" "宋体"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
# Wine's GDI+ does not find the replacement by its Chinese name and draws
# with its generic sans-serif face, Liberation Sans, instead (the layered
# skinned windows draw text through GDI+); linking that face to the CJK font
# gives it the Chinese glyphs.
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "Liberation Sans" \
  /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
# Z: is Wine's view of the Linux root and would look like a fixed disk to the
# install-drive choice; in the rig it is a network drive.
"$wine" reg add 'HKLM\Software\Wine\Drives' /v 'z:' /d network /f >/dev/null 2>&1
# Wine's automatic debugger (winedbg, also its default when none is named)
# races a crashed program's end: now and then the program ends with status 0
# and a test that crashed counts as passed. A debugger that cannot start
# leaves the crash to end the program with the exception's code, as on a
# Windows machine without a debugger; the "Unhandled ..." line still shows.
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
"$wine" reg add "$aedebug" /v Debugger /d 'quillorane-rig-no-debugger.exe %ld %ld' /f >/dev/null 2>&1
"$wine" reg add "$aedebug" /v Auto /d 1 /f >/dev/null 2>&1
# Wine makes the user's shell folders (Desktop, Documents, ...) links to the
# host's home folder: a shell link a test saves on the desktop would land
# there, in a folder that every prefix on the machine shares and that no
# test lock covers. Real folders keep each prefix's own.
users_dir="$prefix/drive_c/users/$(id -un)"
for folder in "$users_dir"/*; do
  if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
done
# Let the registry reach the disk, but never hang on a wineserver that another
# run keeps alive (-p): it saves the registry when it ends anyway.
timeout 30 /usr/lib/wine/wineserver -w || true
echo "$version" > "$stamp"
