#!/usr/bin/env bash
# Every golden replay verifies, and its trace equals the recorded trace.
set -u
tool=$1 golden=$2
ls "$golden"/*.rep >/dev/null 2>&1 || { echo "no replays in $golden"; exit 1; }
status=0
"$tool" verify "$golden"/*.rep || status=1
for rep in "$golden"/*.rep; do
  expected="${rep%.rep}.trace"
  if ! diff <(grep -v '^end ' "$expected") <("$tool" trace "$rep") >/dev/null; then
    echo "trace differs: $(basename "$rep")"; status=1
  fi
done
exit $status
