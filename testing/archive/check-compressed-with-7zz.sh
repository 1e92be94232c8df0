#!/usr/bin/env bash
# Packs files with the product's archive layer (under Wine) and has Debian's
# 7zz test, list and extract the result, comparing every byte.
#   check-compressed-with-7zz.sh <wine-exec> <compress tool exe> <engine dll> <work dir>
set -euo pipefail
wine_exec=${1:?}; tool=${2:?}; dll=${3:?}; work=${4:?}
export LC_ALL=C.UTF-8
rm -rf "$work"; mkdir -p "$work/in" "$work/out"
printf 'plain text\n' > "$work/in/plain.txt"
: > "$work/in/empty.bin"
head -c $((2 << 20)) /dev/urandom > "$work/in/random.bin"
printf 'Unicode name\n' > "$work/in/naïve 日本.txt"

winpath() { echo "Z:${1//\//\\}"; }
"$wine_exec" "$tool" "$(winpath "$dll")" "$(winpath "$work/made.7z")" \
  "$(winpath "$work/in/plain.txt")" "$(winpath "$work/in/empty.bin")" \
  "$(winpath "$work/in/random.bin")" "$(winpath "$work/in/naïve 日本.txt")"

7zz t "$work/made.7z" -bd -bso0 -bsp0
listed=$(7zz l -slt "$work/made.7z" | sed -n 's/^Path = //p' | tail -n +2 | sort)
expected=$(printf '%s\n' empty.bin 'naïve 日本.txt' plain.txt random.bin)
if [ "$listed" != "$expected" ]; then
  echo "entries differ:"; echo "$listed"; exit 1
fi
method=$(7zz l -slt "$work/made.7z" | sed -n 's/^Method = //p' | sort -u | tr '\n' ' ')
case "$method" in *LZMA2*) ;; *) echo "unexpected method: $method"; exit 1 ;; esac
7zz x "$work/made.7z" -o"$work/out" -bd -bso0 -bsp0
diff -r "$work/in" "$work/out"
rm -rf "$work"
echo "7zz accepts the archive: $(echo "$listed" | wc -l) entries, method $method"
