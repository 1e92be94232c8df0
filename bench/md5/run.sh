#!/usr/bin/env bash
# FileMd5Hex (under Wine) against md5sum on one 256 MiB file, best of 3 each.
# Needs QL_WIN_BUILD and QL_WINE (tools/run-bench.sh sets them).
set -euo pipefail
: "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
mib=256
bytes=$((mib * 1024 * 1024))
data="$QL_WIN_BUILD/bench/md5/md5-bench.bin"
exe="$QL_WIN_BUILD/bench/md5/md5_bench.exe"

# The program makes the file on the first run; Wine sees the Linux root as Z:.
read -r ours ours_s < <("$QL_WINE" "$exe" "Z:${data//\//\\}" "$mib" | tr -d '\r')

best=""
for _ in 1 2 3; do
  start=$(date +%s%N)
  theirs=$(md5sum "$data" | cut -d' ' -f1)
  took=$(( $(date +%s%N) - start ))
  if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
done

if [ "${ours,,}" != "$theirs" ]; then
  echo "md5: digests differ: FileMd5Hex $ours, md5sum $theirs" >&2
  exit 1
fi
awk -v bytes="$bytes" -v ours="$ours_s" -v theirs_ns="$best" 'BEGIN {
  a = bytes / ours / 1e6; b = bytes / (theirs_ns / 1e9) / 1e6;
  printf "md5: FileMd5Hex %.1f MB/s, md5sum %.1f MB/s, ratio %.2f\n", a, b, a / b }'
