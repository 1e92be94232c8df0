#!/usr/bin/env bash
# Prints round-trip latency and throughput of the IPC channel, of ipc::Send and
# of a named pipe, for 64 B, 2 KiB and 1 MiB messages between two processes;
# exits non-zero when any message came back other than sent.
set -euo pipefail
exec "${QL_WINE:?}" "${QL_WIN_BUILD:?}/bench/ipc/ipc_bench.exe"
