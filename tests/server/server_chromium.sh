#!/usr/bin/env bash
# The leaderboard in a real browser: a screenshot to look at, and the page's
# DOM as the browser built it, where a name with a script tag must be text.
set -euo pipefail
server=$1 client=$2 png=$3
golden=${QUADREL_GOLDEN_DIR:?}
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium not installed (package chromium)"; exit 1; }
dir=$(mktemp -d /tmp/quadrel-page.XXXXXX)
pid=
cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$dir"; }
trap cleanup EXIT

. "$(dirname "$0")/server_lib.sh"
start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 --db "$dir/ranking.sqlite"
pid=$server_pid port=$server_port

names=("<script>ab" "Alice     " "Bob & Co. " "ZZ Top    " "Quadrel!  " "O'Neil    ")
i=0
for rep in "$golden"/*.rep; do
  verdict=$("$client" register "$port" "$rep" "${names[$i]}")
  [ "$verdict" = "OK" ] || { echo "registration of $rep answered $verdict"; exit 1; }
  i=$((i + 1))
done

run_browser() {
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$dir/profile.XXXXXX")" "$@" 2>>"$dir/browser.log"
}
run_browser --window-size=1000,760 --screenshot="$png" "http://127.0.0.1:$port/" >/dev/null
[ -s "$png" ] || { echo "no screenshot"; tail -20 "$dir/browser.log"; exit 1; }
run_browser --dump-dom "http://127.0.0.1:$port/" >"$dir/dom.html"

fail=0
grep -q '<td class="name">&lt;script&gt;ab</td>' "$dir/dom.html" || { echo "the name is not shown as text"; fail=1; }
if grep -qi '<script' "$dir/dom.html"; then echo "a script element reached the page"; fail=1; fi
grep -q '<td class="level">ALL</td>' "$dir/dom.html" || { echo "no ALL level"; fail=1; }
rows=$(grep -o '<tr><td class="rank">' "$dir/dom.html" | wc -l)
[ "$rows" -eq 6 ] || { echo "expected 6 rows, found $rows"; fail=1; }
[ $fail -eq 0 ] || { head -c 3000 "$dir/dom.html"; exit 1; }
echo "page ok: $rows rows, screenshot $png"
