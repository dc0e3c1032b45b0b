#!/usr/bin/env bash
# A player's first seconds with the real program under Xvfb: the title's
# "[ Game Start ]" is clicked, the mouse moves the bar, a click launches a
# ball, Escape ends the program with exit code 0. Screenshots are read back
# with the probe; they stay in OUT_DIR.
#   game_e2e.sh PROGRAM RUNTIME_DIR PROBE OUT_DIR
set -uo pipefail
program=$1 runtime=$2 probe=$3 out=$4
mkdir -p "$out"
work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR=$work SDL_AUDIODRIVER=dummy
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

shot() { import -window root "$out/$1.png"; }
# Picture pixels to screen pixels: the full-screen window is 1024 x 768 (x 1.6).
screen() { echo $(( $1 * 16 / 10 )) $(( $2 * 16 / 10 )); }

(cd "$runtime" && exec "$program") &
game=$!
pids+=($game)
window=""
for _ in $(seq 200); do
  window=$(xdotool search --name '^Quadrel$' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled Quadrel"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1.5
shot title

# Click "[ Game Start ]"; the title fades out and the game fades in.
xdotool mousemove $(screen 320 260)
sleep 0.3
xdotool click 1
sleep 3
shot game
# The bar: its orange ends, between the walls near the floor.
read -r n1 x1 _ < <("$probe" "$out/game.png" 240 560 790 720 orange)
[ "$n1" -gt 20 ] || fail "no bar on the screen ($n1 bar pixels)"
echo "game entered: bar at x $x1"

xdotool mousemove_relative -- 240 0
sleep 0.6
shot moved
read -r n2 x2 _ < <("$probe" "$out/moved.png" 240 560 790 720 orange)
[ "$n2" -gt 20 ] && [ "$x2" -gt $((x1 + 60)) ] || fail "the bar did not follow the mouse ($x1 -> $x2)"
echo "bar follows the mouse: x $x1 -> $x2"

read -r w1 _ _ < <("$probe" "$out/moved.png" 240 250 790 640 white)
xdotool click 1
sleep 0.5
shot launched
read -r w2 _ wy < <("$probe" "$out/launched.png" 240 250 790 640 white)
[ "$w2" -gt $((w1 + 150)) ] || fail "no ball launched ($w1 -> $w2 white pixels)"
echo "a click launches a ball: white pixels $w1 -> $w2 around y $wy"

rss=$(awk '/VmRSS/ {print $2}' "/proc/$game/status")
echo "resident memory while playing: $((rss / 1024)) MiB"

xdotool key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game" 2>/dev/null && fail "Escape did not end the program"
wait "$game"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code after Escape"
echo "Escape: exit 0"
echo "1 passed, 0 failed"
