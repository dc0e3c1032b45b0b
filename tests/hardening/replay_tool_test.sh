#!/usr/bin/env bash
# quadrel-replay on damaged input: a FIFO is refused at once, a crafted long
# replay ends at the step bound, trace fails for a replay that does not
# verify, and each verdict is written as soon as it is known.
set -u
tool=$1 golden=$2
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

mkfifo "$work/fifo.rep"
# 172 bytes: the header and one frame numbered 2147483000.
python3 - "$work/long.rep" <<'PY'
import struct, sys
head = b"for Quadrel data.\0\0\0" + struct.pack("<i20siiii", 0, b"2005/05/11 13:04:05", 2147483000, 20050511, 0, 0)
head += bytes(160 - len(head))
open(sys.argv[1], "wb").write(head + struct.pack("<hBBii", 0, 0, 0, 2147483000, 0))
PY
[ "$(stat -c %s "$work/long.rep")" = 172 ] || fail "crafted replay is not 172 bytes"

for command in info verify trace; do
  out=$(timeout 10 "$tool" $command "$work/fifo.rep" 2>&1); rc=$?
  [ $rc -eq 1 ] || fail "$command on a FIFO exits $rc"
  grep -q 'not a regular file (a FIFO)' <<<"$out" || fail "$command on a FIFO says: $out"
done

start=$(date +%s%N)
out=$(timeout 20 "$tool" verify "$work/long.rep" 2>&1); rc=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ $rc -eq 1 ] || fail "verify of the crafted replay exits $rc"
grep -q 'not reached within 216000 steps' <<<"$out" || fail "crafted replay verdict: $out"
echo "crafted 172-byte replay rejected in $ms ms"

timeout 20 "$tool" trace "$work/long.rep" >/dev/null 2>"$work/err"; rc=$?
[ $rc -eq 1 ] || fail "trace of a replay that does not verify exits $rc"
grep -q 'end mismatch' "$work/err" || fail "trace gives no verdict: $(cat "$work/err")"

good=$(ls "$golden"/*.rep 2>/dev/null | head -n1)
if [ -n "$good" ]; then
  timeout 20 "$tool" trace "$good" >/dev/null || fail "trace of a good replay fails"
  out=$(timeout 20 "$tool" verify "$good" "$work/fifo.rep" "$good"); rc=$?
  [ $rc -eq 1 ] || fail "verify with a FIFO among good files exits $rc"
  [ "$(grep -c ': ok ' <<<"$out")" = 2 ] || fail "verdicts lost: $out"
  # The first verdict reaches a file while later checks still run.
  longs=()
  for i in $(seq 1 100); do longs+=("$work/long.rep"); done
  "$tool" verify "$good" "${longs[@]}" >"$work/verdicts" &
  pid=$!
  seen=0
  for _ in $(seq 1 200); do
    kill -0 $pid 2>/dev/null || break
    if grep -q ': ok ' "$work/verdicts"; then seen=1; break; fi
    sleep 0.05
  done
  kill $pid 2>/dev/null
  [ $seen = 1 ] || fail "the first verdict was held back while the check went on"
else
  echo "no recorded games in $golden: skipping the good-replay checks"
fi
[ $status = 0 ] && echo "replay tool on damaged files: ok"
exit $status
