#!/usr/bin/env bash
# The fatal report of a damaged model, as a player sees it in one language:
# under Xvfb with a window manager, model/block_b.x damaged, "[ Game Start ]"
# clicked. The two boxes carry the language's titles and texts (every
# character of the file name, underscore included: screenshots in OUT_DIR),
# standard error has the same texts, and the program exits 1.
#   fatal_box_e2e.sh PROGRAM RUNTIME_DIR OUT_DIR en|ja
set -uo pipefail
program=$1 runtime=$2 out=$3 lang=$4
. "$(dirname "$0")/../e2e_lib.sh"
mkdir -p "$out"
fail() { echo "FAIL: $*" >&2; cat "$work/stderr" >&2 2>/dev/null; exit 1; }

model=./model/block_b.x
# A deep data folder in Japanese: its path is wider than the screen.
folder=runtime
[ "$lang" = ja ] && folder=$(printf 'a-folder-with-a-long-name-%d/' $(seq 8))runtime
if [ "$lang" = ja ]; then
  # No Japanese locale need be installed: the game reads the variables itself.
  locale=(LC_ALL= LANG=ja_JP.UTF-8)
  notice="Quadrel - お知らせ" error="Quadrel - エラー"
  lines=("quadrel: Debug: Xファイルの読み込みに失敗しました。 (file: $model)"
         "quadrel: Error: 何らかのエラーが発生したためアプリケーションを終了します / ファイル : $work/$folder/model/block_b.x / Quadrelを再インストール")
else
  locale=(LC_ALL= LANG=C.UTF-8)
  notice="Quadrel - Notice" error="Quadrel - Error"
  lines=("quadrel: Debug: Could not read a model file. (file: $model)"
         "quadrel: Error: An error occurred, so Quadrel will close. / File: $work/$folder/model/block_b.x / Reinstall Quadrel")
fi

. "$(dirname "$0")/../xvfb_session.sh"

mkdir -p "$(dirname "$work/$folder")"
cp -r "$runtime" "$work/$folder"
printf 'xof 0303txt 0032\nMesh {\n 3;\n damaged' >"$work/$folder/$model"
(cd "$work/$folder" && exec env "${locale[@]}" QUADREL_DATA_DIR="$work/$folder" "$program" 2>"$work/stderr") &
game=$!
pids+=($game)
window_named Quadrel >/dev/null
sleep 1.5
xdotool mousemove $((320 * 16 / 10)) $((260 * 16 / 10))
sleep 0.3
xdotool click 1

# The box's id by its UTF-8 title (_NET_WM_NAME, which xdotool's search may not read).
titled() {
  local w
  for w in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
    xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -qF "= \"$1\"" && { echo "$w"; return; }
  done
}
box() {  # waits for the window titled $1, screenshots it as $2, answers it with Enter
  local window=""
  for _ in $(seq 150); do
    window=$(titled "$1")
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no box titled $1"
  sleep 0.7
  import -window root "$out/fatal-$lang-$2.png"
  xdotool windowactivate --sync $((window)) >/dev/null 2>&1 || true
  xdotool key Return
}
box "$notice" notice
grep -qF "${lines[0]}" "$work/stderr" || fail "no line \"${lines[0]}\" on standard error"
box "$error" error
expect_exit "$game" 1 "the fatal report"
grep -qF "${lines[1]}" "$work/stderr" || fail "no line \"${lines[1]}\" on standard error"
echo "standard error:"
cat "$work/stderr"
echo "$lang fatal report boxes shown, exit code 1; screenshots $out/fatal-$lang-*.png"
