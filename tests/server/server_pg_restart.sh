#!/usr/bin/env bash
# A database restart under a running server: registrations stream in while the
# private PostgreSQL cluster restarts, once shut down cleanly (-m fast) and
# once as after a crash (-m immediate). Once it is back every registration
# must be accepted, and every one answered as accepted must be on the board.
set -euo pipefail
server=$1 client=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/pg_cluster.sh"
. "$here/server_lib.sh"
dir=$pg_dir/run
mkdir "$dir"
pid= stream=
cleanup() {
  for p in $stream $pid; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  pg_stop
}
trap cleanup EXIT

start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 --db "$PG_URL" \
  --top 1000000 --threads 4 --rate 0
pid=$server_pid
answers() { cat "$dir/answers" 2>/dev/null | wc -l; }
wait_answers() {  # wait_answers N: until N registrations have been answered
  for _ in $(seq 1200); do
    [ "$(answers)" -ge "$1" ] && return 0
    kill -0 "$stream" 2>/dev/null || break
    sleep 0.05
  done
  echo "only $(answers) of $1 registrations answered" >&2
  cat "$dir/err" >&2
  exit 1
}

"$client" stream "$server_port" 1000000 "$dir/accepted" "$dir/answers" >"$dir/stream.out" &
stream=$!
wait_answers 30
backs=()
for mode in fast immediate; do
  "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -m "$mode" -w -t 60 \
    restart >/dev/null
  back=$(answers)
  backs+=("$back")
  echo "restart -m $mode: back after $back answers"
  wait_answers $((back + 30))
done
kill "$stream"
wait "$stream" 2>/dev/null || true
stream=

# The one registration under way as the cluster came back may have met it
# down; every later one, up to the next restart, must be accepted.
status=0
for back in "${backs[@]}"; do
  after() { tail -n +$((back + 2)) "$dir/answers" | head -n 29; }
  if after | grep -qv ' OK$'; then
    echo "registrations refused after the restart (answer $((back + 2)) on):" >&2
    after | grep -v ' OK$' >&2
    status=1
  fi
done
echo "answered $(answers), accepted $(wc -l <"$dir/accepted")," \
  "refused $(grep -cv ' OK$' "$dir/answers" || true)"
"$client" check "$server_port" "$dir/accepted" || status=1
[ "$status" -eq 0 ] || cat "$dir/err" >&2
exit "$status"
