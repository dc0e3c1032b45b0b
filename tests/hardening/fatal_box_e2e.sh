#!/usr/bin/env bash
# The fatal report of a missing model, as a player sees it: under Xvfb with a
# window manager, model/ball.x deleted, "[ Game Start ]" clicked. The two
# boxes are drawn with a Japanese face (screenshots in OUT_DIR), the same
# texts are on standard error naming the file, and the program exits 1.
#   fatal_box_e2e.sh PROGRAM RUNTIME_DIR OUT_DIR
set -uo pipefail
program=$1 runtime=$2 out=$3
. "$(dirname "$0")/../e2e_lib.sh"
mkdir -p "$out"
fail() { echo "FAIL: $*" >&2; cat "$work/stderr" >&2 2>/dev/null; exit 1; }

. "$(dirname "$0")/../xvfb_session.sh"

cp -r "$runtime" "$work/runtime"
rm -f "$work/runtime/model/ball.x"
(cd "$work/runtime" && QUADREL_DATA_DIR=$work/runtime exec "$program" 2>"$work/stderr") &
game=$!
pids+=($game)
for _ in $(seq 200); do
  xdotool search --name '^Quadrel$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1.5
xdotool mousemove $((320 * 16 / 10)) $((260 * 16 / 10))
sleep 0.3
xdotool click 1

box() {  # waits for the window titled $1, screenshots it, answers it with Enter
  local window=""
  for _ in $(seq 150); do
    window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no box titled $1"
  sleep 0.7
  import -window root "$out/fatal-$1.png"
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xdotool key Return
}
box Debug
grep -qF 'quadrel: Debug: Xファイルの読み込みに失敗しました。 (file: ./model/ball.x)' "$work/stderr" ||
  fail "no report line naming the model on standard error"
box Error
expect_exit "$game" 1 "the fatal report"
echo "standard error:"
cat "$work/stderr"
echo "fatal report boxes shown, exit code 1; screenshots in $out"
