# The install benches' component set: the demo client and engine, each with a
# payload of pseudo-random and compressible data (1 GiB unpacked), made once
# and kept in the Windows build tree. Sourced by the benches' run.sh.
#   make_component_set <data folder> <demo components folder>
# leaves <data>/www (client.7z, engine.7z, components.txt, manifest.txt) and
# <data>/client.md5, <data>/engine.md5 (the payload files' sums).
make_component_set() {
  local data=$1 demo=$2 www=$1/www c
  [ -f "$www/components.txt" ] && return 0
  echo "making the 1 GiB component set in $www (once)"
  rm -rf "$data/src" "$www"; mkdir -p "$data/src/client/payload" "$data/src/engine/payload" "$www"
  (cd "$data/src/client" && 7zz x -bd -bso0 -bsp0 "$demo/client.7z")
  (cd "$data/src/engine" && 7zz x -bd -bso0 -bsp0 "$demo/engine.7z")
  head -c $((640 << 20)) /dev/urandom > "$data/src/client/payload/random.bin"
  { yes 'Quillorane component payload line with some repeated structure 0123456789' || true; } |
    head -c $((128 << 20)) > "$data/src/client/payload/text.bin"
  head -c $((192 << 20)) /dev/urandom > "$data/src/engine/payload/random.bin"
  { yes 'Quillorane engine payload 0123456789 abcdefghijklmnopqrstuvwxyz' || true; } |
    head -c $((64 << 20)) > "$data/src/engine/payload/text.bin"
  for c in client engine; do
    (cd "$data/src/$c" && 7zz a -t7z -mx=5 -bd -bso0 -bsp0 "$www/$c.7z" .)
    (cd "$data/src/$c" && md5sum payload/random.bin payload/text.bin) > "$data/$c.md5"
  done
  printf 'client.7z 1 5.0.0.1\nengine.7z 2 5.0.0.1\n' > "$www/components.txt.part"
  (cd "$www" && for f in *.7z; do echo "$f $(stat -c %s "$f") $(md5sum < "$f" | cut -d' ' -f1)"; done) \
    > "$www/manifest.txt"
  rm -rf "$data/src"
  mv "$www/components.txt.part" "$www/components.txt"
}
