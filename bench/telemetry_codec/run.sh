#!/usr/bin/env bash
# Telemetry wire format throughput: the codec alone, the whole packing and the
# collector's unpacking, each beside a yardstick measured in the same run;
# natively (host build) and as the Windows program under Wine. The program
# checks every result against what was encoded and exits non-zero on a wrong
# one, which fails this script. Needs QL_HOST_BUILD, QL_WIN_BUILD and QL_WINE
# (tools/run-bench.sh sets them); QL_BENCH_SECONDS sets the time per figure
# (default 1).
set -euo pipefail
: "${QL_HOST_BUILD:?}" "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
seconds=${QL_BENCH_SECONDS:-1}
echo "telemetry_codec: host (native Linux)"
"$QL_HOST_BUILD/bench/telemetry_codec/telemetry_codec_bench" "$seconds" | sed 's/^/  /'
echo "telemetry_codec: Windows build under Wine"
"$QL_WINE" "$QL_WIN_BUILD/bench/telemetry_codec/telemetry_codec_bench.exe" "$seconds" | tr -d '\r' | sed 's/^/  /'
