#!/usr/bin/env bash
# The small install drive of the disk-full case: a tmpfs of 16 MiB mapped as
# drive R: of the test Wine prefix.
#   resume-disk.sh mount   PREFIX FOLDER
#   resume-disk.sh unmount PREFIX FOLDER
# Where the machine refuses the mount, `mount` says so on standard error and
# leaves FOLDER/REFUSED with its words: the disk-full case then reports itself
# skipped instead of pretending a small disk.
set -uo pipefail
action=${1:?} prefix=${2:?} folder=${3:?}
link=$prefix/dosdevices/r:
case $action in
  mount)
    mkdir -p "$folder"
    mountpoint -q "$folder" && umount "$folder"
    rm -f "$folder/REFUSED"
    if ! out=$(mount -t tmpfs -o size=16m quillorane-small-disk "$folder" 2>&1); then
      echo "resume-disk: mount -t tmpfs refused here: $out" >&2
      echo "$out" > "$folder/REFUSED"
      exit 0
    fi
    [ -L "$link" ] && rm -f "$link"
    if [ -e "$link" ]; then echo "resume-disk: $link is taken by something else" >&2; umount "$folder"; exit 1; fi
    ln -s "$folder" "$link"
    ;;
  unmount)
    [ -L "$link" ] && [ "$(readlink "$link")" = "$folder" ] && rm -f "$link"
    if mountpoint -q "$folder"; then umount "$folder" || umount -l "$folder"; fi
    rm -f "$folder/REFUSED"
    ;;
  *) sed -n 2,8p "$0" >&2; exit 2 ;;
esac
