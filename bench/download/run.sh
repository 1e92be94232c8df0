#!/usr/bin/env bash
# Download throughput: 1 GiB from the rig's nginx, each answer limited per
# connection, fetched by the downloader (under Wine), by aria2c with the same
# number of connections and by curl with one stream.
#   env: QL_WIN_BUILD, QL_WINE (tools/run-bench.sh sets them)
#        QL_BENCH_HTTP_PORT (default 18380), QL_BENCH_CONNECTIONS (4), QL_BENCH_RATE (16m)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rig="$here/../../testing/http/rig.sh"
win=${QL_WIN_BUILD:?}
wine=${QL_WINE:-$win/wine-exec}
port=${QL_BENCH_HTTP_PORT:-18380}
conns=${QL_BENCH_CONNECTIONS:-4}
rate=${QL_BENCH_RATE:-16m}
size=1073741824

work="$win/bench/download/work"
www="$work/www"
dl=$(mktemp -d "$work/dl.XXXXXX" 2>/dev/null || { mkdir -p "$work"; mktemp -d "$work/dl.XXXXXX"; })
cleanup() {
  bash "$rig" nginx-stop "$work/nginx" || true
  rm -rf "$dl"
}
trap cleanup EXIT

bash "$rig" make-big "$www" big.bin "$size"
[ -f "$www/big.md5" ] && [ "$www/big.md5" -nt "$www/big.bin" ] || md5sum < "$www/big.bin" | cut -d' ' -f1 > "$www/big.md5"
expected=$(cat "$www/big.md5")
touch "$www/manifest.txt"
bash "$rig" nginx-start "$work/nginx" "$port" "$www"
url="http://127.0.0.1:$port/rate/big.bin?rate=$rate"

now() { date +%s.%N; }
mibps() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.1f", b / 1048576 / s }'; }
check() { # file
  [ "$(md5sum < "$1" | cut -d' ' -f1)" = "$expected" ] && echo ok || echo "WRONG MD5"
}

echo "1 GiB, $conns connections, each answer limited to $rate/s by nginx"

read -r rc bytes secs < <("$wine" "$win/bench/download/courier_bench.exe" "$url" "Z:$dl/ours.bin" "$conns" "$conns" | tr -d '\r')
ours=$(mibps "$bytes" "$secs")
printf "  %-34s %8s MiB/s  %7.2f s  %s\n" "courier, one slice per connection" "$ours" "$secs" "$(check "$dl/ours.bin")"
rm -f "$dl/ours.bin"

read -r rc2 bytes2 secs2 < <("$wine" "$win/bench/download/courier_bench.exe" "$url" "Z:$dl/auto.bin" "$conns" | tr -d '\r')
auto=$(mibps "$bytes2" "$secs2")
printf "  %-34s %8s MiB/s  %7.2f s  %s\n" "courier, installer's slicing" "$auto" "$secs2" "$(check "$dl/auto.bin")"
rm -f "$dl/auto.bin"

t0=$(now)
aria2c -q -x "$conns" -s "$conns" -k 1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false \
  -d "$dl" -o aria.bin "$url"
t1=$(now)
asecs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
aria=$(mibps "$(stat -c %s "$dl/aria.bin")" "$asecs")
printf "  %-34s %8s MiB/s  %7.2f s  %s\n" "aria2c -x $conns -s $conns" "$aria" "$asecs" "$(check "$dl/aria.bin")"
rm -f "$dl/aria.bin"

# One stream at the per-connection limit takes $conns times as long; it is
# measured over its first 20 s.
read -r cbytes csecs < <(curl -s -o "$dl/curl.bin" --max-time 20 -w '%{size_download} %{time_total}\n' "$url" || true)
printf "  %-34s %8s MiB/s  %7.2f s  (%s MiB)\n" "curl, one stream" "$(mibps "$cbytes" "$csecs")" "$csecs" \
  "$((cbytes / 1048576))"

echo "  ratio courier/aria2c: $(awk -v a="$ours" -v b="$aria" 'BEGIN { printf "%.2f", a / b }')" \
  "(installer's slicing: $(awk -v a="$auto" -v b="$aria" 'BEGIN { printf "%.2f", a / b }'))"
[ "$rc" = 0 ] && [ "$rc2" = 0 ]
