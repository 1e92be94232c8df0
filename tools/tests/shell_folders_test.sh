#!/usr/bin/env bash
# The user's shell folders of the test prefix lie inside the prefix: a link
# saved on the desktop, a file saved in Documents stay in this prefix, where
# the tests' locks cover them, and never reach the host's home folder that
# every prefix on the machine would share.
#   shell_folders_test.sh <wine-exec> <prefix-dir>
set -uo pipefail
wine_exec=${1:?} prefix=$(realpath "${2:?}")
profile=$("$wine_exec" cmd.exe /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')
[ -n "$profile" ] || { echo "no user profile folder"; exit 1; }
failed=0
for name in Desktop Documents Downloads Music Pictures Videos; do
  unix=$("$wine_exec" winepath -u "$profile\\$name" 2>/dev/null | tr -d '\r')
  real=$(realpath -m "$unix")
  case $real/ in
    "$prefix"/*) echo "$name: $real" ;;
    *) echo "$name: $real lies outside the prefix $prefix"; failed=1 ;;
  esac
done
exit $failed
