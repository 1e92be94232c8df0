#!/usr/bin/env bash
# Telemetry delivered end to end: the client (under Wine) reports a burst of
# events and the host build's collector receives them on 127.0.0.1:8081, the
# client's fixed port, under the collector host name the rig maps to loopback.
# Prints the hand-over rate of Report and the delivery rate to the collector.
#   env: QL_HOST_BUILD, QL_WIN_BUILD, QL_WINE (tools/run-bench.sh sets them)
#        QL_BENCH_EVENTS (default 200)
set -euo pipefail
: "${QL_HOST_BUILD:?}" "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
events=${QL_BENCH_EVENTS:-200}
collector="$QL_HOST_BUILD/vireon_sdk/collector/vireon_collector"
exe="$QL_WIN_BUILD/bench/telemetry_e2e/telemetry_e2e_bench.exe"

if ! getent hosts report.quillorane.test | grep -q '^127\.'; then
  echo "telemetry_e2e: report.quillorane.test must resolve to 127.0.0.1 (hosts file)" >&2
  exit 1
fi

work=$(mktemp -d /tmp/ql-telemetry-bench.XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$collector" --db "$work/collector.db" --port 8081 --port-file "$work/port" --exit-after-ms 600000 \
  >"$work/collector.log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.05; done
[ -f "$work/port" ] || { echo "telemetry_e2e: the collector did not start" >&2; cat "$work/collector.log" >&2; exit 1; }

mkdir -p "$work/store"
read -r sent handover deliver threads < <("$QL_WINE" "$exe" "$events" "Z:${work//\//\\}\\store" | tr -d '\r')
kill "$pid" && wait "$pid" 2>/dev/null || true
pid=""
received=$("$collector" --dump --db "$work/collector.db" | wc -l)
if [ "$received" -ne "$sent" ]; then
  echo "telemetry_e2e: the collector holds $received of $sent events" >&2
  exit 1
fi
awk -v n="$sent" -v h="$handover" -v d="$deliver" -v t="$threads" 'BEGIN {
  printf "telemetry_e2e: %d events, Report hand-over %.0f events/s, delivered %.1f events/s end to end (%d socket threads, 300 ms worker cycle)\n",
         n, n / h, n / d, t }'
