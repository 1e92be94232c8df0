#!/usr/bin/env bash
# The installer's peak working set while its main window shows an install,
# beside the yardstick: the peak working set of the same install run
# silently (no window), in the same run, the same way. Both install the
# install bench's 1 GiB component set (bench/install/component_set.sh) from
# loopback, from a fresh machine state, under Wine on an Xvfb display of its
# own; both run under peak_run.exe (bench/install), which reads the
# installer's working set while it runs and prints its peak. For the window,
# window_driver.exe (tools/window_driver) opens the custom card, ticks the
# agreement and presses install by mouse input, and the window completes by
# itself. QL_BENCH_ROUNDS rounds (3), the order turned round every round.
# Every install is checked: exit code 0, the engine's completion in the
# product log, the driver's success (the window), and the payload files byte
# for byte; the bench fails (exit 1) on a wrong result.
set -euo pipefail
host=${QL_HOST_BUILD:?}; win=${QL_WIN_BUILD:?}
if [ -z "${QL_BENCH_IN_XVFB:-}" ]; then
  exec env QL_BENCH_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
rounds=${QL_BENCH_ROUNDS:-3}
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$win/src/zephris_install/QuilloraneInstaller.exe
peak_run=$win/bench/install/peak_run.exe
driver=$win/tools/window_driver/window_driver.exe
demo=$win/testing/demo_components/www
web_api=$host/testing/web_api/web_api_service
stamp=$host/tools/stamp_install_record/stamp_install_record
for f in "$installer" "$peak_run" "$driver" "$demo/client.7z" "$demo/engine.7z" "$web_api" "$stamp"; do
  [ -e "$f" ] || { echo "install window bench: $f is not built"; exit 1; }
done
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$win/CMakeCache.txt"; }
api_port=$(cache_value QL_WEB_API_PORT)
nginx_port=$(cache_value QL_HTTP_RIG_PORT_BASE)

set_dir=$win/bench-data/install  # the component set, shared with the install bench
data=$win/bench-data/install_window
www=$set_dir/www
mkdir -p "$data"
failures=()
fail() { failures+=("$1"); echo "  FAILED: $1"; }

. "$root/bench/install/component_set.sh"
make_component_set "$set_dir" "$demo"
archive_bytes=$(( $(stat -c %s "$www/client.7z") + $(stat -c %s "$www/engine.7z") ))

# ---- Wine prefix and services of the bench -----------------------------------
prefix=$data/wineprefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64
cat > "$data/wine-exec" <<EOS
#!/bin/sh
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES" exec $wine "\$@"
EOS
chmod +x "$data/wine-exec"
bash "$root/tools/wine-prefix.sh" "$prefix" >/dev/null
stop_all() {
  local rc=$?
  set +e
  bash "$root/testing/web_api/rig.sh" stop "$data/web_api" >/dev/null 2>&1
  bash "$root/testing/http/rig.sh" nginx-stop "$data/nginx" >/dev/null 2>&1
  /usr/lib/wine/wineserver -k >/dev/null 2>&1
  exit $rc
}
trap stop_all EXIT
/usr/lib/wine/wineserver -p 60 </dev/null >/dev/null 2>&1
"$wine" cmd.exe /c exit 0 >/dev/null 2>&1 || true
if [ ! -f "$prefix/.quillorane-bench-ca" ]; then
  bash "$root/testing/web_api/trust-ca.sh" "$data/wine-exec" "$root/testing/web_api/certs/ca.pem" "$data/ca" >/dev/null
  touch "$prefix/.quillorane-bench-ca"
fi
bash "$root/testing/http/rig.sh" nginx-start "$data/nginx" "$nginx_port" "$www" 2>"$data/nginx-start.log" ||
  { cat "$data/nginx-start.log"; echo "install window bench: nginx does not start"; exit 1; }
bash "$root/testing/web_api/rig.sh" start "$data/web_api" "$api_port" "$web_api" "$www" \
  "http://127.0.0.1:$nginx_port/files" 2>"$data/web_api-start.log" ||
  { cat "$data/web_api-start.log"; echo "install window bench: the web API stand-in does not start"; exit 1; }

# Two copies of the installer, the same record but the mode: 0 shows the main
# window, 2 installs silently. No links, no client started afterwards.
for mode in 0 2; do
  cat > "$data/install-record-$mode.json" <<EOS
{"channel_id": 2000, "build_id": 1, "source_trace": "bench", "version": "1.0.0.0", "display_name": "Quillorane",
 "auto_start_market": 1, "create_desktop_link": 0, "create_start_menu_link": 0, "show_tray_icon": 0,
 "install_mode": $mode, "pullup_type": 0}
EOS
  mkdir -p "$data/mode$mode"
  "$stamp" "$installer" "$data/install-record-$mode.json" "$data/mode$mode/QuilloraneInstaller.exe" >/dev/null
done

drive_c=$prefix/drive_c
winpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
temp=$(realpath -m "$("$wine" winepath -u "$("$wine" cmd.exe /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null |
  tr -d '\r')")
log=$temp/Orvalis/Quillorane/zephris_install.log
# A fresh machine for every install: no product keys but the endpoint switch,
# no folders.
fresh_machine() {
  "$wine" reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillorane' /f >/dev/null 2>&1 || true
  "$wine" reg delete 'HKCR\Quillorane' /f >/dev/null 2>&1 || true
  for root_key in HKLM HKCU; do
    "$wine" reg delete "$root_key\\SOFTWARE\\Orvalis" /f >/dev/null 2>&1 || true
    "$wine" reg add "$root_key\\SOFTWARE\\Orvalis\\Quillorane" /v api_debug_mode /t REG_QWORD /d 1 /f >/dev/null 2>&1
  done
  rm -rf "$drive_c/Program Files/Orvalis" "$drive_c/QuilloraneData"
  sync
}

check_payload() { # name
  local c
  for c in client engine; do
    (cd "$drive_c/QuilloraneData/Component/$c" 2>/dev/null && md5sum --quiet -c "$set_dir/$c.md5" >/dev/null 2>&1) ||
      fail "$1: the $c payload is missing or differs from the source"
  done
}

declare -A peaks
run_one() { # window | silent
  local line rc=0 driver_rc=0 driver_pid= offset mode args=(--engine-type 1 --disable-self-update 1)
  fresh_machine
  offset=$([ -f "$log" ] && stat -c %s "$log" || echo 0)
  if [ "$1" = window ]; then mode=0; else mode=2; args=(--mode 2 "${args[@]}"); fi
  "$wine" "$peak_run" "$(winpath "$data/mode$mode/QuilloraneInstaller.exe")" "${args[@]}" >"$data/peak.out" 2>/dev/null &
  local peak_pid=$!
  if [ "$1" = window ]; then
    "$wine" "$driver" - "$(winpath "$log")" >"$data/driver.out" 2>/dev/null &
    driver_pid=$!
  fi
  wait "$peak_pid" || rc=$?
  [ -n "$driver_pid" ] && { wait "$driver_pid" || driver_rc=$?; }
  line=$(head -n 1 "$data/peak.out" | tr -d '\r')
  [ "$rc" = 0 ] || fail "$1: peak_run exited with $rc"
  [ "$driver_rc" = 0 ] || fail "window: the driver did not get through the window: $(tail -n 1 "$data/driver.out" | tr -d '\r')"
  case $line in
    exit=0\ *) ;;
    *) fail "$1: the installer ended with '${line%% *}'" ;;
  esac
  tail -c "+$((offset + 1))" "$log" 2>/dev/null | grep -q 'NotifyComplete' ||
    fail "$1: the product log holds no completion of the install"
  check_payload "$1"
  peaks[$1]+="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line") "
}

for ((round = 0; round < rounds; round++)); do
  if ((round % 2 == 0)); then run_one silent; run_one window; else run_one window; run_one silent; fi
done
fresh_machine

stats() { tr ' ' '\n' <<<"$1" | awk 'NF { n++; if (n == 1 || $1 < lo) lo = $1; if (n == 1 || $1 > hi) hi = $1 }
  END { printf "%d %d\n", lo, hi }'; }
echo "peak working set of an install of $((archive_bytes >> 20)) MiB of archives (1 GiB unpacked) from loopback," \
  "$rounds rounds in alternating order (highest, range in MB)"
if [ -n "${peaks[silent]:-}" ] && [ -n "${peaks[window]:-}" ]; then
  read -r s_lo s_hi < <(stats "${peaks[silent]}")
  read -r w_lo w_hi < <(stats "${peaks[window]}")
  awk -v lo="$s_lo" -v hi="$s_hi" 'BEGIN {
    printf "  %-52s %6.1f MB  (%.1f-%.1f)\n", "QuilloraneInstaller --mode 2 (no window), yardstick", hi / 1e6, lo / 1e6, hi / 1e6 }'
  awk -v lo="$w_lo" -v hi="$w_hi" 'BEGIN {
    printf "  %-52s %6.1f MB  (%.1f-%.1f)\n", "QuilloraneInstaller, main window showing the install", hi / 1e6, lo / 1e6, hi / 1e6 }'
  awk -v s="$s_hi" -v w="$w_hi" 'BEGIN { printf "  the window'"'"'s share: %+.1f MB\n", (w - s) / 1e6 }'
fi

if ((${#failures[@]} > 0)); then
  echo "install window bench FAILED:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
