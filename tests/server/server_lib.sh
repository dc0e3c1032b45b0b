# Sourced by the server scripts: starts a ranking server in the background and
# reads the port from its start line ("listening on HOST:PORT" or
# "listening on HOST:PORT, database ...").
#   start_ranking_server OUT_FILE ERR_FILE SERVER ARGS...   sets server_pid, server_port
server_port_of() {  # server_port_of OUT_FILE
  sed -n 's/^listening on [^ ,]*:\([0-9][0-9]*\)\(,.*\)\{0,1\}$/\1/p' "$1" | head -n 1
}
start_ranking_server() {
  local out=$1 err=$2 program=$3
  shift 3
  : >"$out"
  "$program" "$@" >"$out" 2>>"$err" &
  server_pid=$!
  server_port=
  for _ in $(seq 200); do
    server_port=$(server_port_of "$out")
    [ -n "$server_port" ] && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "server did not start:" >&2
  cat "$err" >&2
  return 1
}
