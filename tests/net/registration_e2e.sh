#!/usr/bin/env bash
# Registration with the internet ranking from the real program under Xvfb.
# In a private network namespace a stand-in server listens on localhost:80,
# the built-in host, so no port is shared with anything else on the machine.
# Game 1: play to game over, name "net", save the replay, register: the
# captured request must equal the one rebuilt from ranking.dat and the saved
# replay, and the server's verdict "-2" must show as "Out of Rank...".
# Game 2: the same with no server: "ERROR" after the two messages, and the
# program goes on until Escape ends it with exit code 0.
# Given a PORT, the player's settings.ini names the server instead
# ("ranking_server = 127.0.0.1:PORT"), the stand-in listens there and nothing
# on port 80; game 1 alone is played, and the file keeps the player's lines.
# Given a BUILD_DIR too, the game is installed from it into a fresh prefix
# (`cmake --install --component game`) and the installed program is played.
#   registration_e2e.sh PROGRAM RUNTIME_DIR CAPTURE_TOOL OUT_DIR [PORT [BUILD_DIR]]
set -uo pipefail
program=$1 runtime=$2 tool=$3 out=$4 port=${5:-} build=${6:-}

if [ -z "${QUADREL_E2E_NETNS:-}" ]; then
  # As root a plain network namespace; otherwise one inside a user namespace.
  for how in -n -rn; do
    unshare "$how" true 2>/dev/null && QUADREL_E2E_NETNS=1 exec unshare "$how" "$0" "$@"
  done
  echo "SKIP: no private network namespace here"
  exit 77
fi
ip link set lo up || { echo "FAIL: no loopback in the namespace" >&2; exit 1; }

mkdir -p "$out"
rm -f "$out"/*.png "$out"/request.*
work_mode=755
. "$(dirname "$0")/../e2e_lib.sh"
if [ -n "$build" ]; then
  cmake --install "$build" --prefix "$work/prefix" --component game >"$work/install.log" ||
    fail "cmake --install: $(tail -n 5 "$work/install.log")"
  program=$work/prefix/bin/quadrel
  echo "playing the installed $program"
fi

mkdir -p "$work/fb"
xvfb_args=(-fbdir "$work/fb")
. "$(dirname "$0")/../xvfb_session.sh"

# The player's files (ranking.dat, replay/) land in the per-user folder.
game_dir=$XDG_DATA_HOME/quadrel

# The Host line carries the host alone, as the player or the build named it.
server_port=80 host=localhost
if [ -n "$port" ]; then
  server_port=$port host=127.0.0.1
  settings=$HOME/.config/quadrel/settings.ini
  mkdir -p "$(dirname "$settings")"
  printf '# mine\n[sound]\nvolume=8\nranking_server = 127.0.0.1:%s\n' "$port" >"$settings"
  cp "$settings" "$work/settings.written"
fi
"$tool" serve "$server_port" "-2" "$out/request.captured" >"$work/server.out" &
server=$!
pids+=($server)
for _ in $(seq 50); do grep -q listening "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q listening "$work/server.out" || fail "the stand-in server did not start"

(cd "$work" && exec "$program") &
game=$!
pids+=($game)
window=$(window_named Quadrel) || exit 1
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1.5

shot() { import -window root "$out/$1.png"; }
# Picture pixels to screen pixels: the full-screen window is 1024 x 768 (x 1.6).
screen() { echo $(( $1 * 16 / 10 )) $(( $2 * 16 / 10 )); }
click_at() { xdotool mousemove $(screen "$1" "$2"); sleep 0.2; xdotool click 1; }
# A key held long enough for a 60 Hz poll to see it.
press() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.15; }
# A result message blinks for about half a second, too short for screenshots
# on a busy machine: the watcher reads Xvfb's live screen file instead.
watch() {  # watch RRGGBB: in the background until the message area shows it
  "$tool" watch "$work/fb/Xvfb_screen0" 200 500 830 600 "$1" 60 &
  watch_pid=$!
}
seen() { wait "$watch_pid"; }

# Plays from the title to the ranking's name entry: launches every ball, keeps
# the bar at a side wall and clicks through the game over. The ranking scene
# creates ranking.dat when there is none: that is the sign it has started.
play_to_ranking() {
  local number=$1
  click_at 320 260
  sleep 2
  for _ in $(seq 600); do
    [ -e "$game_dir/ranking.dat" ] && return 0
    xdotool mousemove_relative -- -3000 0
    xdotool click 1
    sleep 0.5
    kill -0 "$game" 2>/dev/null || fail "the program ended during game $number"
  done
  fail "game $number did not reach the ranking"
}
# Name, Enter and the replay question; the registration question follows.
answer() {
  local name=$1 save=$2 c
  sleep 1
  for c in $(echo "$name" | grep -o .); do press "$c"; done
  press Return
  sleep 1
  # The save's result ("Complete !" or "Cancelled") blinks, then the next question.
  if [ "$save" = yes ]; then click_at 220 410; c=96C8FF; else click_at 420 410; c=FF6464; fi
  "$tool" watch "$work/fb/Xvfb_screen0" 200 500 830 600 "$c" 60 || fail "no answer to the save"
  "$tool" watch "$work/fb/Xvfb_screen0" 200 500 830 600 FFFF00 60 || fail "no registration question"
  sleep 0.3
}

start=$(date +%s)
play_to_ranking 1
echo "game 1 reached the ranking after $(( $(date +%s) - start )) s"
answer net yes
watch FF00C8
click_at 220 410
wait "$server" || fail "the stand-in server failed"
seen || fail "\"Out of Rank...\" not shown"
shot verdict
echo "the server's verdict -2 shows as Out of Rank..."
replay=$(ls "$game_dir"/replay/*.rep 2>/dev/null | head -n1)
[ -n "$replay" ] || fail "no replay saved"
"$tool" expect "$game_dir/ranking.dat" net "$replay" "$out/request.expected" "$host" ||
  fail "no row for net in ranking.dat"
cmp "$out/request.captured" "$out/request.expected" ||
  fail "the request differs from the one rebuilt from ranking.dat and $(basename "$replay")"
echo "request of $(stat -c %s "$out/request.captured") bytes equals the rebuilt one"

if [ -n "$port" ]; then
  echo "the request arrived at 127.0.0.1:$port, named in settings.ini"
  sleep 3
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xdotool key Escape
  expect_exit "$game" 0 "Escape"
  cmp "$settings" "$work/settings.written" || fail "settings.ini lost the player's lines"
  echo "Escape: exit 0; settings.ini as the player wrote it"
  echo "1 passed, 0 failed"
  exit 0
fi

# Back to the title: the scene shows the table alone, a click returns. The
# table is removed so that the next ranking entry is seen, and any score makes it.
sleep 3
rm -f "$game_dir/ranking.dat"
click_at 320 300
sleep 2
start=$(date +%s)
play_to_ranking 2
echo "game 2 reached the ranking after $(( $(date +%s) - start )) s"
answer off no
click_at 220 410
# Each failure message waits for its OK. The message box names itself in a
# way xdotool's name search does not read; the window manager's list does.
debug_box() {
  local w
  for w in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
    xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -q '= "Quadrel - Notice"$' && { echo "$w"; return; }
  done
}
boxes=0
for _ in $(seq 100); do
  box=$(debug_box)
  if [ -n "$box" ]; then
    sleep 0.3
    xdotool windowactivate --sync $((box)) >/dev/null 2>&1 || true
    [ "$boxes" -eq 1 ] && watch FF0000
    xdotool key Return
    boxes=$((boxes + 1))
    for _ in $(seq 50); do [ "$(debug_box)" = "$box" ] || break; sleep 0.1; done
  elif [ "$boxes" -ge 2 ]; then
    break
  fi
  sleep 0.2
done
if [ "$boxes" -ne 2 ]; then
  shot no-boxes
  fail "expected two failure messages, saw $boxes"
fi
seen || fail "\"ERROR\" not shown"
shot error
echo "no server: two messages, then ERROR"
sleep 3
kill -0 "$game" 2>/dev/null || fail "the program ended after the failed registration"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool key Escape
expect_exit "$game" 0 "Escape"
echo "the game went on; Escape: exit 0"
echo "1 passed, 0 failed"
