#!/usr/bin/env bash
# The HTTP test rig: test files, nginx and the fault-injecting server, each on
# a fixed loopback port, started and stopped by ctest fixtures (and by the
# download benchmark).
#
#   rig.sh make-files  WWW                     test files and WWW/manifest.txt
#   rig.sh make-big    WWW NAME BYTES          one more file (for benchmarks)
#   rig.sh nginx-start DIR PORT WWW            nginx with its config in DIR
#   rig.sh nginx-stop  DIR
#   rig.sh fault-start DIR PORT WWW SERVER     the fault server binary SERVER
#   rig.sh fault-stop  DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# name and size of every test file; their MD5 goes to the manifest.
files=(
  "empty.bin 0"
  "tiny.bin 1000"
  "small.bin 1048576"
  "medium.bin 6291456"
  "large.bin 26214400"
)

wait_http() { # url seconds
  local url=$1 deadline=$((SECONDS + $2))
  until curl -fsS -o /dev/null --max-time 2 "$url" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || { echo "rig: $url does not answer" >&2; return 1; }
    sleep 0.1
  done
}

stop_pid() { # pidfile
  local pidfile=$1 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
}

make_file() { # www name size
  local path=$1/$2
  if [ ! -f "$path" ] || [ "$(stat -c %s "$path")" != "$3" ]; then
    head -c "$3" /dev/urandom > "$path.part" && mv "$path.part" "$path"
  fi
}

# Every folder argument must be absolute: an empty CMake variable must never
# turn into a folder at the root.
for arg in "${@:2}"; do
  case $arg in
    /?*/*) ;;
    [0-9]*) ;;
    *) [ "$1" = make-big ] && [[ $arg =~ ^[A-Za-z0-9._-]+$ ]] || { echo "rig: bad argument '$arg'" >&2; exit 2; } ;;
  esac
done

case ${1:-} in
  make-files)
    www=$2; mkdir -p "$www"
    exec 9>"$www/.lock"; flock 9
    [ -f "$www/manifest.txt" ] && exit 0
    : > "$www/manifest.part"
    for entry in "${files[@]}"; do
      set -- $entry
      make_file "$www" "$1" "$2"
      echo "$1 $2 $(md5sum < "$www/$1" | cut -d' ' -f1)" >> "$www/manifest.part"
    done
    mv "$www/manifest.part" "$www/manifest.txt"
    ;;
  make-big)
    mkdir -p "$2"; make_file "$2" "$3" "$4"
    ;;
  nginx-start)
    dir=$2 port=$3 www=$4
    stop_pid "$dir/nginx.pid"
    mkdir -p "$dir/tmp"
    sed -e "s#@DIR@#$dir#g" -e "s#@PORT@#$port#g" -e "s#@WWW@#$www#g" "$here/nginx.conf.in" > "$dir/nginx.conf"
    nginx -p "$dir" -e "$dir/error.log" -c "$dir/nginx.conf" -g 'daemon on;'
    wait_http "http://127.0.0.1:$port/files/manifest.txt" 10
    ;;
  nginx-stop)
    stop_pid "$2/nginx.pid"
    ;;
  fault-start)
    dir=$2 port=$3 www=$4 server=$5
    [ -x "$server" ] || { echo "rig: no fault server at $server (build the host build first)" >&2; exit 1; }
    stop_pid "$dir/fault.pid"
    mkdir -p "$dir"
    setsid "$server" --port "$port" --root "$www" --idle-exit 900 < /dev/null > "$dir/fault.log" 2>&1 &
    echo $! > "$dir/fault.pid"
    wait_http "http://127.0.0.1:$port/health" 10
    ;;
  fault-stop)
    stop_pid "$2/fault.pid"
    ;;
  *)
    sed -n '2,12p' "$0" >&2; exit 2
    ;;
esac
