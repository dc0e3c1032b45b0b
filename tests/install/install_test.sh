#!/usr/bin/env bash
# The installed game: `cmake --install` of the game component into a fresh
# prefix writes the expected tree; the menu entry and AppStream metadata
# validate; the installed program, started from the prefix under Xvfb with a
# new HOME and XDG_DATA_HOME, plays a replay given on its command line to the
# end and returns to the title; nothing is written under the prefix.
#   install_test.sh BUILD_DIR PROBE REPLAY OUT_DIR
set -uo pipefail
build=$1 probe=$2 replay=$3 out=$4
mkdir -p "$out"
rm -f "$out"/*.png
. "$(dirname "$0")/../e2e_lib.sh"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --component game >"$work/install.log" ||
  fail "cmake --install: $(tail -n 5 "$work/install.log")"
for f in bin/quadrel bin/quadrel-replay share/quadrel/model/ball.x share/quadrel/texture/title.dds \
         share/quadrel/sound/bgm_1.ogg share/applications/org.quadrel.Quadrel.desktop \
         share/metainfo/org.quadrel.Quadrel.metainfo.xml share/mime/packages/quadrel-replay.xml \
         share/man/man6/quadrel.6 share/man/man1/quadrel-replay.1 share/locale/ja/LC_MESSAGES/quadrel.mo; do
  [ -s "$prefix/$f" ] || fail "not installed: $f"
done
for size in 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/quadrel.png
  [ "$(file -b "$icon" | grep -o "$size x $size")" = "$size x $size" ] || fail "icon $size: $(file -b "$icon")"
done
echo "installed $(find "$prefix" -type f | wc -l) files"
desktop-file-validate "$prefix/share/applications/org.quadrel.Quadrel.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.quadrel.Quadrel.metainfo.xml" ||
  fail "appstreamcli validate"
man -l "$prefix/share/man/man6/quadrel.6" 2>&1 >/dev/null | grep . && fail "the man page has errors"
# The installed program finds its Japanese catalogue from bin/.
said=$(env LC_ALL= LANG=ja_JP.UTF-8 "$prefix/bin/quadrel" "$work/none.rep" 2>&1)
grep -qF "開けません" <<<"$said" ||
  fail "the installed program does not speak Japanese under LANG=ja_JP.UTF-8: $said"
before=$(find "$prefix" -printf '%P %s %T@\n' | sort | md5sum)

. "$(dirname "$0")/../xvfb_session.sh"
shot() { import -window root "$out/$1.png"; }
count() {  # NAME X0 Y0 X1 Y1 KIND, picture pixels of the full-screen window (x 1.6)
  local c
  read -r c _ _ < <("$probe" "$out/$1.png" $(($2 * 16 / 10)) $(($3 * 16 / 10)) $(($4 * 16 / 10)) \
                    $(($5 * 16 / 10)) "$6")
  echo "${c:-0}"
}

cp "$replay" "$work/game.rep"
(cd "$work/home" && exec "$prefix/bin/quadrel" ../game.rep) &
game=$!
pids+=($game)
played=0
start=$SECONDS
while :; do
  [ $((SECONDS - start)) -gt 120 ] && fail "the replay did not return to the title within 2 minutes"
  kill -0 "$game" 2>/dev/null || fail "the program ended"
  shot frame
  if [ "$(count frame 150 350 494 450 orange)" -ge 10 ]; then
    [ $played -eq 0 ] && echo "the replay plays after $((SECONDS - start)) s"
    played=1
  elif [ $played -eq 1 ] && [ "$(count frame 180 100 460 190 blue)" -ge 300 ]; then
    break
  fi
  sleep 0.5
done
echo "back to the title after $((SECONDS - start)) s"
[ -z "$(find "$XDG_DATA_HOME" -type f)" ] || fail "a playback wrote player files"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code after Escape"
[ "$(find "$prefix" -printf '%P %s %T@\n' | sort | md5sum)" = "$before" ] ||
  fail "something was written under the prefix"
"$prefix/bin/quadrel" "$work/missing.rep" 2>"$work/err"
[ $? -eq 1 ] && grep -q 'cannot be opened' "$work/err" || fail "a missing replay: $(cat "$work/err")"
echo "1 passed, 0 failed"
