#!/usr/bin/env bash
# Starts the simulated instrument on a pseudo-terminal and the program with
# QUARNEL_SERIAL_PORT naming that terminal, as `make run` starts it (same
# working folder; a virtual display when there is none). Blocks until the
# program ends; Ctrl+C ends both.
#   scripts/demo.sh [builddir] [run folder, default run]
set -euo pipefail
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in
  /*) simulator="$build/tools/quarnel-simulator" ;;
  *) simulator="$top/$build/tools/quarnel-simulator" ;;
esac

# Ten simulated minutes per real minute, a status frame every 0.1 s: the
# simulator's own programme (to 180 ℃ at 10 ℃/min, 2 min hold, to 200 ℃ at
# 5 ℃/min, cooling) runs in about two and a half minutes, the melting peak
# at 156.6 ℃ some 80 s after 开始, drawn from a point every 0.17 ℃.
# Its first line names the terminal it serves.
named=$(mktemp)
"$simulator" --accel 10 --interval 100 >"$named" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$named"' EXIT

port=
for _ in $(seq 100); do
  port=$(head -n 1 "$named")
  [ -z "$port" ] || break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "The simulated instrument did not start." >&2
  exit 1
fi
echo "Simulated instrument on $port (QUARNEL_SERIAL_PORT=$port)."
QUARNEL_SERIAL_PORT=$port "$top/scripts/run.sh" "$build" "${2:-}"
