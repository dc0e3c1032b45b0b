#!/usr/bin/env bash
# CPU use of the real program under Xvfb while a game is played and while it
# is paused (P), each over SECONDS (default 20), read from /proc/PID/stat.
# A measurement for people, not a test: it prints and exits 0 unless the
# program could not be driven. With OUT_DIR it keeps a screenshot of each
# state there (playing.png, paused.png).
#   measure_pause_cpu.sh PROGRAM RUNTIME_DIR [SECONDS] [OUT_DIR]
set -uo pipefail
program=$(realpath "$1") runtime=$2 seconds=${3:-20} out=${4:-}
[ -n "$out" ] && mkdir -p "$out"
shot() { [ -z "$out" ] || import -window root "$out/$1.png"; }
. "$(dirname "$0")/../e2e_lib.sh"

Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
# The settings file goes to the scratch folder, not the user's.
export XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config SDL_AUDIODRIVER=dummy
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

(cd "$runtime" && exec "$program") &
game=$!
pids+=($game)
window=$(window_named Quadrel) || exit 1
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 2
# "[ Game Start ]" at (320, 260) of the 640 x 480 picture, full screen at 1024 x 768.
xdotool mousemove 512 416
sleep 0.3
xdotool click 1
sleep 4

ticks() { awk '{print $14 + $15}' "/proc/$game/stat"; }
hz=$(getconf CLK_TCK)
measure() {
  local before after
  before=$(ticks)
  sleep "$seconds"
  after=$(ticks)
  awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "%.1f%% of one core (%d ticks of 1/%d s in %d s)", 100 * t / hz / s, t, hz, s }'
}
# Playing: the bar swept now and then so the game sees input.
( for _ in $(seq $((seconds * 2))); do
    xdotool mousemove_relative -- 40 0; sleep 0.25; xdotool mousemove_relative -- -40 0; sleep 0.25
  done ) &
mover=$!
pids+=($mover)
echo "playing: $(measure)"
shot playing
wait "$mover" 2>/dev/null
xdotool key p
sleep 1
echo "paused:  $(measure)"
shot paused
xdotool key p
sleep 1
kill -0 "$game" 2>/dev/null || fail "the program ended"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
