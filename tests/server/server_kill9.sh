#!/usr/bin/env bash
# Durability: registrations stream in, the server is killed with SIGKILL in the
# middle, restarted on the same database: every registration that was answered
# as accepted must be there, and the database must pass its integrity check.
set -euo pipefail
server=$1 client=$2
dir=$(mktemp -d /tmp/quadrel-kill9.XXXXXX)
pid=
cleanup() { if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -rf "$dir"; }
trap cleanup EXIT

. "$(dirname "$0")/server_lib.sh"
start_server() {
  start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 \
    --db "$dir/ranking.sqlite" --top 1000000 --rate 0
  pid=$server_pid port=$server_port
}

start_server
"$client" stream "$port" 1000000 "$dir/accepted" >"$dir/stream.out" &
stream=$!
# Kill once a good number of answers are in, while more are on the way.
for _ in $(seq 200); do
  [ "$(wc -l <"$dir/accepted" 2>/dev/null || echo 0)" -ge 150 ] && break
  sleep 0.05
done
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
wait "$stream"
echo "answered as accepted before the kill: $(wc -l <"$dir/accepted")"

start_server
"$client" check "$port" "$dir/accepted"
"$client" integrity "$dir/ranking.sqlite"
