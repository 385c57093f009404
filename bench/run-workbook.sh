#!/usr/bin/env bash
# Workbook benchmark: a run of 100,000 points in 3 stages written and read by
# XlsxHandler and by openpyxl, written by a bare libxlsxwriter loop, and read
# by the read floor (the same unzip and a SAX parse that does nothing), all
# in this one run. Targets: our read <= 1.3x the floor, our write <= 1.1x the
# bare loop, openpyxl's write+read >= 7x ours.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --build "$build" --target bench_workbook -j4 >/dev/null
# Run in the scratch folder: the program's log file lands in the working directory.
bench=$(cd "$build" && pwd)/bench/bench_workbook
(cd "$work" && "$bench" "$work" 5 >"$work/times" 2>/dev/null)
/usr/bin/python3 "$here/workbook_openpyxl.py" "$work/openpyxl.xlsx" >>"$work/times"
awk '{ t[$1] = $2 }
END {
  printf "%-22s %10s\n", "measure", "ms"
  printf "%-22s %10.1f\n", "ours write", t["ours_write"]
  printf "%-22s %10.1f\n", "bare libxlsxwriter", t["bare_write"]
  printf "%-22s %10.1f\n", "ours read", t["ours_read"]
  printf "%-22s %10.1f\n", "read floor", t["read_floor"]
  printf "%-22s %10.1f\n", "openpyxl write", t["openpyxl_write"]
  printf "%-22s %10.1f\n", "openpyxl read", t["openpyxl_read"]
  ours = t["ours_write"] + t["ours_read"]; py = t["openpyxl_write"] + t["openpyxl_read"]
  printf "ours read/read floor:       %.2fx (target <= 1.3x)\n", t["ours_read"] / t["read_floor"]
  printf "ours write/bare write:      %.2fx (target <= 1.1x)\n", t["ours_write"] / t["bare_write"]
  printf "openpyxl/ours (write+read): %.2fx (target >= 7x)\n", py / ours
}' "$work/times"
