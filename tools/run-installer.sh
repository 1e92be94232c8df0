#!/usr/bin/env bash
# `make run`: the installer's main job against the project's local services.
#   run-installer.sh <host-build> <windows-build>
# Serves the demo components (nginx), lists them through the web API stand-in
# (HTTPS, api.quillorane.test, the test CA) and receives telemetry with the
# collector (port 8081), all on loopback; then runs a stamped copy of the
# installer silently under Wine in a prefix of its own (<windows-build>/run),
# prints its progress from the product log, and what the install left.
# Run it again on the same prefix for the road of an installed client;
# `rm -rf <windows-build>/run` starts over from a fresh machine.
#
# QL_RUN_MODE: "window" (the default) shows the main window: on the display
# of $DISPLAY when there is one, for the user to click through; otherwise on
# an Xvfb display of its own, where window_driver.exe clicks through a whole
# install and keeps a picture of every card under <windows-build>/run/cards.
# "silent" runs the installer without a window (--mode 2).
# QL_RUN_INSTALLER names another installer program to run (default: the
# Windows build's QuilloraneInstaller.exe).
set -euo pipefail

host=$(realpath "${1:?usage: run-installer.sh <host-build> <windows-build>}")
win=$(realpath "${2:?usage: run-installer.sh <host-build> <windows-build>}")
root=$(cd "$(dirname "$0")/.." && pwd)

installer=${QL_RUN_INSTALLER:-$win/src/zephris_install/QuilloraneInstaller.exe}
mode=${QL_RUN_MODE:-window}
driver=$win/tools/window_driver/window_driver.exe
demo_www=$win/testing/demo_components/www
web_api=$host/testing/web_api/web_api_service
collector=$host/vireon_sdk/collector/vireon_collector
stamp=$host/tools/stamp_install_record/stamp_install_record

fail() { echo "make run: $*" >&2; exit 1; }
case $mode in window | silent) ;; *) fail "MODE is 'window' or 'silent', not '$mode'" ;; esac

[ -f "$installer" ] || fail "no installer program at $installer (the installer is not built yet)"
for f in "$demo_www/client.7z" "$demo_www/engine.7z" "$demo_www/components.txt"; do
  [ -f "$f" ] || fail "no demo component $f (build the Windows build first)"
done
for f in "$web_api" "$collector" "$stamp"; do
  [ -x "$f" ] || fail "no $f (build the host build first)"
done
for name in api.quillorane.test report.quillorane.test; do
  getent hosts "$name" | grep -q '^127\.0\.0\.1' || fail "$name does not map to 127.0.0.1 (tools/bootstrap.sh maps it)"
done

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$win/CMakeCache.txt"; }
api_port=$(cache_value QL_WEB_API_PORT)
nginx_port=$(cache_value QL_HTTP_RIG_PORT_BASE)
[ -n "$api_port" ] && [ -n "$nginx_port" ] || fail "$win/CMakeCache.txt names no web API or HTTP rig port"
collector_port=8081

run=$win/run
prefix=$run/wineprefix
mkdir -p "$run"

# ---- the display -------------------------------------------------------------
xvfb_pid=
if [ "$mode" = window ]; then
  [ -f "$driver" ] || fail "no $driver (build the Windows build first)"
  if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
    display=user
  else
    display=xvfb
    for n in $(seq 90 130); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$run/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] || fail "Xvfb does not start (its log: $run/xvfb.log)"
    export DISPLAY=":$n"
  fi
fi

# ---- Wine in the run's own prefix -------------------------------------------
export WINEPREFIX=$prefix WINEDEBUG=-all
# winemenubuilder would turn the installer's links into the host's menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64
# trust-ca.sh runs programs through a script of this form.
cat > "$run/wine-exec" <<EOF
#!/bin/sh
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES" exec $wine "\$@"
EOF
chmod +x "$run/wine-exec"

bash "$root/tools/wine-prefix.sh" "$prefix" >/dev/null
services_up=no
stop_all() {
  local rc=$?
  trap '' INT TERM  # a second ^C must not cut the clean-up short
  set +e
  [ -n "${follow_pid:-}" ] && kill "$follow_pid" 2>/dev/null
  if [ "$services_up" = yes ]; then
    [ -f "$run/collector.pid" ] && kill "$(cat "$run/collector.pid")" 2>/dev/null
    rm -f "$run/collector.pid"
    bash "$root/testing/web_api/rig.sh" stop "$run/web_api"
    bash "$root/testing/http/rig.sh" nginx-stop "$run/nginx"
  fi
  /usr/lib/wine/wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  exit $rc
}
trap stop_all EXIT
trap 'exit 130' INT TERM
/usr/lib/wine/wineserver -p 60 </dev/null >/dev/null 2>&1
"$wine" cmd.exe /c exit 0 >/dev/null 2>&1 || true

user=${USER:-$(id -un)}
users=$prefix/drive_c/users
# Wine links the user's shell folders to the host's home: the installer's
# links belong in the prefix.
for link in "$users/$user"/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
if [ ! -f "$prefix/.quillorane-run-ca" ]; then
  bash "$root/testing/web_api/trust-ca.sh" "$run/wine-exec" "$root/testing/web_api/certs/ca.pem" "$run/ca" >/dev/null
  touch "$prefix/.quillorane-run-ca"
fi

# ---- services ---------------------------------------------------------------
if (exec 3<>"/dev/tcp/127.0.0.1/$collector_port") 2>/dev/null; then
  fail "port $collector_port is taken (a test or benchmark with the collector runs?)"
fi
rm -rf "$run/www" && mkdir -p "$run/www"
cp "$demo_www/client.7z" "$demo_www/engine.7z" "$demo_www/components.txt" "$run/www/"
# The HTTP rig's nginx answers its health check with the manifest.
(cd "$run/www" && for f in *.7z; do echo "$f $(stat -c %s "$f") $(md5sum < "$f" | cut -d' ' -f1)"; done) \
  > "$run/www/manifest.txt"
services_up=yes
# The rig scripts tell of every attempt while a service comes up: their
# words are shown only when it does not.
bash "$root/testing/http/rig.sh" nginx-start "$run/nginx" "$nginx_port" "$run/www" 2>"$run/nginx-start.log" ||
  { cat "$run/nginx-start.log" >&2; fail "nginx does not start"; }
bash "$root/testing/web_api/rig.sh" start "$run/web_api" "$api_port" "$web_api" "$run/www" \
  "http://127.0.0.1:$nginx_port/files" 2>"$run/web_api-start.log" ||
  { cat "$run/web_api-start.log" >&2; fail "the web API stand-in does not start"; }
# The events of this run only.
rm -f "$run/collector.db"
setsid "$collector" --db "$run/collector.db" --port "$collector_port" </dev/null >"$run/collector.log" 2>&1 &
echo $! > "$run/collector.pid"
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$collector_port") 2>/dev/null && break
  kill -0 "$(cat "$run/collector.pid")" 2>/dev/null || { cat "$run/collector.log" >&2; fail "the collector ended"; }
  sleep 0.1
done
(exec 3<>"/dev/tcp/127.0.0.1/$collector_port") 2>/dev/null || fail "the collector does not listen on $collector_port"
echo "services: nginx :$nginx_port, web API https://api.quillorane.test:$api_port, collector :$collector_port"

# ---- the stamped installer --------------------------------------------------
cat > "$run/install-record.json" <<'EOF'
{"channel_id": 2000, "build_id": 1, "source_trace": "make_run", "version": "1.0.0.0",
 "display_name": "Quillorane", "auto_start_market": 1, "create_desktop_link": 1,
 "create_start_menu_link": 1, "show_tray_icon": 1, "install_mode": INSTALL_MODE, "pullup_type": 1,
 "report_info": {"from": "make_run"}}
EOF
sed -i "s/INSTALL_MODE/$([ "$mode" = silent ] && echo 2 || echo 0)/" "$run/install-record.json"
"$stamp" "$installer" "$run/install-record.json" "$run/QuilloraneInstaller.exe"

# Registry values as "key<TAB>name<TAB>data" lines, the key and its subkeys,
# numbers in decimal: Wine's `reg query` shows no QWORD, its export does.
reg_values() { # ROOT\key
  local file=$run/export.reg
  rm -f "$file"
  "$wine" reg export "$1" "Z:${file//\//\\}" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -e ':a' -e '/\\$/N; s/\\\n *//; ta' | awk '
    function hexval(h,   i, v) {
      v = 0; h = tolower(h)
      for (i = 1; i <= length(h); i++) v = v * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
      return v
    }
    /^\[/ { key = substr($0, 2, length($0) - 2); next }
    /^@=/ { name = "(default)"; data = substr($0, 3) }
    /^"/ { i = index($0, "\"="); name = substr($0, 2, i - 2); data = substr($0, i + 2) }
    /^(@|")/ {
      if (data ~ /^"/) { data = substr(data, 2, length(data) - 2); gsub(/\\\\/, "\\", data); gsub(/\\"/, "\"", data) }
      else if (data ~ /^dword:/) data = hexval(substr(data, 7))
      else if (data ~ /^hex\(b\):/) {
        n = split(substr(data, 8), b, ","); v = 0
        for (k = n; k >= 1; k--) v = v * 256 + hexval(b[k])
        data = v
      }
      print key "\t" name "\t" data
    }'
}
reg_value() { # ROOT\key name: the data of one value of that very key, empty when absent
  local full=${1/#HKLM/HKEY_LOCAL_MACHINE}
  full=${full/#HKCU/HKEY_CURRENT_USER}
  reg_values "$1" | K=$full N=$2 awk -F '\t' 'tolower($1) == tolower(ENVIRON["K"]) && $2 == ENVIRON["N"] { print $3 }'
}
reg_show() { # ROOT\key: its values and its subkeys', one line each
  local lines
  lines=$(reg_values "$1")
  if [ -z "$lines" ]; then echo "  $1: (none)"; return; fi
  awk -F '\t' '$1 != last { print "  " $1; last = $1 } { print "      " $2 " = " $3 }' <<<"$lines"
}
unix_path() { realpath -m "$("$wine" winepath -u "$1" 2>/dev/null | tr -d '\r')"; }
product_key='SOFTWARE\Orvalis\Quillorane'
client_key="$product_key\\QuilloraneEmulator"
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillorane'

for rootkey in HKLM HKCU; do
  "$wine" reg add "$rootkey\\$product_key" /v api_debug_mode /t REG_QWORD /d 1 /f >/dev/null 2>&1 ||
    fail "cannot set api_debug_mode under $rootkey"
done

# ---- which road -------------------------------------------------------------
# The installer's own view: a client with a version of its own whose working
# folder holds Quillorane.exe and QuilloraneEmulator.exe is installed; with
# BrandCode 10 and no store_ui_dll.dll it needs the reinstall.
client_version=$(reg_value "HKCU\\$client_key" Version)
[ -n "$client_version" ] || client_version=$(reg_value "HKLM\\$client_key" Version)
install_path=$(reg_value "HKLM\\$product_key" InstallPath)
road=fresh
if [ -n "$client_version" ] && [ "$client_version" != 1.0.0.0 ] && [ -n "$install_path" ]; then
  working=$(unix_path "$install_path\\Application\\$client_version")
  if [ -f "$working/Quillorane.exe" ] && [ -f "$working/QuilloraneEmulator.exe" ]; then
    road=installed
    brand=$(reg_value "HKCU\\$client_key" BrandCode)
    if [ "$brand" = 10 ] && [ ! -f "$working/store_ui_dll.dll" ]; then road=reinstall; fi
  fi
fi
case $road in
  fresh) echo "road: a fresh machine: the install engine downloads and installs the components" ;;
  installed)
    if [ "$mode" = silent ]; then
      echo "road: the client $client_version is installed and intact: a silent run completes at once (status 8)," \
           "downloads nothing and starts the client"
    else
      echo "road: the client $client_version is installed and intact: the main window offers the install again"
    fi ;;
  reinstall) echo "road: the client $client_version is installed but needs the reinstall (BrandCode 10, no" \
                  "store_ui_dll.dll): the reinstall engine, with the main window even in silent mode" ;;
esac

# ---- the run ----------------------------------------------------------------
client_record() { # the record the client writes beside itself, by the registry as it stands now
  local version path
  version=$(reg_value "HKCU\\$client_key" Version)
  [ -n "$version" ] || version=$(reg_value "HKLM\\$client_key" Version)
  path=$(reg_value "HKLM\\$product_key" InstallPath)
  [ -n "$version" ] && [ -n "$path" ] && echo "$(unix_path "$path\\Application\\$version")/Quillorane.cmdline.txt"
  return 0
}
record_lines() { if [ -n "$1" ] && [ -f "$1" ]; then wc -l < "$1"; else echo 0; fi; }
starts_before=$(record_lines "$(client_record)")
# The product log sits in the temporary folder that Windows programs of the
# prefix are given.
temp=$(unix_path "$("$wine" cmd.exe /c echo %TEMP% 2>/dev/null | tr -d '\r')")
log=$temp/Orvalis/Quillorane/zephris_install.log
offset=$( [ -f "$log" ] && stat -c %s "$log" || echo 0)
if [ "$mode" = silent ]; then args=(--mode 2 --engine-type 1); else args=(--engine-type 1); fi
echo "run: QuilloraneInstaller.exe ${args[*]} (log: $log)"
set +e
"$wine" "$run/QuilloraneInstaller.exe" "${args[@]}" >"$run/installer.out" 2>&1 &
installer_pid=$!
driver_pid=
if [ "$mode" = window ] && [ "$display" = user ]; then
  echo "window: the main window is on $DISPLAY: tick the agreement and press the install button"
elif [ "$mode" = window ]; then
  rm -rf "$run/cards" && mkdir -p "$run/cards"
  echo "window: no display of your own: on Xvfb $DISPLAY, window_driver.exe clicks through the install"
  "$wine" "$driver" "$("$wine" winepath -w "$run/cards" 2>/dev/null | tr -d '\r')" \
    "$("$wine" winepath -w "$log" 2>/dev/null | tr -d '\r')" 2>/dev/null | tr -d '\r' &
  driver_pid=$!
fi
# Progress: the engine's status changes and the telemetry events, as the
# product log gets them; tail ends after the installer, with the last lines.
tail --pid="$installer_pid" -c "+$((offset + 1))" -F "$log" 2>/dev/null | tr -d '\r' | awk '
  match($0, /\]: /) {
    m = substr($0, RSTART + 3)
    if (m ~ /^(Notify|BadExit|report |self update|install_task|execute setup|download |file not found|extract file fail)/)
      { ts = substr($0, 8, 8); if (length(m) > 110) m = substr(m, 1, 107) "..."; print "  " ts "  " m; fflush() }
  }' | tee "$run/progress.txt" &
follow_pid=$!
wait "$installer_pid"
code=$?
[ -n "$driver_pid" ] && wait "$driver_pid"
wait "$follow_pid"
follow_pid=
set -e

declare -A meaning=([0]="success" [1]="update request failed" [2]="download failed" [3]="setup failed"
  [4]="registry write failed" [5]="extraction failed" [6]="bad update response" [7]="checksum mismatch"
  [8]="unzip tool not written" [9]="files missing" [101]="another installer runs"
  [102]="stopped during the download" [103]="install task still running after a stop")
echo "result: $code (${meaning[$code]:-unknown})"
if [ "$code" -ne 0 ]; then
  echo "last lines of the product log (all of it in $log):"
  { tail -c "+$((offset + 1))" "$log" 2>/dev/null || true; } | tr -d '\r' | grep -v '^$' | tail -n 4 | cut -c 1-150 | sed 's/^/  /' || true
  if [ -s "$run/installer.out" ]; then
    echo "the installer's output:"; tail -n 4 "$run/installer.out" | cut -c 1-150 | sed 's/^/  /'
  fi
fi
if [ "$road" = installed ] && [ "$mode" = silent ]; then
  if grep -q ' NotifyStart$' "$run/progress.txt"; then
    echo "road taken: an engine ran although the client was installed and intact"
  else
    echo "road taken: completed at once without an engine (nothing downloaded)"
  fi
fi

# ---- what the install left --------------------------------------------------
section() { echo; echo "== $*"; }
install_path=$(reg_value "HKLM\\$product_key" InstallPath)
data_path=$(reg_value "HKLM\\$product_key" QuilloraneData)
section "install folder ${install_path:-(no InstallPath)}"
if [ -n "$install_path" ] && dir=$(unix_path "$install_path") && [ -d "$dir" ]; then
  (cd "$dir" && find . -type f -printf '  %P  (%s bytes)\n' | sort | head -n 30) || true
fi
if [ -n "$data_path" ] && dir=$(unix_path "$data_path\\Component") && [ -d "$dir" ]; then
  section "component setups (${data_path}\\Component)"
  for record in "$dir"/*/Setup.cmdline.txt; do
    if [ -f "$record" ]; then echo "  $(basename "$(dirname "$record")")/Setup.exe $(tail -n 1 "$record")"; fi
  done
fi
section "registry"
for rootkey in HKLM HKCU; do reg_show "$rootkey\\$product_key"; done
section "uninstall entry"
reg_show "$uninstall_key"
section "URL protocol"
reg_show 'HKCR\Quillorane'
section "shortcuts"
find "$users/$user/Desktop" "$users/Public/Desktop" "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
  -maxdepth 2 -name '*.lnk' -print 2>/dev/null | while IFS= read -r link; do
  # A link holds its target's full path as ANSI text.
  target=$(strings -a "$link" | grep -i -m 1 '^[a-z]:\\.*\.exe$' || true)
  echo "  C:/${link#"$prefix/drive_c/"} -> ${target:-?}"
done || true
section "client started"
# The installer starts the client without waiting for it: give it a moment.
record=$(client_record)
for _ in $( [ "$code" -eq 0 ] && seq 50); do
  [ "$(record_lines "$record")" -gt "$starts_before" ] && break
  sleep 0.2
done
if [ "$(record_lines "$record")" -gt "$starts_before" ]; then
  echo "  Quillorane.exe $(tail -n 1 "$record")"
else
  echo "  (not started by this run: Quillorane.exe recorded no new start)"
fi
section "telemetry the collector stored"
events=$("$collector" --dump --db "$run/collector.db" 2>/dev/null || true)
if [ -z "$events" ]; then
  echo "  (none arrived; the collector's own log: $run/collector.log)"
else
  echo "  $(wc -l <<<"$events") event(s):"
  cut -c 1-140 <<<"$events" | sed 's/^/  /' | head -n 40 || true
fi
exit "$code"
