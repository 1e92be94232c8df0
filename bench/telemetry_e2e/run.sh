#!/usr/bin/env bash
# Telemetry delivered end to end: the client (under Wine) reports a burst of
# events and the host build's collector receives them on 127.0.0.1:8081, the
# client's fixed port, under the collector host name the rig maps to loopback.
# Prints the hand-over rate of Report beside packing alone, and the delivery
# rate to the collector beside straight uploads of the same events, each pair
# timed the same way in the same run. Fails when the program fails or when the
# collector's rows are not exactly the events sent, each once.
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
if ! "$QL_WINE" "$exe" "$events" "Z:${work//\//\\}\\store" >"$work/result" 2>"$work/bench.err"; then
  echo "telemetry_e2e: the bench program failed" >&2
  cat "$work/bench.err" >&2
  exit 1
fi
read -r sent client_key direct_key handover packing deliver direct threads < <(tr -d '\r' <"$work/result")
kill "$pid" && wait "$pid" 2>/dev/null || true
pid=""
"$collector" --dump --db "$work/collector.db" >"$work/dump"

# Every event of both runs exactly once, under its app key, with its index.
python3 - "$work/dump" "$sent" "$client_key" "$direct_key" <<'PY'
import json, sys
dump, sent, keys = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
rows = [json.loads(line) for line in open(dump)]
problems = []
for key in keys:
    mine = [r for r in rows if r["app_key"] == key]
    indices = sorted(int(r["params"].get("index", -1)) for r in mine)
    if indices != list(range(sent)):
        problems.append(f"{key}: {len(mine)} rows, indices not exactly 0..{sent - 1}")
    if any(r["event_code"] != "installer_download_start" or r["params"].get("component") != "client" for r in mine):
        problems.append(f"{key}: a row is not the event that was sent")
    if len({r["log_id"] for r in mine}) != len(mine) or any(r["log_id"] is None for r in mine):
        problems.append(f"{key}: log ids missing or repeated")
strays = [r for r in rows if r["app_key"] not in keys]
if strays:
    problems.append(f"{len(strays)} rows of another app key")
for p in problems:
    print("telemetry_e2e: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

awk -v n="$sent" -v h="$handover" -v p="$packing" -v d="$deliver" -v s="$direct" -v t="$threads" 'BEGIN {
  printf "telemetry_e2e: %d events each way, %d socket threads, 300 ms worker cycle\n", n, t
  printf "  Report hand-over   %9.0f events/s  | yardstick PackRequest alone        %9.0f events/s  ratio %.2f\n",
         n / h, n / p, p / h
  printf "  delivered (client) %9.1f events/s  | yardstick straight TCP uploads     %9.1f events/s  ratio %.3f\n",
         n / d, n / s, s / d }'
