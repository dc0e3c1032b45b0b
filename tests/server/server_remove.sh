#!/usr/bin/env bash
# The remove command on a SQLite database the server filled: one line per
# removed entry, exit 1 for an unknown id, and the removed game is refused
# when it comes again.
set -euo pipefail
server=$1 client=$2
dir=$(mktemp -d /tmp/quadrel-remove.XXXXXX)
pid=
cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$dir"; }
trap cleanup EXIT
. "$(dirname "$0")/server_lib.sh"
golden=$(ls "$QUADREL_GOLDEN_DIR"/*.rep | head -n 1)
start() {
  start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 --db "$dir/r.sqlite"
  pid=$server_pid
}
stop() { kill "$pid"; wait "$pid" || true; pid=; }

start
[ "$("$client" register "$server_port" "$golden" "CHEATER   ")" = OK ]
stop
out=$("$server" remove --db "$dir/r.sqlite" 1)
[ "$out" = "removed 1: $(basename "$golden" | sed 's/_.*//; s/^0*//') CHEATER   " ] || { echo "got: $out" >&2; exit 1; }
if "$server" remove --db "$dir/r.sqlite" 1 2>"$dir/unknown"; then echo "unknown id removed" >&2; exit 1; fi
grep -q "no entry 1" "$dir/unknown"
if "$server" remove --db "$dir/missing.sqlite" 1 2>/dev/null; then echo "missing database" >&2; exit 1; fi
[ ! -e "$dir/missing.sqlite" ]
start
[ "$("$client" register "$server_port" "$golden" "AGAIN     ")" = "-1" ]
stop
echo "remove: ok"
