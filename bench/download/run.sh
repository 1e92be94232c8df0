#!/usr/bin/env bash
# Download throughput: 1 GiB from the rig's nginx over N connections, fetched
# by the downloader (under Wine) and by aria2c in the same run, in two rows:
# every answer limited per connection by nginx, and no limit at all. In the
# unlimited row a minimal WinSock reader (under Wine, one blocking recv loop
# per connection) shows what Wine itself allows.
#
# Every program is timed the same way: the wall clock of its whole process,
# taken by this script. Wine's start (a Windows program that only prints its
# usage) is shown apart, and the downloader's own in-process time beside it.
# Each row runs its programs QL_BENCH_ROUNDS times, the order turned round
# every round, and each run starts after the same 1 GiB scratch file was
# written and deleted: the page cache's state left by the run before weighs
# more than the differences measured here. Best and range are printed.
#
# The bench fails (exit 1) when a program fails or a download is not the file.
#   env: QL_WIN_BUILD, QL_WINE (tools/run-bench.sh sets them)
#        QL_BENCH_HTTP_PORT (18380), QL_BENCH_CONNECTIONS (8), QL_BENCH_RATE (20m),
#        QL_BENCH_ROUNDS (3)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rig="$here/../../testing/http/rig.sh"
win=${QL_WIN_BUILD:?}
wine=${QL_WINE:-$win/wine-exec}
port=${QL_BENCH_HTTP_PORT:-18380}
conns=${QL_BENCH_CONNECTIONS:-8}
rate=${QL_BENCH_RATE:-20m}
rounds=${QL_BENCH_ROUNDS:-3}
size=1073741824
courier_exe="$win/bench/download/courier_bench.exe"
reader_exe="$win/bench/download/winsock_reader.exe"
for exe in "$courier_exe" "$reader_exe"; do [ -f "$exe" ] || { echo "$exe is not built"; exit 1; }; done

work="$win/bench/download/work"
www="$work/www"
mkdir -p "$work"
dl=$(mktemp -d "$work/dl.XXXXXX")
cleanup() {
  bash "$rig" nginx-stop "$work/nginx" || true
  rm -rf "$dl"
}
trap cleanup EXIT

bash "$rig" make-big "$www" big.bin "$size"
[ -f "$www/big.md5" ] && [ "$www/big.md5" -nt "$www/big.bin" ] || md5sum < "$www/big.bin" | cut -d' ' -f1 > "$www/big.md5"
expected=$(cat "$www/big.md5")
touch "$www/manifest.txt"
# nginx's output must not hold the caller's pipes open.
bash "$rig" nginx-start "$work/nginx" "$port" "$www" < /dev/null > /dev/null

winpath() { echo "Z:${1//\//\\}"; }
now_ns() { date +%s%N; }
failures=()
fail() { failures+=("$1"); echo "  FAILED: $1"; }

prime() {
  head -c "$size" /dev/zero > "$dl/prime.bin"
  rm -f "$dl/prime.bin"
}

# The download just made: its size and MD5 against the file served.
check_file() { # name file
  local got
  if [ ! -f "$2" ]; then fail "$1: no file"; return; fi
  if [ "$(stat -c %s "$2")" != "$size" ]; then fail "$1: $(stat -c %s "$2") bytes, expected $size"; return; fi
  got=$(md5sum < "$2" | cut -d' ' -f1)
  [ "$got" = "$expected" ] || fail "$1: MD5 $got, expected $expected"
}

# One timed run of one contestant; appends "<wall s> <in-process s or ->" to
# the contestant's results.
declare -A results
run_one() { # contestant url
  local name=$1 url=$2 out t0 t1 rc=0 inner=- file
  file="$dl/out.bin"
  rm -f "$file"
  prime
  t0=$(now_ns)
  case $name in
    courier-fixed)
      out=$("$wine" "$courier_exe" "$url" "$(winpath "$file")" "$conns" "$conns" | tr -d '\r') || rc=$? ;;
    courier-auto)
      out=$("$wine" "$courier_exe" "$url" "$(winpath "$file")" "$conns" | tr -d '\r') || rc=$? ;;
    aria2c)
      aria2c -q -x "$conns" -s "$conns" -k 1M --file-allocation=none --allow-overwrite=true \
        --auto-file-renaming=false -d "$dl" -o out.bin "$url" || rc=$? ;;
    reader)
      out=$("$wine" "$reader_exe" "$port" "${url#http://127.0.0.1:$port}" "$size" "$conns" "$(winpath "$file")" |
        tr -d '\r') || rc=$? ;;
    reader-discard)
      out=$("$wine" "$reader_exe" "$port" "${url#http://127.0.0.1:$port}" "$size" "$conns" - | tr -d '\r') || rc=$? ;;
  esac
  t1=$(now_ns)
  [ "$rc" = 0 ] || fail "$name exited with $rc"
  case $name in
    courier-*) set -- $out; inner=${3:-}; check_file "$name" "$file" ;;
    reader) set -- $out; inner=${2:-}; check_file "$name" "$file" ;;
    reader-discard) set -- $out; inner=${2:-}; [ "${1:-}" = "$size" ] || fail "$name: received ${1:-0} bytes" ;;
    aria2c) check_file "$name" "$file" ;;
  esac
  rm -f "$file"
  results[$name]+="$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }') $inner;"
}

label() {
  case $1 in
    courier-fixed) echo "courier, one slice per connection" ;;
    courier-auto) echo "courier, installer's slicing" ;;
    aria2c) echo "aria2c -x $conns -s $conns" ;;
    reader) echo "WinSock reader, writing the file" ;;
    reader-discard) echo "WinSock reader, discarding" ;;
  esac
}

# Best wall time of a contestant.
best() { tr ';' '\n' <<<"${results[$1]}" | awk 'NF { if (min == "" || $1 < min) min = $1 } END { print min }'; }

report() { # contestant
  awk -v name="$(label "$1")" -v size="$size" -v runs="${results[$1]}" 'BEGIN {
    n = split(runs, r, ";"); count = 0
    for (i = 1; i <= n; i++) {
      if (split(r[i], f, " ") < 1) continue
      count++
      if (count == 1 || f[1] < lo) { lo = f[1]; lo_in = f[2] }
      if (count == 1 || f[1] > hi) hi = f[1]
    }
    inner = (lo_in == "-" || lo_in == "") ? "" : sprintf("   in-process %.2f s", lo_in)
    printf "  %-34s %7.1f MiB/s (%6.1f-%6.1f)  best %6.2f s%s\n", name, size / 1048576 / lo,
      size / 1048576 / hi, size / 1048576 / lo, lo, inner }'
}

run_row() { # title url contestant...
  local title=$1 url=$2 round order i
  shift 2
  local contestants=("$@")
  echo "$title"
  for ((round = 0; round < rounds; round++)); do
    order=("${contestants[@]}")
    if ((round % 2 == 1)); then
      order=()
      for ((i = ${#contestants[@]} - 1; i >= 0; i--)); do order+=("${contestants[$i]}"); done
    fi
    for name in "${order[@]}"; do run_one "$name" "$url"; done
  done
  for name in "${contestants[@]}"; do report "$name"; done
  local ours
  ours=$(best courier-auto)
  awk -v a="$(best aria2c)" -v f="$(best courier-fixed)" -v o="$ours" 'BEGIN {
    printf "  speed ratio courier/aria2c (best wall times): %.2f installer'"'"'s slicing, %.2f one slice per connection\n",
      a / o, a / f }'
  for name in "${contestants[@]}"; do unset "results[$name]"; done
}

# Wine's start: a Windows program that prints its usage and exits.
wine_start=""
for ((round = 0; round < rounds; round++)); do
  t0=$(now_ns)
  "$wine" "$courier_exe" > /dev/null 2>&1 || true
  t1=$(now_ns)
  ms=$(((t1 - t0) / 1000000))
  if [ -z "$wine_start" ] || [ "$ms" -lt "$wine_start" ]; then wine_start=$ms; fi
done
echo "1 GiB, $conns connections, $rounds rounds in alternating order, wall clock of each whole process"
echo "Wine's start (a Windows program that only prints its usage): ${wine_start} ms, included in the Wine rows"

run_row "each answer limited to $rate/s by nginx:" "http://127.0.0.1:$port/rate/big.bin?rate=$rate" \
  courier-fixed courier-auto aria2c
run_row "no limit:" "http://127.0.0.1:$port/files/big.bin" \
  courier-fixed courier-auto aria2c reader reader-discard

if ((${#failures[@]} > 0)); then
  echo "download bench FAILED:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
