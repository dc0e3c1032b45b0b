#!/usr/bin/env bash
# Hostile clients against a started server: bombs that must cost no memory,
# slow connections that must not starve the others (server_abuse.py).
# Every connection of the slow ones is held (--per-address 64): they cost a
# descriptor each, never a thread.
set -euo pipefail
server=$1
golden=${QUADREL_GOLDEN_DIR:?}
command -v brotli >/dev/null || { echo "brotli not installed (package brotli)"; exit 1; }
dir=$(mktemp -d /tmp/quadrel-abuse.XXXXXX)
pid=
cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$dir"; }
trap cleanup EXIT

. "$(dirname "$0")/server_lib.sh"
start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 \
  --db "$dir/ranking.sqlite" --rate 0 --per-address 64
pid=$server_pid
status=0
python3 "$(dirname "$0")/server_abuse.py" "$server_port" "$pid" "$golden" || status=$?
kill -0 "$pid" || { echo "the server died"; status=1; }
echo "server log (last lines):"
tail -n 5 "$dir/err"
exit $status
