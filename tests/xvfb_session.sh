# Sourced by the tests that drive the real program: a private Xvfb display
# (1024 x 768) with openbox, sound on SDL's silent driver, and fresh HOME,
# XDG_DATA_HOME (the player's files: $XDG_DATA_HOME/quadrel) and
# XDG_RUNTIME_DIR (the single-instance lock) under $work.
# Expects: $work (an empty private folder), the array pids (killed on exit),
# and fail MESSAGE (tests/e2e_lib.sh gives all three). Extra Xvfb arguments
# may be given in xvfb_args.
# Each test gets its own display (-displayfd picks a free one), so tests may
# run side by side; a window manager that does not start fails the test.

mkdir -p "$work/home" "$work/data"
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work SDL_AUDIODRIVER=dummy
unset QUADREL_DATA_DIR
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp ${xvfb_args[@]+"${xvfb_args[@]}"} \
  9>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
# openbox, tried again when it cannot reach a display that is just starting.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _attempt in 1 2 3; do
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 150); do
    wm_running && break
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  wm_running && break
  sleep 1
done
wm_running ||
  fail "the window manager (openbox) did not start on $DISPLAY: $(tail -n 3 "$work/openbox.log")"
