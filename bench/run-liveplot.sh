#!/usr/bin/env bash
# Frames handled per second by the main window's live plot at 1k, 10k and
# 100k points, against the serial line's ≈190 status frames/s.
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target bench_liveplot -j 4 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$OLDPWD/$build/bench/bench_liveplot" 2>/dev/null | { grep -v -e '^QDEBUG' -e ' DEBUG \[' || true; }
