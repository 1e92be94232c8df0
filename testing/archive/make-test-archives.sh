#!/usr/bin/env bash
# Makes the archives that the archive-layer tests extract, with Debian's 7zz,
# into <out-dir>: a tree with many files, nested and empty folders, empty
# files, Unicode names and a large file (kept beside them in src/ so the tests
# can compare byte for byte), encrypted ones, a damaged one, an item stored
# without a name, and files that are no archive. Reused while this script is
# unchanged.
set -euo pipefail
out=${1:?usage: make-test-archives.sh <out-dir>}
export LC_ALL=C.UTF-8
me=$(sha1sum "$0" | cut -d' ' -f1)
[ -f "$out/.made-by" ] && [ "$(cat "$out/.made-by")" = "$me" ] && exit 0

rm -rf "$out"
mkdir -p "$out/src/tree" "$out/src/small"
z() { 7zz "$@" -bd -bso0 -bsp0; }

cd "$out/src/tree"
mkdir -p nested/level1/level2/level3/level4 'empty folder' 'données/日本語'
for i in $(seq -w 1 300); do printf 'file number %s\n' "$i" > "nested/file-$i.txt"; done
for d in nested/level1 nested/level1/level2 nested/level1/level2/level3 nested/level1/level2/level3/level4; do
  printf 'deep in %s\n' "$d" > "$d/deep.txt"
done
: > empty.txt
: > nested/level1/level2/level3/level4/empty.bin
printf 'Grüße aus dem Archiv\n' > 'données/日本語/ファイル.txt'
printf 'smile\n' > 'emoji 😀.txt'
# 24 MiB: half pseudo-random (incompressible), half compressible text.
head -c $((12 << 20)) /dev/urandom > large.bin
{ yes 'quillorane archive test line' || true; } | head -c $((12 << 20)) >> large.bin
touch -d '2021-03-04 05:06:07.123456700' nested/file-001.txt
z a -t7z -mx=5 "$out/tree.7z" .

cd "$out/src/small"
printf 'first small file\n' > one.txt
printf 'second small file\n' > two.txt
chmod a-w two.txt  # stored with the read-only attribute
z a -t7z "$out/small.7z" one.txt two.txt
z a -t7z -pSecret1 "$out/encrypted.7z" one.txt two.txt
z a -t7z -pSecret1 -mhe=on "$out/encrypted-headers.7z" one.txt two.txt

# Stored (copy method) so that one flipped byte of data is a CRC failure
# rather than a broken stream.
head -c 4096 /dev/urandom > payload.bin
z a -t7z -m0=Copy "$out/crc-damaged.7z" payload.bin
offset=100  # inside the stored data: the signature header is 32 bytes
byte=$(od -An -tu1 -j $offset -N1 "$out/crc-damaged.7z" | tr -d ' ')
printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" |
  dd of="$out/crc-damaged.7z" bs=1 seek=$offset conv=notrunc status=none

printf 'item without a stored name\n' | z a -t7z -si "$out/core.7z"
printf 'this is no archive at all\n' > "$out/not-an-archive.7z"
head -c 200 "$out/tree.7z" > "$out/truncated.7z"

echo "$me" > "$out/.made-by"
