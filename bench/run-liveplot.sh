#!/usr/bin/env bash
# Live curve at 1k, 10k and 100k points against the serial line's ≈190 status
# frames/s: first the plot alone (live slot and replot cost), then the whole
# main window fed status frames through the instrument link's receive path.
set -euo pipefail
build=$(realpath "${1:-build}")
cmake --build "$build" --target bench_liveplot bench_window_liveplot -j 4 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
quiet() { grep -v -e '^QDEBUG' -e ' DEBUG \[' -e DEBUG || true; }
echo "-- plot alone"
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$build/bench/bench_liveplot" 2>/dev/null | quiet
echo "-- main window through the receive path"
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$build/bench/bench_window_liveplot" 2>/dev/null | quiet
