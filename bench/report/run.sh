#!/usr/bin/env bash
# The installer's reporter: events per second of a burst through the Reporter
# into the telemetry store, beside the same burst reported straight to the
# client; and the main thread's time in InitReport, beside the bare client
# start with the same configuration, with the time until the Reporter's
# worker has started the client and a step-by-step breakdown of that start
# (each step's first run in a process of its own). Each pair is timed the same way in the
# same run; the start-up figures are the median of five processes each.
#   env: QL_WIN_BUILD, QL_WINE (tools/run-bench.sh sets them)
#        QL_BENCH_REPORT_EVENTS (default 10000)
set -euo pipefail
: "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
events=${QL_BENCH_REPORT_EVENTS:-10000}
exe="$QL_WIN_BUILD/bench/report/report_bench.exe"
work=$(mktemp -d /tmp/ql-report-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! "$QL_WINE" "$exe" burst "$events" "Z:${work//\//\\}" >"$work/burst" 2>"$work/err"; then
  echo "report: the burst failed" >&2; cat "$work/err" >&2; exit 1
fi
read -r n reporter straight reporter_hand straight_hand < <(tr -d '\r' <"$work/burst")

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for i in 1 2 3 4 5; do
  "$QL_WINE" "$exe" init 2>/dev/null | tr -d '\r' | awk '$1 == "init" { print $2, $3, $4 }' >>"$work/init"
  "$QL_WINE" "$exe" init client 2>/dev/null | tr -d '\r' | awk '$1 == "client" { print $2 }' >>"$work/client"
  "$QL_WINE" "$exe" breakdown 2>/dev/null | tr -d '\r' >>"$work/steps"
done
[ "$(wc -l <"$work/init")" -eq 5 ] && [ "$(wc -l <"$work/client")" -eq 5 ] || { echo "report: a start-up run failed" >&2; exit 1; }
init=$(cut -d' ' -f1 <"$work/init" | median)
ready=$(cut -d' ' -f2 <"$work/init" | median)
device_id=$(cut -d' ' -f3 <"$work/init" | median)
client=$(median <"$work/client")
steps=""
for step in config tuvo_id vireon_id common_rest getters init_sdk reporter_init; do
  steps+=" $step $(awk -v s="$step" '$1 == s { print $2 }' "$work/steps" | median)"
done

awk -v n="$n" -v r="$reporter" -v s="$straight" -v rh="$reporter_hand" -v sh="$straight_hand" \
    -v i="$init" -v c="$client" -v ready="$ready" -v id="$device_id" -v steps="$steps" 'BEGIN {
  printf "report: burst of %d events into the store, installer getters, uploads off\n", n
  printf "  through the Reporter %9.0f events/s  | yardstick straight to the client %9.0f events/s  ratio %.2f\n",
         n / r, n / s, s / r
  printf "  hand-over (caller)   %9.0f events/s  | yardstick straight to the client %9.0f events/s\n", n / rh, n / sh
  printf "  InitReport on the main thread %7.1f ms (aim < 20) | yardstick bare client start %7.1f ms  added %.1f ms\n",
         i, c, i - c
  printf "  telemetry start-up ready on the worker after %7.1f ms | main thread holds the device id after %7.1f ms\n",
         ready, id
  n = split(steps, step, " ")
  printf "  start-up steps, first runs (ms):"
  for (k = 1; k < n; k += 2) printf " %s %.1f", step[k], step[k + 1]
  printf "\n" }'
