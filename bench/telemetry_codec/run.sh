#!/usr/bin/env bash
# Telemetry wire format throughput: the codec alone, the whole packing and the
# collector's unpacking; natively (host build) and as the Windows program
# under Wine. Needs QL_HOST_BUILD, QL_WIN_BUILD and QL_WINE (tools/run-bench.sh
# sets them); QL_BENCH_SECONDS sets the time per figure (default 1).
set -euo pipefail
: "${QL_HOST_BUILD:?}" "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
seconds=${QL_BENCH_SECONDS:-1}
echo "telemetry_codec: host (native Linux)"
"$QL_HOST_BUILD/bench/telemetry_codec/telemetry_codec_bench" "$seconds" | sed 's/^/  /'
echo "telemetry_codec: Windows build under Wine"
"$QL_WINE" "$QL_WIN_BUILD/bench/telemetry_codec/telemetry_codec_bench.exe" "$seconds" | tr -d '\r' | sed 's/^/  /'
