#!/usr/bin/env bash
# `make demo` as the README tells it, on the display xvfb-run gives: the demo
# script starts the simulated instrument and the program; 连接设备 is pressed
# and the program's log shows the port opened and the simulator's answer to
# the stage-table request sent on connecting; no DEBUG line reached the
# terminal; Ctrl+C ends the demo with nothing it started left running and no
# log file where it was started. Started again, the demo ends on a SIGTERM to
# its script alone (a CI timeout) and takes the program and the simulator
# with it.
#   xvfb-run -a tst_demo.sh <source dir> <build dir> <scratch folder>
set -euo pipefail
top=$1
build=$2
scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
log="$scratch/run/work/myeasylog.log"
terminal="$scratch/terminal.txt"
unset QT_QPA_PLATFORM

# The demo runs as a job of its own, as in a terminal, so that Ctrl+C (an
# interrupt to the job's process group) reaches it as it would there.
startDemo() {
  set -m
  "$top/scripts/demo.sh" "$build" "$scratch/run" >"$terminal" 2>&1 &
  demo=$!
  set +m
}

# The simulator and the program (run.sh execs it when there is a display).
started() { ps -o pid= --ppid "$demo" | tr -d ' '; }

fail() {
  echo "FAIL: $*"
  echo "--- terminal:"
  cat "$terminal"
  echo "--- end of the log:"
  tail -n 20 "$log" 2>/dev/null || true
  for pid in $(started); do kill -KILL "$pid" 2>/dev/null || true; done
  kill -KILL -- "-$demo" 2>/dev/null || true
  exit 1
}

# Polls for up to 30 s; the limit only keeps a broken demo from hanging.
waitFor() {
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

window() { xdotool search --onlyvisible --name '^Quarnel$' 2>/dev/null | head -n 1; }
shown() { [ -n "$(window)" ]; }
logged() { grep -q -F -- "$1" "$log" 2>/dev/null; }
demoGone() { ! kill -0 -- "-$demo" 2>/dev/null; }

startDemo
waitFor shown || fail "no window titled Quarnel"
# 连接设备 is the tool bar's first button, under the menu bar.
xdotool mousemove --window "$(window)" 47 50 click 1
waitFor logged "open serial port." || fail "连接设备 did not open the port"
waitFor logged "slotRecvPhaseInfo" || fail "the simulator's stage table did not arrive"
if grep -q DEBUG "$terminal"; then fail "DEBUG lines on the terminal"; fi

kill -INT -- "-$demo"
waitFor demoGone || fail "still running after Ctrl+C"
status=0
wait "$demo" || status=$?
[ "$status" -eq 130 ] || fail "ended with status $status after Ctrl+C"
[ ! -e "$scratch/myeasylog.log" ] || fail "a log file left where the demo started"

startDemo
waitFor shown || fail "no window titled Quarnel after starting again"
children=$(started)
[ "$(echo "$children" | wc -w)" -eq 2 ] || fail "expected the simulator and the program, found: $children"
kill -TERM "$demo"
status=0
wait "$demo" || status=$?
[ "$status" -eq 143 ] || fail "ended with status $status after SIGTERM"
for pid in $children; do
  if kill -0 "$pid" 2>/dev/null; then fail "$(ps -o args= -p "$pid") left running after SIGTERM"; fi
done
echo "demo connected to the simulator and ended on Ctrl+C and on SIGTERM"
