#!/usr/bin/env bash
# Extraction of a 1 GiB 7z (half pseudo-random, half compressible data, made
# once by 7zz and kept in the Windows build tree with the MD5 of its files)
# by the archive layer under Wine, next to `7zz x -mmt=1` of the same archive:
# one decoder thread on both sides, as the layer sets the engine.
#
# Both are timed the same way, the wall clock of the whole process taken by
# this script; Wine's start (a Windows program that only prints its usage) is
# shown apart, and the layer's own in-process time beside it. The programs run
# QL_BENCH_ROUNDS times (3), the order turned round every round, each run
# after the same 1 GiB scratch file was written and deleted (the page cache's
# state left by the run before weighs more than the difference measured).
# Every extraction is checked file by file against the MD5 of the sources;
# the bench fails (exit 1) on a wrong or missing file or a failed program.
set -euo pipefail
win=${QL_WIN_BUILD:?}; wine=${QL_WINE:?}
rounds=${QL_BENCH_ROUNDS:-3}
bench=$win/bench/extract/extract_bench.exe
dll=$(sed -n 's/^QL_SEVENZIP_DLL:FILEPATH=//p' "$win/CMakeCache.txt")
[ -f "$bench" ] || { echo "extract_bench.exe is not built"; exit 1; }
data=$win/bench-data/extract
archive=$data/gib.7z
sums=$data/gib.md5

if [ ! -f "$archive" ] || [ ! -f "$sums" ]; then
  echo "making $archive (once)"
  rm -rf "$data"; mkdir -p "$data/src"
  head -c $((512 << 20)) /dev/urandom > "$data/src/random.bin"
  { yes 'Quillorane component payload line with some repeated structure 0123456789' || true; } |
    head -c $((512 << 20)) > "$data/src/text.bin"
  (cd "$data/src" && 7zz a -t7z -mx=5 -bd -bso0 -bsp0 "$archive" random.bin text.bin)
  (cd "$data/src" && md5sum random.bin text.bin) > "$sums.part"
  mv "$sums.part" "$sums"
  rm -rf "$data/src"
fi

failures=()
fail() { failures+=("$1"); echo "  FAILED: $1"; }
winpath() { echo "Z:${1//\//\\}"; }
now_ns() { date +%s%N; }
prime() {
  head -c $((1 << 30)) /dev/zero > "$data/prime.bin"
  rm -f "$data/prime.bin"
}

# The extracted folder holds exactly the archive's files with their MD5.
check_output() { # name folder
  local files
  files=$(cd "$2" && find . -type f | sort | tr '\n' ' ')
  [ "$files" = "./random.bin ./text.bin " ] || { fail "$1: extracted files: $files"; return; }
  (cd "$2" && md5sum --quiet -c "$sums" > /dev/null 2>&1) || fail "$1: extracted content differs from the sources"
}

declare -A wall inner
run_one() { # 7zz | layer
  local out=$data/out-$1 t0 t1 rc=0 line=""
  rm -rf "$out"; mkdir -p "$out"
  prime
  sync
  t0=$(now_ns)
  if [ "$1" = 7zz ]; then
    7zz x -mmt=1 -y -bd -bso0 -bsp0 -o"$out" "$archive" || rc=$?
  else
    line=$("$wine" "$bench" "$(winpath "$dll")" "$(winpath "$archive")" "$(winpath "$out")" | tr -d '\r') || rc=$?
  fi
  t1=$(now_ns)
  [ "$rc" = 0 ] || fail "$1 exited with $rc"
  check_output "$1" "$out"
  rm -rf "$out"
  wall[$1]+="$(((t1 - t0) / 1000000)) "
  [ -z "$line" ] || inner[$1]+="${line#extract_ms } "
}

wine_start=""
for ((round = 0; round < rounds; round++)); do
  t0=$(now_ns)
  "$wine" "$bench" > /dev/null 2>&1 || true
  t1=$(now_ns)
  ms=$(((t1 - t0) / 1000000))
  if [ -z "$wine_start" ] || [ "$ms" -lt "$wine_start" ]; then wine_start=$ms; fi
done

for ((round = 0; round < rounds; round++)); do
  if ((round % 2 == 0)); then run_one 7zz; run_one layer; else run_one layer; run_one 7zz; fi
done

stats() { tr ' ' '\n' <<<"$1" | awk 'NF { n++; if (n == 1 || $1 < lo) lo = $1; if (n == 1 || $1 > hi) hi = $1 }
  END { printf "%d %d\n", lo, hi }'; }
read -r z_lo z_hi < <(stats "${wall[7zz]}")
read -r l_lo l_hi < <(stats "${wall[layer]}")
read -r i_lo i_hi < <(stats "${inner[layer]:-0}")
echo "1 GiB 7z, one decoder thread on both sides, $rounds rounds in alternating order (best, range in ms)"
echo "Wine's start (a Windows program that only prints its usage): ${wine_start} ms"
printf "  %-44s %6d ms  (%d-%d)\n" "7zz x -mmt=1, whole process" "$z_lo" "$z_lo" "$z_hi"
printf "  %-44s %6d ms  (%d-%d)\n" "ArchiveExtractor under Wine, whole process" "$l_lo" "$l_lo" "$l_hi"
printf "  %-44s %6d ms  (%d-%d)\n" "ArchiveExtractor, in-process (no Wine start)" "$i_lo" "$i_lo" "$i_hi"
awk -v z="$z_lo" -v l="$l_lo" -v i="$i_lo" 'BEGIN {
  printf "  speed ratio 7zz/layer: %.2f whole process, %.2f in-process (aim >= 0.95)\n", z / l, z / i }'

if ((${#failures[@]} > 0)); then
  echo "extract bench FAILED:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
