#!/usr/bin/env bash
# A whole game with the real program under Xvfb, with a per-user folder of
# its own: play until the last ball is lost, click, type a name, Enter, save the
# replay, decline the internet ranking, back to the title, "[ Playback Replay ]",
# choose the saved replay and watch it play to its end without "Replay
# Gapped!". Afterwards ranking.dat holds the name and the replay verifies.
#   ranking_e2e.sh PROGRAM RUNTIME_DIR PROBE REPLAY_TOOL OUT_DIR
set -uo pipefail
program=$1 runtime=$2 probe=$3 tool=$4 out=$5
mkdir -p "$out"
rm -f "$out"/*.png
. "$(dirname "$0")/../e2e_lib.sh"

. "$(dirname "$0")/../xvfb_session.sh"
# The player's files: a fresh per-user folder, made by the game on first use.
game_dir=$XDG_DATA_HOME/quadrel
runtime_before=$(ls -R "$runtime" | md5sum)

shot() { import -window root "$out/$1.png"; }
# Picture pixels to screen pixels: the full-screen window is 1024 x 768 (x 1.6).
screen() { echo $(( $1 * 16 / 10 )) $(( $2 * 16 / 10 )); }
# Probes the last shot NAME in a rectangle of picture pixels; prints the count.
count() {  # NAME X0 Y0 X1 Y1 KIND
  local c
  read -r c _ _ < <("$probe" "$out/$1.png" $(screen "$2" "$3") $(screen "$4" "$5") "$6")
  echo "${c:-0}"
}
# Shoots until at least MIN pixels of KIND are in the rectangle (60 s at most).
until_seen() {  # NAME X0 Y0 X1 Y1 KIND MIN
  local until=$((SECONDS + 60))
  while [ $SECONDS -lt $until ]; do
    shot "$1"
    [ "$(count "$1" "$2" "$3" "$4" "$5" "$6")" -ge "$7" ] && return 0
    sleep 0.25
  done
  return 1
}
# The title: its name in blue.
title_seen() { until_seen "$1" 180 100 460 190 blue 300; }
# The mouse to a picture position; the scenes learn it from a movement.
point() {
  read -r sx sy < <(screen "$1" "$2")
  xdotool mousemove $((sx + 3)) $((sy + 3))
  sleep 0.1
  xdotool mousemove "$sx" "$sy"
  sleep 0.2
}
# A key held long enough for a busy program to see it.
press() {
  xdotool keydown "$1"
  sleep 0.25
  xdotool keyup "$1"
  sleep 0.25
}

(cd "$work" && exec "$program") &
game=$!
pids+=($game)
window=$(window_named Quadrel) || exit 1
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
title_seen title || fail "no title"

point 320 260
xdotool click 1
until_seen game 150 350 494 450 orange 10 || fail "no bar on the screen"
echo "game started"

# Launch the three balls at the left wall, then keep the bar at the right
# wall and wait for the last one to fall; a click on the game-over screen
# leaves for the ranking, whose entry creates ranking.dat.
xdotool mousemove_relative -- -600 0
sleep 0.5
for _ in 1 2 3; do xdotool click 1; sleep 0.4; done
xdotool mousemove_relative -- 1200 0
start=$SECONDS
while [ ! -e "$game_dir/ranking.dat" ]; do
  [ $((SECONDS - start)) -gt 240 ] && fail "the game did not end within 4 minutes"
  sleep 1
  xdotool mousemove_relative -- 600 0
  xdotool click 1
done
echo "game over after $((SECONDS - start)) s: the ranking"
sleep 1
shot ranking_entry

for key in t e s t e r; do press "$key"; done
press Return
for _ in $(seq 80); do grep -q "tester" "$game_dir/ranking.dat" && break; sleep 0.25; done
grep -q "tester" "$game_dir/ranking.dat" ||
  fail "ranking.dat does not hold the name: $(cat "$game_dir/ranking.dat")"
echo "ranking.dat: $(grep tester "$game_dir/ranking.dat")"

until_seen save_question 60 320 580 370 yellow 300 || fail "no \"Save Replay Data ?\""
point 220 410
xdotool click 1
for _ in $(seq 80); do ls "$game_dir"/replay/*.rep >/dev/null 2>&1 && break; sleep 0.25; done
replay=$(ls "$game_dir"/replay/*.rep 2>/dev/null | head -n1)
[ -n "$replay" ] || fail "the replay was not saved"
echo "replay saved: $(basename "$replay"), $(stat -c %s "$replay") bytes"

sleep 0.3
until_seen register_question 60 320 580 370 yellow 300 || fail "no \"Regist Internet Ranking ?\""
point 420 410
xdotool click 1
until_seen table_only 240 390 400 420 yellow 20 || fail "no \"[ Click to return ]\""
echo "the table alone"
xdotool click 1
title_seen title_again || fail "no title after the ranking"
echo "back to the title"

sleep 0.6  # the fade-in ends
point 320 320
xdotool click 1
until_seen replay_list 140 160 560 185 white 100 || fail "no row in the replay list"
echo "replay list shown"
sleep 0.6
point 300 170
xdotool click 1

# The playback: the bar and "Replay Mode" show, "Replay Gapped!" never; it
# returns to the title after its last recorded click.
until_seen playback 150 350 494 450 orange 10 || fail "the playback did not start"
modes=0 gapped=0 shots=0
start=$SECONDS
while :; do
  [ $((SECONDS - start)) -gt 300 ] && fail "the playback did not end within 5 minutes"
  shot playback
  shots=$((shots + 1))
  [ "$(count playback 520 455 630 480 blue)" -gt 20 ] && modes=$((modes + 1))
  red=$(count playback 250 238 390 264 red)
  if [ "$red" -gt 30 ]; then gapped=$((gapped + 1)); cp "$out/playback.png" "$out/gapped.png"; fi
  # The title's name and no bar: the playback is over.
  [ "$(count playback 180 100 460 190 blue)" -ge 300 ] &&
    [ "$(count playback 150 350 494 450 orange)" -lt 10 ] && break
  sleep 0.5
done
echo "playback over after $((SECONDS - start)) s: \"Replay Mode\" in $modes of $shots shots"
[ "$modes" -gt 0 ] || fail "\"Replay Mode\" never shown"
[ "$gapped" -eq 0 ] || fail "\"Replay Gapped!\" in $gapped shots"

xdotool key Escape
expect_exit "$game" 0 "Escape"

[ "$(ls -R "$runtime" | md5sum)" = "$runtime_before" ] || fail "the game wrote into its data folder"
echo "the player's files: $(cd "$XDG_DATA_HOME" && find . -type f | sort | tr '\n' ' ')"
verdict=$("$tool" verify "$replay") || fail "the saved replay does not verify: $verdict"
echo "$verdict"
echo "1 passed, 0 failed"
