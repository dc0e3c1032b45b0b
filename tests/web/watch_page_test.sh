#!/usr/bin/env bash
# The board's "Watch" in headless Chromium (SwiftShader WebGL2), on a ranking
# server of its own on loopback with every golden replay registered: the board
# links Watch and Check for each row; each viewer page plays, seeks, pauses,
# logs nothing, and ends on the verdict and final score `quadrel-replay verify`
# gives; a missing game and a no-WebGL2 browser get a message, not a canvas.
#   watch_page_test.sh WASM_WEB_DIR NATIVE_BUILD_DIR GOLDEN_DIR SHOT_DIR
set -euo pipefail
web=$1 native=$(realpath "$2") golden=$3 shots=$4
[ -f "$web/quadrel-viewer.wasm" ] || { echo "no viewer in $web yet (build the wasm preset)"; exit 77; }
server_bin=$native/server/quadrel-ranking-server
client=$native/tests/quadrel-register-client
tool=$native/tools/replay/quadrel-replay
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not installed"; exit 1; }
mkdir -p "$shots"
dir=$(mktemp -d /tmp/quadrel-watch.XXXXXX)
pid=
cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$dir"; }
trap cleanup EXIT
"$(dirname "$0")/../../scripts/web-folder.sh" "$web" "$native/runtime" "$dir/site"

. "$(dirname "$0")/../server/server_lib.sh"
start_ranking_server "$dir/out" "$dir/err" "$server_bin" --listen 127.0.0.1:0 \
  --db "$dir/ranking.sqlite" --web "$dir/site" --rate 100
pid=$server_pid port=$server_port
i=0
for rep in "$golden"/*.rep; do
  verdict=$("$client" register "$port" "$rep" "$(printf "Player%-4s" "$i")")
  [ "$verdict" = "OK" ] || { echo "registration of $rep answered $verdict"; exit 1; }
  i=$((i + 1))
done

chrome() {  # chrome ARGS... URL
  timeout 120 "$browser" --headless --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader \
    --disable-quic --no-first-run --disable-background-networking --disable-component-update \
    --disable-sync --enable-logging=stderr --v=0 --autoplay-policy=no-user-gesture-required \
    --user-data-dir="$(mktemp -d "$dir/profile.XXXXXX")" "$@" 2>>"$dir/browser.log"
}

fail=0
board=$(curl -s "http://127.0.0.1:$port/")
mapfile -t ids < <(grep -o 'href="/watch/[0-9]*"' <<<"$board" | grep -o '[0-9]*')
checks=$(grep -c 'href="/check?replay=/replays/[0-9]*.rep"' <<<"$board" || true)
[ "${#ids[@]}" -eq "$i" ] && [ "$checks" -eq "$i" ] ||
  { echo "the board links ${#ids[@]} Watch and $checks Check for $i rows"; fail=1; }
curl -s -D "$dir/head" -o /dev/null "http://127.0.0.1:$port/watch/${ids[0]}"
grep -qi "^content-security-policy: default-src 'none'; script-src 'nonce-" "$dir/head" ||
  { echo "the viewer page has no nonce policy"; fail=1; }
grep -qi "unsafe-eval'\|unsafe-inline'.*script" <(grep -i "content-security" "$dir/head" | sed "s/wasm-unsafe-eval//") &&
  { echo "the viewer page's policy allows evaluated script"; fail=1; }

# A stored replay that no longer verifies (its last recorded score one point
# off, as a database restored from elsewhere might hold): it still plays, with
# its gap shown.
python3 - "$dir/ranking.sqlite" "$golden/05709130_20050515_122500.rep" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
data = bytearray(open(sys.argv[2], "rb").read())
data[-4] ^= 1
assert db.execute("UPDATE entries SET replay = ? WHERE score = 5709130", (bytes(data),)).rowcount == 1
db.commit()
PY

declare -A want
for id in "${ids[@]}"; do
  curl -s -o "$dir/$id.rep" "http://127.0.0.1:$port/replays/$id.rep"
  want[$id]=$(cd "$dir" && "$tool" verify "$id.rep" || true)
done
"$(dirname "$0")/watch_driver.py" "$port" "$shots" "${ids[@]}" >"$dir/driver.json" || true
for id in "${ids[@]}"; do
  python3 - "$id" "${want[$id]}" "$dir/driver.json" <<'PY' || fail=1
import json, re, sys
id_, want = sys.argv[1], sys.argv[2]
results = [json.loads(line) for line in open(sys.argv[3]) if line.strip()]
result = next((r for r in results if r.get("id") == id_), {"error": "no result"})
if "error" in result:
    print("FAIL %s: %s" % (id_, result["error"]))
    sys.exit(1)
problems = []
score = re.search(r" score=(-?\d+)", want)
if result["verdict"] != want:
    problems.append("verdict %r, quadrel-replay says %r" % (result["verdict"], want))
if " gap at frame " in want:
    if result["gap"] is None or "does not verify" not in result["status"]:
        problems.append("the gap is not shown: %r" % result["status"])
elif not score or str(result["finalScore"]) != score.group(1):
    problems.append("final score %s, quadrel-replay says %s" % (result["finalScore"], want))
if result["playedTo"] <= 0: problems.append("did not play")
if result["afterSeek"] != result["seekTo"]: problems.append("seek landed on %s" % result["afterSeek"])
if not result["pausedHeld"]: problems.append("pause did not hold")
if not result["ended"]: problems.append("did not end")
if result["log"]: problems.append("the module wrote %r" % result["log"])
if result["console"]: problems.append("the console was not clean: %r" % result["console"][:3])
print(("FAIL " if problems else "ok   ") + id_ + ": played to step %d (%.0f steps/s), went to step %d in %.1f ms, "
      "paused, ran to the end in %.1f ms: %s" % (result["playedTo"], result["stepsPerSecond"], result["seekTo"],
      result["seekMs"], result["toEndMs"], result["verdict"]) + "".join("\n  " + p for p in problems))
sys.exit(1 if problems else 0)
PY
done

# The same steps drawn natively and in the browser. SwiftShader and llvmpipe
# rasterise and filter alike but not bit for bit: edges of triangles and
# texture filtering round differently by a step or two of 255, and a pixel on
# an edge may fall to the other side. So: a channel may differ by 24, and at
# most 1% of the pixels by more.
first=$(ls "$golden"/*.rep | head -1)
first_id=${ids[-1]}  # registered first: the board lists it by score, the id is its order
for id in "${ids[@]}"; do
  cmp -s "$dir/$id.rep" "$first" && first_id=$id
done
steps=(1 240 900 1800)
"$native/tests/quadrel-viewer-frames" "$native/runtime" "$first" "$shots" "${steps[@]}" >/dev/null ||
  { echo "FAIL: the native frames"; fail=1; }
worst=0
for step in "${steps[@]}"; do
  chrome --window-size=640,480 --hide-scrollbars --virtual-time-budget=20000     --screenshot="$shots/browser-$step.png" "http://127.0.0.1:$port/watch/$first_id?step=$step" >/dev/null
  line=$("$native/tests/quadrel-viewer-frames" --compare "$shots/native-$step.png" "$shots/browser-$step.png" 24) ||
    { echo "FAIL step $step: $line"; fail=1; }
  echo "pixels step $step: $line"
done

# A game the board does not have, an address without a number, no WebGL2:
# a message in the page, and nothing in the console.
driver=$(dirname "$0")/watch_driver.py
"$driver" --message "$port" /watch/999999 "no game number 999999" || fail=1
"$driver" --message "$port" /watch/abc "names no game" || fail=1
"$driver" --message "$port" "/watch/${ids[0]}" "no WebGL2" --disable-3d-apis || fail=1
[ "$(curl -s -o /dev/null -w '%{http_code} %{redirect_url}' "http://127.0.0.1:$port/check?replay=/replays/${ids[0]}.rep")" = \
  "302 http://127.0.0.1:$port/web/verify.html?replay=/replays/${ids[0]}.rep" ] || { echo "FAIL: /check"; fail=1; }
[ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/web/../ranking.sqlite")" = 404 ] ||
  { echo "FAIL: a path out of the web folder was served"; fail=1; }
exit $fail
