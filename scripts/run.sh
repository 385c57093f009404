#!/usr/bin/env bash
# Starts the program in its working folder (run/work), beside which the data
# folders ../experiment_data/{sample_data,base_line,analysis_state} exist.
# Without a display it starts on a virtual one (Xvfb), says so, and blocks
# until the program ends.
#   scripts/run.sh [builddir] [run folder, default run]
set -euo pipefail
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in
  /*) exe="$build/src/quarnel" ;;
  *) exe="$top/$build/src/quarnel" ;;
esac
run=${2:-$top/run}
data="$run/experiment_data"
work="$run/work"
mkdir -p "$work" "$data/sample_data" "$data/base_line" "$data/analysis_state"

if [ -d "$top/samples" ]; then
  for f in "$top"/samples/*.xlsx; do
    [ -e "$f" ] || continue
    [ -e "$data/sample_data/$(basename "$f")" ] || cp "$f" "$data/sample_data/"
  done
fi

# The program logs every frame; those DEBUG lines go to myeasylog.log in the
# working folder only. A log.conf already there is the user's and stays.
if [ ! -e "$work/log.conf" ]; then
  cat >"$work/log.conf" <<'CONF'
* DEBUG:
    TO_STANDARD_OUTPUT = false
CONF
fi

cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG
No display found: Quarnel now runs on a virtual X display (Xvfb). Nothing
appears on this screen, and this command blocks until the program ends
(Ctrl+C stops it). To see the window:
  - take a picture of it from another terminal:
      scripts/screenshot.sh $build /tmp/shot.png
    (starts its own copy on a virtual display and saves /tmp/shot.png), or
  - start it on a real X display instead: DISPLAY=:0 make run
MSG
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$exe"
fi
exec "$exe"
