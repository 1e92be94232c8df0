#!/usr/bin/env bash
# Makes the component archives of the engine tests with 7zz, into the HTTP
# rig's folder where nginx and the fault server serve them.
#   make-archives.sh WWW SETUP_EXE WORK
# engine-test-client.7z        QuilloraneLauncher.exe, Uninstall.exe, resources/icon/apk.ico, Setup.exe
# engine-test-engine.7z        Setup.exe
# engine-test-no-uninstall.7z  the client without Uninstall.exe
# engine-test-setup-fails.7z   the client whose Setup.exe exits with 7
# engine-test-big.7z           the client with 2 MiB of random bytes, stored (for slow downloads)
set -euo pipefail
www=$1 setup=$2 work=$3
rm -rf "$work"
mkdir -p "$work" "$www"

client() {  # folder, with Uninstall.exe (1/0)
  mkdir -p "$1/resources/icon"
  printf 'MZ launcher' > "$1/QuilloraneLauncher.exe"
  [ "$2" = 1 ] && printf 'MZ uninstall' > "$1/Uninstall.exe"
  printf 'icon' > "$1/resources/icon/apk.ico"
  cp "$setup" "$1/Setup.exe"
}

pack() {  # name, folder, extra 7zz options
  local name=$1 folder=$2
  shift 2
  rm -f "$www/$name.7z"
  (cd "$folder" && 7zz a -bd -y "$@" "$www/$name.7z.part" . > /dev/null)
  mv "$www/$name.7z.part" "$www/$name.7z"
}

client "$work/client" 1 && pack engine-test-client "$work/client"
mkdir -p "$work/engine" && cp "$setup" "$work/engine/Setup.exe" && pack engine-test-engine "$work/engine"
client "$work/no-uninstall" 0 && pack engine-test-no-uninstall "$work/no-uninstall"
client "$work/setup-fails" 1 && printf '7' > "$work/setup-fails/exit_code.txt" && pack engine-test-setup-fails "$work/setup-fails"
client "$work/big" 1 && head -c 2097152 /dev/urandom > "$work/big/payload.bin" && pack engine-test-big "$work/big" -mx0
