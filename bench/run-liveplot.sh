#!/usr/bin/env bash
# Live curve: frames per second through the plot's live slot at 1k, 10k and
# 100k points, as ratios to the serial line's ~190 status frames per second.
set -euo pipefail
build=${1:-build}
cd "$(mktemp -d)"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_liveplot" 2>/dev/null | grep -v DEBUG
