#!/usr/bin/env bash
# The shipped nginx site in front of two ranking servers on one PostgreSQL
# database, every registration sent as the game sends it (request, shut of the
# sending side, reply read to the end): the same game sent through both at
# once is taken once; the board reads the same everywhere; a server killed
# with SIGKILL under load loses nothing that was answered "OK"; a streamed
# head is not held back.
#   server_nginx.sh SERVER CLIENT SITE_FILE SLOW_UPSTREAM
set -euo pipefail
server=$1 client=$2 site=$3 slow=$4
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/quadrel-nginx.XXXXXX)
fail() {
  echo "FAIL: $*" >&2
  tail -n 5 "$dir"/err* "$dir/nginx/logs/error.log" >&2 2>/dev/null || true
  exit 1
}
pids=()
. "$here/pg_cluster.sh"
. "$here/server_lib.sh"
. "$here/nginx_lib.sh"
cleanup() {
  nginx_stop
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  pg_stop
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Guarded until the server knows the options: the client's own address in the
# log; no per-address rate limit for a load from one address.
help=$("$server" --help 2>&1 || true)
proxy_args=() rate_args=()
if grep -q -- --trusted-proxy <<<"$help"; then proxy_args=(--trusted-proxy 127.0.0.1); fi
if grep -q -- --rate <<<"$help"; then rate_args=(--rate 0); fi

ports=()
for i in 1 2; do
  start_ranking_server "$dir/out$i" "$dir/err$i" "$server" --listen 127.0.0.1:0 --db "$PG_URL" \
    --top 1000000 "${proxy_args[@]}" "${rate_args[@]}"
  pids+=("$server_pid")
  ports+=("$server_port")
done
nginx_start "$dir/nginx" "$site" "${ports[@]}"
http=$nginx_http https=$nginx_https

# Pages move to HTTPS; the ranking path is served on port 80 itself.
location=$(curl -s -o /dev/null -w '%{redirect_url}' "http://127.0.0.1:$http/")
[[ $location == https://* ]] || fail "page on port 80 not redirected to HTTPS: '$location'"

# The same game at once through nginx, one request to each server.
replay=$(ls "$QUADREL_GOLDEN_DIR"/*.rep | head -n 1)
"$client" register "$http" "$replay" TwiceAtOne >"$dir/a" &
first=$!
"$client" register "$http" "$replay" TwiceAtOne >"$dir/b" || true
wait "$first" || true
verdicts=$(cat "$dir/a" "$dir/b" | sort | tr '\n' ' ')
[ "$verdicts" = "-1 OK " ] || fail "the same game twice at once got: $verdicts"
for i in 1 2; do
  n=$(grep -c 'POST /quadrel/ranking/ranking.cgi' "$dir/err$i" || true)
  [ "$n" = 1 ] || fail "server $i saw $n of the two registrations"
done
echo "same game through both servers at once: $verdicts"

# One board, read from each server and through nginx over HTTPS.
top1=$(curl -sf "http://127.0.0.1:${ports[0]}/api/top?n=1000")
top2=$(curl -sf "http://127.0.0.1:${ports[1]}/api/top?n=1000")
topn=$(curl -sfk "https://127.0.0.1:$https/api/top?n=1000")
[[ $top1 == *'"name":"TwiceAtOne"'* ]] || fail "board lacks the registered game: $top1"
[ "$top1" = "$top2" ] && [ "$top1" = "$topn" ] || fail "the boards differ"
echo "board equal from both servers and through nginx"

# Load through nginx; one server stops while holding a registration and is
# then killed with SIGKILL.
"$client" stream "$http" 120 "$dir/accepted" >"$dir/stream.out" &
stream=$!
count() { wc -l 2>/dev/null <"$dir/accepted" || echo 0; }
for _ in $(seq 600); do [ "$(count)" -ge 40 ] && break; sleep 0.05; done
kill -STOP "${pids[0]}"
# Round robin sends one of the next two games to the stopped server.
for _ in $(seq 200); do
  ss -Htn state established "( sport = :${ports[0]} )" | grep -q . && break
  sleep 0.05
done
sleep 0.3
before=$(count)
kill -9 "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
wait "$stream" || fail "load run: $(cat "$dir/stream.out")"
after=$(count)
echo "accepted before the kill: $before, in all: $after of 120"
# The held game must not be passed on to the other server (a POST is never
# sent twice); every other one is served by the survivor.
[ "$after" -eq 119 ] || fail "$after of 120 accepted; 119 expected"
"$client" check "${ports[1]}" "$dir/accepted" || fail "an accepted registration is missing"
! grep -q '" 499 ' "$dir/nginx/logs/access.log" || fail "nginx took a half-closed request for an abort"

if [ ${#proxy_args[@]} -gt 0 ]; then
  # A client on 127.0.0.2 with a forged header: the log names 127.0.0.2 only.
  curl -s -o /dev/null --interface 127.0.0.2 -H 'X-Forwarded-For: 203.0.113.9' \
    --data x "http://127.0.0.1:$http/quadrel/ranking/ranking.cgi"
  sleep 0.2
  grep -q '127\.0\.0\.2' "$dir/err2" || fail "the server's log lacks the client's address"
  ! grep -q '203\.0\.113\.9' "$dir/err1" "$dir/err2" || fail "a forged X-Forwarded-For was believed"
  echo "client address logged through the proxy"
else
  echo "skipped: the client's address in the log (server without --trusted-proxy)"
fi

# A server that sends its head at once and its verdict 3 s later: nginx passes
# the head on at once, as the game gives up after 3 s without a first byte.
nginx_stop
start_ranking_server "$dir/out3" "$dir/err3" "$slow" 3
pids+=("$server_pid")
nginx_start "$dir/nginx2" "$site" "$server_port"
first=$(curl -s -0 -o /dev/null -w '%{time_starttransfer}' --data-binary x \
  "http://127.0.0.1:$nginx_http/quadrel/ranking/ranking.cgi")
awk -v t="$first" 'BEGIN { exit !(t < 2) }' || fail "first byte through nginx after $first s"
echo "first byte through nginx after $first s"
