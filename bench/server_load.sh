#!/usr/bin/env bash
# Load of the ranking server, measured (not a test): registrations of distinct
# games from the recorded ones, verification included, sent from a loopback
# client with several connections at once; accepted per second, median and
# 99th-percentile answer time; 1 and 2 worker threads; SQLite and PostgreSQL;
# then through the shipped nginx site before 1 and 2 servers on PostgreSQL;
# then SQLite again under 64 slow connections from another address (each
# sending a header line a second, reconnecting when the head deadline ends it).
#   bench/server_load.sh [BUILD_DIR] [COUNT] [CLIENTS]
# BUILD_DIR defaults to build/release (cmake --build --preset release
#   --target quadrel-ranking-server quadrel-register-client).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
count=${2:-400}
clients=${3:-4}
server=$build/server/quadrel-ranking-server
client=$build/tests/quadrel-register-client
export QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR:-$(pwd)/tests/data/golden}
[ -x "$server" ] && [ -x "$client" ] || { echo "build $server and $client first" >&2; exit 1; }

work=$(mktemp -d /tmp/quadrel-load.XXXXXX)
pids=()
stop_servers() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  pids=()
}
. tests/server/pg_cluster.sh
. tests/server/server_lib.sh
. tests/server/nginx_lib.sh
trap 'stop_slow; nginx_stop; stop_servers; pg_stop; rm -rf "$work"' EXIT

# One loopback address sends the whole load: no per-address rate limit.
rate_args=(--rate 0 --per-address 64)

slow=
stop_slow() { if [ -n "$slow" ]; then kill "$slow" 2>/dev/null || true; wait "$slow" 2>/dev/null || true; slow=; fi; }
start_slow() {  # start_slow PORT: 64 trickling connections from 127.0.0.3
  python3 - "$1" <<'PY' &
import select, socket, sys, time
port = int(sys.argv[1])
def connect():
    s = socket.socket()
    s.bind(("127.0.0.3", 0))
    s.connect(("127.0.0.1", port))
    s.sendall(b"GET /api/top HTTP/1.1\r\n")
    return s
held = [connect() for _ in range(64)]
n = 0
while True:
    time.sleep(1)
    n += 1
    for i, s in enumerate(held):
        closed = select.select([s], [], [], 0)[0]
        try:
            if closed:
                raise OSError
            s.send(b"X-Slow-%d: 1\r\n" % n)
        except OSError:
            s.close()
            held[i] = connect()
PY
  slow=$!
  sleep 1
}


run() {  # run LABEL DB WORKERS FIRST [SLOW]
  local label=$1 db=$2 workers=$3 first=$4 with_slow=${5:-}
  start_ranking_server "$work/out" "$work/err" "$server" --listen 127.0.0.1:0 --db "$db" \
    --top 1000000 --threads "$workers" --verifiers "$workers" "${rate_args[@]}"
  pids=("$server_pid")
  local port=$server_port
  [ -z "$with_slow" ] || start_slow "$port"
  printf '%-10s workers %d  ' "$label" "$workers"
  "$client" bench "$port" "$count" "$clients" "$first"
  stop_slow
  stop_servers
}

run_nginx() {  # run_nginx SERVERS FIRST: each server with 2 workers, on PostgreSQL
  local n=$1 first=$2 ports=() i
  for i in $(seq "$n"); do
    start_ranking_server "$work/out$i" "$work/err$i" "$server" --listen 127.0.0.1:0 \
      --db "$PG_URL" --top 1000000 --threads 2 --verifiers 2 "${rate_args[@]}"
    pids+=("$server_pid")
    ports+=("$server_port")
  done
  nginx_start "$work/nginx" dist/nginx/quadrel-ranking.conf "${ports[@]}"
  printf 'nginx      servers %d  ' "$n"
  "$client" bench "$nginx_http" "$count" "$clients" "$first"
  nginx_stop
  stop_servers
}

echo "$(nproc) cores; $count registrations per run from $clients connections at once"
first=0
for workers in 1 2; do
  run sqlite "$work/ranking-$workers.sqlite" "$workers" "$first"
  first=$((first + count))
done
for workers in 1 2; do
  run postgresql "$PG_URL" "$workers" "$first"
  first=$((first + count))
done
for servers in 1 2; do
  run_nginx "$servers" "$first"
  first=$((first + count))
done
run "sqlite, under 64 slow connections:" "$work/ranking-slow.sqlite" 2 "$first" slow
