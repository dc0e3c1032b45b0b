#!/usr/bin/env bash
# The real program under Xvfb with a window manager, driven like a player:
# it starts in full screen, Alt+Enter switches to a 640 x 480 window and back,
# a second copy exits 0 while the first runs, a second copy asked to play a
# replay says in a box and on standard error that it cannot and exits 1,
# Escape ends the first with 0.
#   quadrel_e2e.sh PROGRAM RUNTIME_DIR REPLAY
set -uo pipefail
program=$1
runtime=$2
replay=$3
. "$(dirname "$0")/../e2e_lib.sh"

. "$(dirname "$0")/../xvfb_session.sh"

geometry() {  # prints WIDTHxHEIGHT of window $1
  local WIDTH HEIGHT X Y SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)" || return 1
  echo "${WIDTH}x${HEIGHT}"
}
wait_geometry() {  # window, wanted size
  local g=""
  for _ in $(seq 100); do
    g=$(geometry "$1") && [ "$g" = "$2" ] && return 0
    sleep 0.1
  done
  fail "window is ${g:-gone}, wanted $2"
}
geometry_now() { geometry "$1" || echo gone; }
# Holds Alt+Enter until the window takes the wanted size (one switch per
# press however long it is held), then lets go.
alt_enter_until() {  # window, wanted size
  local g=""
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool keydown alt keydown Return
  for _ in $(seq 150); do
    g=$(geometry_now "$1")
    [ "$g" = "$2" ] && break
    sleep 0.1
  done
  xdotool keyup Return keyup alt
  [ "$g" = "$2" ] || fail "after Alt+Enter the window is $g, wanted $2"
}

(cd "$runtime" && exec "$program") &
game=$!
pids+=($game)
window=$(window_named Quadrel) || exit 1
echo "window $window"

wait_geometry "$window" 1024x768
echo "starts in full screen"
alt_enter_until "$window" 640x480
echo "Alt+Enter: 640 x 480 window"
sleep 0.3
alt_enter_until "$window" 1024x768
echo "Alt+Enter: full screen again"

(cd "$runtime" && timeout 20 "$program")
second=$?
[ "$second" -eq 0 ] || fail "second copy exited $second"
kill -0 "$game" 2>/dev/null || fail "the first copy ended"
echo "second copy exits 0, the first keeps running"

(cd "$runtime" && exec timeout 20 "$program" "$replay" 2>"$work/second.err") &
second=$!
pids+=($second)
box=""
for _ in $(seq 100); do
  box=$(xdotool search --name '^Quadrel - Error$' 2>/dev/null | head -n1)
  [ -n "$box" ] && break
  kill -0 "$second" 2>/dev/null || break
  sleep 0.1
done
[ -n "$box" ] || { cat "$work/second.err" >&2; fail "no box from a second copy given a replay"; }
sleep 0.5
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Return
wait "$second"
second=$?
[ "$second" -eq 1 ] || fail "second copy given a replay exited $second"
grep -qxF "quadrel: Error: Quadrel is already running; close it to play $replay" "$work/second.err" ||
  { cat "$work/second.err" >&2; fail "no report line from the second copy given a replay"; }
kill -0 "$game" 2>/dev/null || fail "the first copy ended"
echo "second copy given a replay: box, report line, exit 1; the first keeps running"

xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool key Escape
expect_exit "$game" 0 "Escape"
echo "Escape: exit 0"
echo "1 passed, 0 failed"
