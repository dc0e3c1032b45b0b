#!/usr/bin/env bash
# Checks that every given quadrel-replay build prints byte-identical traces
# for every recorded game in the golden folder.
set -euo pipefail
golden=${QUADREL_GOLDEN_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data/golden}
[ $# -ge 2 ] || { echo "usage: $0 QUADREL_REPLAY QUADREL_REPLAY..." >&2; exit 2; }
ls "$golden"/*.rep >/dev/null 2>&1 || { echo "no replays in $golden" >&2; exit 1; }
reference=$1; shift
status=0 compared=0
for rep in "$golden"/*.rep; do
  want=$("$reference" trace "$rep" | sha256sum)
  for tool in "$@"; do
    got=$("$tool" trace "$rep" | sha256sum)
    if [ "$got" != "$want" ]; then
      echo "DIFFERENT: $tool trace $(basename "$rep")"; status=1
    fi
    compared=$((compared + 1))
  done
done
echo "traces: $compared compared against $reference, $([ $status -eq 0 ] && echo identical || echo DIFFERENT)"
exit $status
