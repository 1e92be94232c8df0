#!/usr/bin/env bash
# Starts and stops the web API stand-in for the tests (ctest fixtures) and
# for `make run`.
#   rig.sh start DIR PORT SERVER COMPONENTS URL_BASE   (listeners on PORT, PORT+1, PORT+2)
#   rig.sh stop  DIR
# PORT serves api.quillorane.test with the test CA's certificate; PORT+1 the
# same endpoints with a certificate for another name, PORT+2 with one from an
# issuer nobody trusts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
certs=$here/certs

stop_pid() {
  local pidfile=$1/web_api.pid pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
}

case ${1:-} in
  start)
    dir=$2 port=$3 server=$4 components=$5 url_base=$6
    case $dir in /?*/*) ;; *) echo "rig: bad folder '$dir'" >&2; exit 2 ;; esac
    [ -x "$server" ] || { echo "rig: no web API service at $server (build the host build first)" >&2; exit 1; }
    stop_pid "$dir"
    mkdir -p "$dir/state"
    rm -rf "$dir/state/uploads"
    setsid "$server" --port "$port" --cert "$certs/server.pem" --key "$certs/server.key" \
      --components "$components" --url-base "$url_base" --state "$dir/state" \
      --extra "$((port + 1)):$certs/other_host.pem:$certs/other_host.key" \
      --extra "$((port + 2)):$certs/unknown_issuer.pem:$certs/unknown_issuer.key" \
      < /dev/null > "$dir/web_api.log" 2>&1 &
    echo $! > "$dir/web_api.pid"
    deadline=$((SECONDS + 10))
    until curl -fsS -o /dev/null --max-time 2 --cacert "$certs/ca.pem" \
            --resolve "api.quillorane.test:$port:127.0.0.1" "https://api.quillorane.test:$port/_rig/health"; do
      [ $SECONDS -lt $deadline ] || { echo "rig: the web API service does not answer" >&2; cat "$dir/web_api.log" >&2; exit 1; }
      sleep 0.1
    done
    ;;
  stop)
    stop_pid "$2"
    ;;
  *)
    sed -n 2,9p "$0" >&2; exit 2
    ;;
esac
