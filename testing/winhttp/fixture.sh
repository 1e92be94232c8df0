#!/usr/bin/env bash
# Starts or stops the loopback server of the WinHTTP client tests: HTTP on
# <port> and, when openssl can make a self-signed certificate (issued for
# another name), HTTPS on <port> + 45.
#   fixture.sh start|stop <port> <state dir>
set -euo pipefail
action=${1:?}; port=${2:?}; state=${3:?}
pidfile="$state/server-$port.pid"
mkdir -p "$state"
# Debian's own interpreter starts at once; a version manager's shim may not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

stop() {
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$pidfile"
  fi
}

case "$action" in
  start)
    stop
    tls=()
    if command -v openssl >/dev/null &&
       openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=not-this-host.example" \
         -keyout "$state/tls.pem" -out "$state/tls.crt" >/dev/null 2>&1; then
      cat "$state/tls.crt" >> "$state/tls.pem"
      tls=(--tls-port $((port + 45)) --cert "$state/tls.pem")
    fi
    "$python" "$(dirname "$0")/server.py" --port "$port" "${tls[@]}" >"$state/server-$port.log" 2>&1 &
    echo $! > "$pidfile"
    for _ in $(seq 100); do
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        exit 0
      fi
      kill -0 "$(cat "$pidfile")" 2>/dev/null || { cat "$state/server-$port.log"; exit 1; }
      sleep 0.1
    done
    echo "server on port $port did not start"; exit 1 ;;
  stop) stop ;;
  *) echo "usage: fixture.sh start|stop <port> <state dir>"; exit 2 ;;
esac
