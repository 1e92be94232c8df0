#!/usr/bin/env bash
# Extraction of a 1 GiB 7z (half pseudo-random, half compressible data, made
# once by 7zz and kept in the Windows build tree) by the archive layer under
# Wine, next to `7zz x` of the same archive. One run each; prints both times
# and the layer's speed as a share of 7zz's.
set -euo pipefail
win=${QL_WIN_BUILD:?}; wine=${QL_WINE:?}
bench=$win/bench/extract/extract_bench.exe
dll=$(sed -n 's/^QL_SEVENZIP_DLL:FILEPATH=//p' "$win/CMakeCache.txt")
[ -f "$bench" ] || { echo "extract_bench.exe is not built"; exit 1; }
data=$win/bench-data/extract
archive=$data/gib.7z

if [ ! -f "$archive" ]; then
  echo "making $archive (once)"
  rm -rf "$data"; mkdir -p "$data/src"
  head -c $((512 << 20)) /dev/urandom > "$data/src/random.bin"
  { yes 'Quillorane component payload line with some repeated structure 0123456789' || true; } |
    head -c $((512 << 20)) > "$data/src/text.bin"
  (cd "$data/src" && 7zz a -t7z -mx=5 -bd -bso0 -bsp0 "$archive" random.bin text.bin)
  rm -rf "$data/src"
fi

out7=$data/out-7zz; outl=$data/out-layer
rm -rf "$out7" "$outl"; mkdir -p "$out7" "$outl"
sync
t0=$(date +%s%N)
7zz x -y -bd -bso0 -bsp0 -o"$out7" "$archive"
t1=$(date +%s%N)
ms_7zz=$(( (t1 - t0) / 1000000 ))
rm -rf "$out7"
sync

winpath() { echo "Z:${1//\//\\}"; }
line=$("$wine" "$bench" "$(winpath "$dll")" "$(winpath "$archive")" "$(winpath "$outl")")
ms_layer=${line#extract_ms }
size=$(find "$outl" -type f -printf "%s\n" | awk "{ s += \$1 } END { print s }")
rm -rf "$outl"
[ "$size" -eq $((1 << 30)) ] || { echo "extracted $size bytes, expected $((1 << 30))"; exit 1; }

echo "7zz x:            ${ms_7zz} ms"
echo "ArchiveExtractor: ${ms_layer} ms (under Wine, in-process time)"
awk -v a="$ms_7zz" -v b="$ms_layer" 'BEGIN { printf "speed ratio (7zz time / layer time): %.3f (aim >= 0.95)\n", a / b }'
