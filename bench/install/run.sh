#!/usr/bin/env bash
# A silent install of a 1 GiB component set (the demo client and engine, each
# with a payload of pseudo-random and compressible data; made once and kept in
# the Windows build tree) from loopback, next to the yardstick: `curl` of the
# same archives from the same nginx, then `7zz x -mmt=1` of each (one decoder
# thread, as the archive layer sets the engine).
#
# Both sides are timed the same way: the wall clock of the whole work, taken
# by this script around the commands (for the installer: Wine's start, the web
# API request, the downloads, the checks, the extraction, the setups and the
# registration). The installer runs under a Windows program that reads its
# working set while it runs and prints the peak. QL_BENCH_ROUNDS rounds (3),
# the order turned round every round, each from a fresh machine state.
# Every install is checked: exit code 0 and the payload files byte for byte;
# the bench fails (exit 1) on a wrong result.
set -euo pipefail
host=${QL_HOST_BUILD:?}; win=${QL_WIN_BUILD:?}
rounds=${QL_BENCH_ROUNDS:-3}
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$win/src/zephris_install/QuilloraneInstaller.exe
peak_run=$win/bench/install/peak_run.exe
demo=$win/testing/demo_components/www
web_api=$host/testing/web_api/web_api_service
stamp=$host/tools/stamp_install_record/stamp_install_record
for f in "$installer" "$peak_run" "$demo/client.7z" "$demo/engine.7z" "$web_api" "$stamp"; do
  [ -e "$f" ] || { echo "install bench: $f is not built"; exit 1; }
done
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$win/CMakeCache.txt"; }
api_port=$(cache_value QL_WEB_API_PORT)
nginx_port=$(cache_value QL_HTTP_RIG_PORT_BASE)

data=$win/bench-data/install
www=$data/www
failures=()
fail() { failures+=("$1"); echo "  FAILED: $1"; }

# ---- the component set, made once -------------------------------------------
. "$root/bench/install/component_set.sh"
make_component_set "$data" "$demo"
archive_bytes=$(( $(stat -c %s "$www/client.7z") + $(stat -c %s "$www/engine.7z") ))

# ---- Wine prefix and services of the bench -----------------------------------
prefix=$data/wineprefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64
cat > "$data/wine-exec" <<EOF
#!/bin/sh
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES" exec $wine "\$@"
EOF
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
  { cat "$data/nginx-start.log"; echo "install bench: nginx does not start"; exit 1; }
bash "$root/testing/web_api/rig.sh" start "$data/web_api" "$api_port" "$web_api" "$www" \
  "http://127.0.0.1:$nginx_port/files" 2>"$data/web_api-start.log" ||
  { cat "$data/web_api-start.log"; echo "install bench: the web API stand-in does not start"; exit 1; }

cat > "$data/install-record.json" <<'EOF'
{"channel_id": 2000, "build_id": 1, "source_trace": "bench", "version": "1.0.0.0", "display_name": "Quillorane",
 "auto_start_market": 1, "create_desktop_link": 0, "create_start_menu_link": 0, "show_tray_icon": 0,
 "install_mode": 2, "pullup_type": 0}
EOF
"$stamp" "$installer" "$data/install-record.json" "$data/QuilloraneInstaller.exe" >/dev/null
for root_key in HKLM HKCU; do
  "$wine" reg add "$root_key\\SOFTWARE\\Orvalis\\Quillorane" /v api_debug_mode /t REG_QWORD /d 1 /f >/dev/null 2>&1
done

drive_c=$prefix/drive_c
# A fresh machine for every install: no product keys but the endpoint switch,
# no folders, no archives from the round before.
fresh_machine() {
  "$wine" reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillorane' /f >/dev/null 2>&1 || true
  "$wine" reg delete 'HKCR\Quillorane' /f >/dev/null 2>&1 || true
  for root_key in HKLM HKCU; do
    "$wine" reg delete "$root_key\\SOFTWARE\\Orvalis" /f >/dev/null 2>&1 || true
    "$wine" reg add "$root_key\\SOFTWARE\\Orvalis\\Quillorane" /v api_debug_mode /t REG_QWORD /d 1 /f >/dev/null 2>&1
  done
  rm -rf "$drive_c/Program Files/Orvalis" "$drive_c/QuilloraneData" "$data/yard"
  sync
}
now_ns() { date +%s%N; }

check_payload() { # name folder-of-components
  local c
  for c in client engine; do
    (cd "$2/$c" 2>/dev/null && md5sum --quiet -c "$data/$c.md5" >/dev/null 2>&1) ||
      fail "$1: the $c payload is missing or differs from the source"
  done
}

declare -A wall
peaks=""
run_one() { # installer | yardstick
  local t0 t1 line rc=0
  fresh_machine
  if [ "$1" = yardstick ]; then
    mkdir -p "$data/yard"
    t0=$(now_ns)
    for c in client engine; do
      curl -sf -o "$data/yard/$c.7z" "http://127.0.0.1:$nginx_port/files/$c.7z" || rc=$?
      7zz x -mmt=1 -y -bd -bso0 -bsp0 -o"$data/yard/$c" "$data/yard/$c.7z" || rc=$?
    done
    t1=$(now_ns)
    [ "$rc" = 0 ] || fail "curl + 7zz exited with $rc"
    check_payload yardstick "$data/yard"
  else
    t0=$(now_ns)
    line=$("$wine" "$peak_run" "$data/QuilloraneInstaller.exe" --mode 2 --engine-type 1 --disable-self-update 1 \
      2>/dev/null | tr -d '\r') || rc=$?
    t1=$(now_ns)
    [ "$rc" = 0 ] || fail "peak_run exited with $rc"
    case $line in
      exit=0\ *) ;;
      *) fail "the installer ended with '${line%% *}'" ;;
    esac
    check_payload installer "$drive_c/QuilloraneData/Component"
    peaks+="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line") "
  fi
  wall[$1]+="$(((t1 - t0) / 1000000)) "
}

for ((round = 0; round < rounds; round++)); do
  if ((round % 2 == 0)); then run_one yardstick; run_one installer; else run_one installer; run_one yardstick; fi
done
fresh_machine

stats() { tr ' ' '\n' <<<"$1" | awk 'NF { n++; if (n == 1 || $1 < lo) lo = $1; if (n == 1 || $1 > hi) hi = $1 }
  END { printf "%d %d\n", lo, hi }'; }
read -r y_lo y_hi < <(stats "${wall[yardstick]}")
read -r i_lo i_hi < <(stats "${wall[installer]}")
read -r p_lo p_hi < <(stats "$peaks")
echo "silent install of $((archive_bytes >> 20)) MiB of archives (1 GiB unpacked) from loopback, $rounds rounds in" \
  "alternating order (best, range in ms)"
printf "  %-48s %6d ms  (%d-%d)\n" "curl + 7zz x -mmt=1 of the same archives" "$y_lo" "$y_lo" "$y_hi"
printf "  %-48s %6d ms  (%d-%d)\n" "QuilloraneInstaller --mode 2 under Wine" "$i_lo" "$i_lo" "$i_hi"
awk -v y="$y_lo" -v i="$i_lo" 'BEGIN { printf "  time ratio installer/yardstick: %.2f (aim <= 1.2)\n", i / y }'
awk -v lo="$p_lo" -v hi="$p_hi" 'BEGIN {
  printf "  peak working set of the installer: %.1f MB (%.1f-%.1f; aim <= 64 MB)\n", hi / 1e6, lo / 1e6, hi / 1e6 }'

if ((${#failures[@]} > 0)); then
  echo "install bench FAILED:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
