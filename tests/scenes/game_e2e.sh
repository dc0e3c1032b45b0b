#!/usr/bin/env bash
# A player's first seconds with the real program under Xvfb: the title's
# "[ Game Start ]" is clicked, the mouse moves the bar, a click launches a
# ball, Escape ends the program with exit code 0. Screenshots are read back
# with the probe; they stay in OUT_DIR.
#   game_e2e.sh PROGRAM RUNTIME_DIR PROBE OUT_DIR
set -uo pipefail
program=$1 runtime=$2 probe=$3 out=$4
mkdir -p "$out"
. "$(dirname "$0")/../e2e_lib.sh"

. "$(dirname "$0")/../xvfb_session.sh"

shot() { import -window root "$out/$1.png"; }
# Picture pixels to screen pixels: the full-screen window is 1024 x 768 (x 1.6).
screen() { echo $(( $1 * 16 / 10 )) $(( $2 * 16 / 10 )); }

(cd "$runtime" && exec "$program") &
game=$!
pids+=($game)
window=$(window_named Quadrel) || exit 1
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1.5
shot title

# Waits up to about 20 s for a probe of fresh screenshots to satisfy a test.
#   until_seen NAME X0 Y0 X1 Y1 KIND TEST  (TEST sees $count $cx $cy)
until_seen() {
  local name=$1 left=$2 top=$3 right=$4 bottom=$5 kind=$6 test=$7
  for _ in $(seq 80); do
    shot "$name"
    read -r count cx cy < <("$probe" "$out/$name.png" "$left" "$top" "$right" "$bottom" "$kind")
    if eval "$test"; then return 0; fi
    sleep 0.25
  done
  return 1
}

# Click "[ Game Start ]"; the title fades out and the game fades in.
xdotool mousemove $(screen 320 260)
sleep 0.3
xdotool click 1
# The bar: its orange ends, between the walls near the floor.
until_seen game 240 560 790 720 orange '[ "$count" -gt 20 ]' || fail "no bar on the screen"
barX=$cx
sleep 0.5  # the fade-in ends
echo "game entered: bar at x $barX"

xdotool mousemove_relative -- 240 0
until_seen moved 240 560 790 720 orange '[ "$count" -gt 20 ] && [ "$cx" -gt $((barX + 60)) ]' ||
  fail "the bar did not follow the mouse ($barX -> $cx)"
echo "bar follows the mouse: x $barX -> $cx"

read -r white _ _ < <("$probe" "$out/moved.png" 240 250 790 640 white)
xdotool click 1
until_seen launched 240 250 790 640 white '[ "$count" -gt $((white + 150)) ]' ||
  fail "no ball launched ($white -> $count white pixels)"
echo "a click launches a ball: white pixels $white -> $count around y $cy"

rss=$(awk '/VmRSS/ {print $2}' "/proc/$game/status")
echo "resident memory while playing: $((rss / 1024)) MiB"

xdotool key Escape
expect_exit "$game" 0 "Escape"
echo "Escape: exit 0"
echo "1 passed, 0 failed"
