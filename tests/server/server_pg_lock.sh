#!/usr/bin/env bash
# A process that holds the registration lock and then dies or freezes must not
# stall the others. Holders are the client's "hold" mode (a storage Register
# paused with the lock held); the others register through a ranking server.
#   killed:  a holder killed with SIGKILL while a registration waits for it
#   frozen:  a holder stopped with SIGSTOP; the database ends its idle
#            transaction, the waiting registration goes on, and the holder,
#            continued later, stores its game on a new connection
#   stuck:   a holder that stays alive with the lock is waited for only as long
#            as the lock time-out: the registration fails, it does not hang
set -euo pipefail
server=$1 client=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/pg_cluster.sh"
. "$here/server_lib.sh"
dir=$pg_dir/run
mkdir "$dir"
pids=()
cleanup() {
  for p in "${pids[@]}"; do
    kill -CONT "$p" 2>/dev/null || true
    kill -9 "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  pg_stop
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$dir/err" >&2
  exit 1
}

start_ranking_server "$dir/out" "$dir/err" "$server" --listen 127.0.0.1:0 --db "$PG_URL" --threads 2
pids+=("$server_pid")
games=("$QUADREL_GOLDEN_DIR"/*.rep)

hold() {  # hold NAME GAME URL: sets holder once it holds the lock
  "$client" hold "$3" "$2" "$1" >"$dir/$1" 2>>"$dir/err" &
  holder=$!
  pids+=("$holder")
  for _ in $(seq 200); do
    grep -q '^locked$' "$dir/$1" && return 0
    sleep 0.05
  done
  fail "$1 never held the lock: $(cat "$dir/$1")"
}
register() {  # register NAME GAME: the answer and the milliseconds it took, in $dir/NAME
  local start=$(date +%s%N)
  local answer=$("$client" register "$server_port" "$2" "$1" 2>>"$dir/err" || true)
  echo "$answer $((($(date +%s%N) - start) / 1000000)) ms" >"$dir/$1"
}
# The killed and stuck holders keep an idle transaction for a minute (the URL
# wins over the server's own limit), so only the kill, or nothing, frees them.
patient="$PG_URL&options=-c%20idle_in_transaction_session_timeout%3D60s"

hold HOLDKILLED "${games[0]}" "$patient"
register WAITKILLED "${games[1]}" &
waiter=$!
sleep 1
kill -9 "$holder"
wait "$holder" 2>/dev/null || true
wait "$waiter"
echo "killed: $(cat "$dir/WAITKILLED")"
[ "$(cut -d' ' -f1 "$dir/WAITKILLED")" = OK ] || fail "the registration after the kill"

hold HOLDFROZEN "${games[2]}" "$PG_URL"
kill -STOP "$holder"
register WAITFROZEN "${games[3]}"
echo "frozen: $(cat "$dir/WAITFROZEN")"
[ "$(cut -d' ' -f1 "$dir/WAITFROZEN")" = OK ] || fail "the registration beside the frozen holder"
grep -q 'idle-in-transaction timeout' "$pg_dir/server.log" \
  || fail "the database did not end the frozen transaction"
kill -CONT "$holder"
kill -USR1 "$holder"
wait "$holder" || true
echo "frozen holder, continued: $(cat "$dir/HOLDFROZEN" | tr '\n' ' ')"
[ "$(tail -n 1 "$dir/HOLDFROZEN")" = stored ] || fail "the continued holder"

hold HOLDSTUCK1 "${games[4]}" "$patient"
register WAITSTUCK1 "${games[5]}"
echo "stuck: $(cat "$dir/WAITSTUCK1")"
[ "$(cut -d' ' -f1 "$dir/WAITSTUCK1")" = -1 ] || fail "the registration behind the stuck holder"
grep -q 'lock timeout' "$dir/err" || fail "no lock time-out in the log"
kill -9 "$holder"
wait "$holder" 2>/dev/null || true
register WAITSTUCK1 "${games[5]}"
[ "$(cut -d' ' -f1 "$dir/WAITSTUCK1")" = OK ] || fail "the registration after the stuck holder"

"$client" check "$server_port" <(printf '%s\n' WAITKILLED WAITFROZEN HOLDFROZEN WAITSTUCK1)
