#!/usr/bin/env bash
# The Debian package of a release build: `cpack -G DEB` writes quadrel_*.deb
# with its dependencies declared and the installed tree under /usr; as root
# (and when no quadrel package is installed yet) it is installed with apt-get,
# the command of its menu entry starts the game under Xvfb, Escape ends it,
# and the package is removed again.
#   deb_test.sh RELEASE_BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
work_mode=755
. "$(dirname "$0")/../e2e_lib.sh"

rm -f "$build"/quadrel_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -n 5 "$work/cpack.log")"
deb=$(ls "$build"/quadrel_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no quadrel_*.deb written"
cp "$deb" "$work/"
deb=$work/$(basename "$deb")
dpkg-deb --info "$deb" >"$work/info"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libsdl2 libsdl2-mixer libepoxy fonts-ipafont-gothic; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# Models are read by the game itself.
grep -q libassimp <<<"$depends" && fail "Depends names libassimp: $depends"
dpkg-deb --contents "$deb" >"$work/contents"
for f in ./usr/bin/quadrel ./usr/bin/quadrel-replay ./usr/share/quadrel/model/ball.x \
         ./usr/share/applications/org.quadrel.Quadrel.desktop ./usr/share/man/man6/quadrel.6 \
         ./usr/share/icons/hicolor/256x256/apps/quadrel.png; do
  grep -q " $f\$" "$work/contents" || fail "not in the package: $f"
done
echo "$(basename "$deb"): $(grep -c '^-' "$work/contents") files; Depends: $depends"

if [ "$(id -u)" -ne 0 ] || dpkg-query -W -f='${Status}' quadrel 2>/dev/null | grep -q 'ok installed'; then
  echo "not installed here (needs root and no quadrel package yet)"
  echo "1 passed, 0 failed"
  exit 0
fi
removed=0
uninstall() { [ $removed -eq 1 ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quadrel >/dev/null 2>&1; removed=1; }
trap 'uninstall; cleanup' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get install: $(tail -n 5 "$work/apt.log")"
command=$(sed -n 's/^Exec=//p' /usr/share/applications/org.quadrel.Quadrel.desktop | sed 's/ *%[fFuU]//')
[ "$(command -v "$command")" = /usr/bin/quadrel ] || fail "the menu entry runs '$command'"

. "$(dirname "$0")/../xvfb_session.sh"
(cd "$work/home" && exec $command) &
game=$!
pids+=($game)
window=$(window_named Quadrel "from the installed package") || exit 1
sleep 2
kill -0 "$game" 2>/dev/null || fail "the installed game ended"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool key Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game" || fail "the installed game exited $?"
echo "installed with apt-get; '$command' from the menu entry started and ended with exit 0"
uninstall
[ -e /usr/bin/quadrel ] && fail "/usr/bin/quadrel left after removal"
echo "removed"
echo "1 passed, 0 failed"
