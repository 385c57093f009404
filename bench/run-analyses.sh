#!/usr/bin/env bash
# Longest event-loop stall of the real window (1 ms heartbeat timer in the GUI
# thread) while a 100,000-point workbook is opened from the file tree, while
# "Y轴" draws it again on the run time and while "清除数据" clears it, for 0,
# 100, 1,000 and 10,000 stored analyses, each beside the load of the same
# workbook without analyses, and beside the figures this benchmark measured
# before the analyses were drawn in slices (Release build, this machine, one
# load each; the clear of 10,000 was given up after 1,100 s; "Y轴", which drew
# every result at once, the longest of three). Each workbook is loaded,
# switched and cleared three times: the table gives the longest stall and the
# median whole load.
# Targets at 10,000 analyses: no stall above 100 ms, and the whole load within
# 3x the load without analyses.
set -euo pipefail
build=$(realpath "${1:-build}")
cmake --build "$build" --target bench_window_analyses -j 4 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/experiment_data/sample_data" "$work/experiment_data/base_line" \
  "$work/experiment_data/analysis_state"
(cd "$work/run" && QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$build/bench/bench_window_analyses" \
  >"$work/figures" 2>/dev/null)
awk 'function median(a, b, c) { return a < b ? (b < c ? b : (a < c ? c : a)) : (a < c ? a : (b < c ? c : b)) }
$1 == "load" { n = ++loads[$2]; if ($3 > stall[$2]) stall[$2] = $3; time[$2, n] = $4; labels[$2] = $5 }
$1 == "switch" { if ($3 > switchStall[$2]) switchStall[$2] = $3 }
$1 == "clear" { if ($3 > clearStall[$2]) clearStall[$2] = $3 }
END {
  split("38 164 2553 410612", stallBefore, " ")
  split("266 535 2964 411357", wholeBefore, " ")
  split("3.2 6.6 1354 >1100000", clearBefore, " ")
  split("33 303 2226 18577", switchBefore, " ")
  n = split("0 100 1000 10000", counts, " ")
  for (i = 1; i <= n; i++) whole[counts[i]] = median(time[counts[i], 1], time[counts[i], 2], time[counts[i], 3])
  printf "%9s %7s | %11s %9s %8s | %11s %9s %8s | %11s %10s | %11s %9s\n", "analyses", "labels", "load stall",
    "before", "x none", "whole load", "before", "x none", "clear stall", "before", "Y stall", "before"
  for (i = 1; i <= n; i++) {
    c = counts[i]
    printf "%9d %7d | %8.1f ms %9s %8.2f | %8.1f ms %9s %8.2f | %8.1f ms %10s | %8.1f ms %9s\n", c, labels[c],
      stall[c], stallBefore[i], stall[c] / stall[0], whole[c], wholeBefore[i], whole[c] / whole[0], clearStall[c],
      clearBefore[i], switchStall[c], switchBefore[i]
  }
  big = counts[n]
  printf "at %d: load stall %s, clear stall %s, Y stall %s (target <= 100 ms); whole load %.2fx without analyses %s\n",
    big, (stall[big] <= 100 ? "met" : "NOT met"), (clearStall[big] <= 100 ? "met" : "NOT met"),
    (switchStall[big] <= 100 ? "met" : "NOT met"), whole[big] / whole[0],
    (whole[big] <= 3 * whole[0] ? "(target <= 3x: met)" : "(target <= 3x: NOT met)")
}' "$work/figures"
