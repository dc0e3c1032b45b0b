#!/usr/bin/env bash
# web/verify.html in headless Chromium: for every golden replay, a tampered
# one and a file that is no replay, the verdict the page computes equals the
# native `quadrel-replay verify` line, and the score shown is the header's.
#   verify_page_test.sh WEB_BUILD_DIR NATIVE_QUADREL_REPLAY GOLDEN_DIR [SCREENSHOT.png]
set -euo pipefail
web=$1 tool=$(realpath "$2") golden=$3 shot=${4:-}
for f in "$web/verify.html" "$web/quadrel-verify.js"; do
  [ -f "$f" ] || { echo "missing $f (build the wasm preset)"; exit 1; }
done
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not installed"; exit 1; }

work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && { wait "$server" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/site"
cp "$web/verify.html" "$web/quadrel-verify.js" "$golden"/*.rep "$work/site/"
# A copy whose last recorded score is one point off, and a file that is none.
first=$(ls "$golden"/*.rep | head -1)
cp "$first" "$work/site/tampered.rep"
size=$(stat -c %s "$first")
printf '\x01' | dd of="$work/site/tampered.rep" bs=1 seek=$((size - 4)) conv=notrunc status=none
echo "not a replay" > "$work/site/notes.rep"

# Loopback only, on a port the system picks.
(cd "$work/site" && exec python3 -u -m http.server 0 --bind 127.0.0.1) > "$work/server.log" 2>&1 &
server=$!
port=
for _ in $(seq 300); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.log" | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the test server did not start"; cat "$work/server.log"; exit 1; }

chrome() {  # chrome OUTPUT-FLAGS... URL
  local profile
  profile=$(mktemp -d "$work/profile.XXXX")
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --virtual-time-budget=30000 "$@" 2>>"$work/browser.log"
}
text_of() {  # text_of ID < DOM
  sed -n "s/.*id=\"$1\"[^>]*>\([^<]*\)<.*/\1/p" | head -1 | sed 's/&amp;/\&/g'
}

status=0 checked=0
for path in "$work/site"/*.rep; do
  name=$(basename "$path")
  want=$(cd "$work/site" && "$tool" verify "$name" || true)
  dom=$(chrome --dump-dom "http://127.0.0.1:$port/verify.html?replay=$name")
  got=$(text_of verdict <<<"$dom")
  if [ "$got" != "$want" ]; then
    echo "FAIL $name: page says '$got', quadrel-replay says '$want'"; status=1
  fi
  score=$(text_of score <<<"$dom")
  want_score=$("$tool" info "$path" 2>/dev/null | sed -n 's/^score: //p' || true)
  if [ -n "$want_score" ]; then
    if [ "${score//,/}" != "$want_score" ]; then
      echo "FAIL $name: score shown '$score', header $want_score"; status=1
    fi
  elif [ "$score" != "—" ]; then
    echo "FAIL $name: a header shown for a file that is no replay: '$score'"; status=1
  fi
  checked=$((checked + 1))
done

if [ -n "$shot" ]; then
  last=$(ls "$golden"/*.rep | tail -1)
  chrome --hide-scrollbars --window-size=800,960 --screenshot="$shot" \
    "http://127.0.0.1:$port/verify.html?replay=$(basename "$last")" >/dev/null
  [ -s "$shot" ] || { echo "FAIL no screenshot"; status=1; }
fi
echo "verify.html: $checked replays checked in Chromium, $([ $status -eq 0 ] && echo all as quadrel-replay says || echo FAILED)"
exit $status
