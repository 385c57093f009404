#!/usr/bin/env bash
# Starts the simulated instrument on a pseudo-terminal and the program with
# QUARNEL_SERIAL_PORT naming that terminal, as `make run` starts it (same
# working folder; a virtual display when there is none). Blocks until the
# program ends; Ctrl+C, or a signal to this script alone, ends both.
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

# The program runs as a job of its own and every signal that ends this
# script goes on to the whole job, so that a signal to the script alone (a
# CI timeout, a closed terminal) ends the program too: without a display
# run.sh hands it to xvfb-run, which, killed, leaves the program and the
# virtual display running. A job of its own also keeps SIGINT, which a
# script's background commands would otherwise ignore.
app=
forward() {
  if [ -n "$app" ]; then
    kill -"$1" -- -"$app" 2>/dev/null || true
    wait "$app" || true
  fi
  trap - "$1"
  kill -"$1" $$
}
for signal in INT TERM HUP; do
  trap "forward $signal" "$signal"
done
set -m
QUARNEL_SERIAL_PORT=$port "$top/scripts/run.sh" "$build" "${2:-}" &
app=$!
set +m
wait "$app"
