#!/usr/bin/env bash
# Starts the program on a virtual display, waits, and saves a screenshot:
#   scripts/screenshot.sh <builddir> <out.png> [seconds]
set -euo pipefail
build=${1:-build}
out=${2:-screenshot.png}
wait=${3:-4}
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$out")
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c "
  '$top/scripts/run.sh' '$build' >/dev/null 2>&1 &
  sleep $wait
  xwininfo -root -tree | grep -E '\"Quarnel\"' || echo 'no window titled Quarnel'
  import -window root '$out'
  kill %1 2>/dev/null || true
"
echo "$out"
