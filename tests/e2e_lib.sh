# Sourced first by the scripts that drive the real program: a private
# folder $work (mode $work_mode, 700 unless set), the array pids of the
# processes started (killed and waited for on exit, then $work removed),
# fail MESSAGE, and window_named TITLE [WHAT] that waits up to 20 s for a
# window of that title and prints its id, and expect_exit PID CODE WHAT.
# The program speaks English here, whatever the caller's language.
export LANGUAGE= LC_ALL=C.UTF-8
work=$(mktemp -d)
chmod "${work_mode:-700}" "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

window_named() {
  local id=""
  for _ in $(seq 200); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window titled $1${2:+ $2}"
}

# Waits up to 15 s for process PID to end after WHAT (Escape, a fatal
# report); fails unless it ended with exit code CODE.
expect_exit() {  # PID CODE WHAT
  local code
  for _ in $(seq 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && fail "$3 did not end the program"
  wait "$1"
  code=$?
  [ "$code" -eq "$2" ] || fail "exit code $code after $3"
}
