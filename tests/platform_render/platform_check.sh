#!/usr/bin/env bash
# quadrel-platform-check under a private Xvfb: exits 0 and writes a 640 x 480 PNG.
#   platform_check.sh TOOL
set -uo pipefail
tool=$1
work=$(mktemp -d)
xvfb=""
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
mkdir "$work/runtime"
(cd "$work/runtime" && "$tool" out.png) || { echo "FAIL: the tool exited $?"; exit 1; }
# PNG signature, then the IHDR width and height.
header=$(od -An -tx1 -N24 "$work/runtime/out.png" | tr -d ' \n')
[ "${header:0:16}" = "89504e470d0a1a0a" ] || { echo "FAIL: not a PNG"; exit 1; }
[ "${header:32:16}" = "00000280000001e0" ] || { echo "FAIL: not 640 x 480"; exit 1; }
echo "1 passed, 0 failed"
