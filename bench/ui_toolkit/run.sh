#!/usr/bin/env bash
# Skinned toolkit figures under Wine and Xvfb (see ui_bench.cc for what is
# measured). Needs QL_WIN_BUILD and QL_WINE (tools/run-bench.sh sets them).
set -euo pipefail
: "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
exe="$QL_WIN_BUILD/bench/ui_toolkit/ui_bench.exe"
[ -f "$exe" ] || { echo "$exe is not built"; exit 1; }
xvfb-run -a -s "-screen 0 1280x1024x24" "$QL_WINE" "$exe" | tr -d '\r'
list_exe="$QL_WIN_BUILD/bench/ui_toolkit/ui_list_bench.exe"
[ -f "$list_exe" ] || { echo "$list_exe is not built"; exit 1; }
xvfb-run -a -s "-screen 0 1280x1024x24" "$QL_WINE" "$list_exe" | tr -d '\r'
