#!/usr/bin/env bash
# Makes the large client component of the kill-and-resume and disk-full cases
# with 7zz, into the HTTP rig's folder where the fault server serves it.
#   make-resume-archive.sh WWW DEMO_CLIENT_DIR WORK
# resume-client.7z: the demo client's files and payload/part0..part7 (1 MiB
# of random bytes each), stored so that the archive is as large as its files.
# WORK/client keeps the files the archive was made from, for the byte-by-byte
# comparison of what the installer unpacked.
set -euo pipefail
www=$1 demo=$2 work=$3
rm -rf "$work"
mkdir -p "$work/client/payload" "$www"
cp -r "$demo"/. "$work/client/"
for i in $(seq -w 0 7); do
  head -c $((1024 * 1024)) /dev/urandom > "$work/client/payload/part$i"
done
rm -f "$www/resume-client.7z.part"
(cd "$work/client" && 7zz a -t7z -mx0 -bd -y "$www/resume-client.7z.part" . > /dev/null)
mv "$www/resume-client.7z.part" "$www/resume-client.7z"
