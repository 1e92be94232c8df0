#!/usr/bin/env bash
# The installer's start to the first painted frame of its main window, under
# Wine on Xvfb, beside the same start of a plain Win32 window (first_paint.exe)
# and Wine's own start of a program that ends at once. All three are timed the
# same way: the wall clock from the launch by this script to the moment the
# program says its frame is painted (the installer in its product log, the
# plain window on its output), median of QL_BENCH_ROUNDS (5) runs each.
# The installer runs unstamped, so it shows its main window's start card, and
# is ended once its frame is there. It fails (exit 1) when a frame never comes.
#   env: QL_WIN_BUILD, QL_WINE (tools/run-bench.sh sets them)
set -euo pipefail
: "${QL_WIN_BUILD:?}" "${QL_WINE:?}"
if [ -z "${QL_BENCH_IN_XVFB:-}" ]; then
  exec env QL_BENCH_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
rounds=${QL_BENCH_ROUNDS:-5}
installer=$QL_WIN_BUILD/src/zephris_install/QuilloraneInstaller.exe
probe=$QL_WIN_BUILD/bench/installer_window/first_paint.exe
for f in "$installer" "$probe"; do [ -f "$f" ] || { echo "window start bench: $f is not built"; exit 1; }; done

temp=$("$QL_WINE" cmd.exe /c echo %TEMP% 2>/dev/null | tr -d '\r')
log=$(realpath -m "$("$QL_WINE" winepath -u "$temp" 2>/dev/null | tr -d '\r')")/Orvalis/Quillorane/zephris_install.log
now_ms() { date +%s%3N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
failures=()

wine_start=() plain=() ours=() main_to_frame=()
for ((i = 0; i < rounds; i++)); do
  t0=$(now_ms)
  "$QL_WINE" "$probe" --noop >/dev/null 2>&1
  wine_start+=($(($(now_ms) - t0)))

  t0=$(now_ms)
  painted=$("$QL_WINE" "$probe" 2>/dev/null | tr -d '\r' | head -n 1)
  if [[ $painted =~ ^[0-9]+$ ]]; then plain+=($((painted - t0))); else failures+=("the plain window painted nothing"); fi

  offset=$([ -f "$log" ] && stat -c %s "$log" || echo 0)
  t0=$(now_ms)
  "$QL_WINE" "$installer" --disable-self-update 1 >/dev/null 2>&1 &
  pid=$!
  line=
  for _ in $(seq 600); do
    line=$(tail -c "+$((offset + 1))" "$log" 2>/dev/null | tr -d '\r' |
      grep -m 1 'first frame of the zephris_install window painted' || true)
    [ -n "$line" ] && break
    sleep 0.05
  done
  started=$(tail -c "+$((offset + 1))" "$log" 2>/dev/null | tr -d '\r' | grep -m 1 ' log start' || true)
  "$QL_WINE" taskkill /f /im QuilloraneInstaller.exe >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  if [ -z "$line" ] || [ -z "$started" ]; then failures+=("round $i: no first frame of the main window"); continue; fi
  # "[MM-DD HH:MM:SS.mmm]" in the local time zone, as this script's clock.
  stamp_ms() { local s=${1:1:18}; date -d "$(date +%Y)-${s:0:5} ${s:6}" +%s%3N; }
  frame=$(stamp_ms "$line")
  ours+=($((frame - t0)))
  main_to_frame+=($((frame - $(stamp_ms "$started"))))
done

if ((${#ours[@]} > 0 && ${#plain[@]} > 0)); then
  w=$(printf '%s\n' "${wine_start[@]}" | median)
  p=$(printf '%s\n' "${plain[@]}" | median)
  o=$(printf '%s\n' "${ours[@]}" | median)
  m=$(printf '%s\n' "${main_to_frame[@]}" | median)
  echo "window start under Wine on Xvfb, median of $rounds (ms, launch to first painted frame)"
  printf "  %-58s %6d ms\n" "Wine's own start (a program that ends at once)" "$w"
  printf "  %-58s %6d ms\n" "plain Win32 window, launch to its first paint" "$p"
  printf "  %-58s %6d ms\n" "QuilloraneInstaller main window, launch to first frame" "$o"
  printf "  %-58s %6d ms  (aim < 300)\n" "  the same without Wine's own start" "$((o - w))"
  printf "  %-58s %6d ms\n" "  from the product log's start line to the first frame" "$m"
fi
if ((${#failures[@]} > 0)); then
  echo "window start bench FAILED:"; printf '  %s\n' "${failures[@]}"; exit 1
fi
