#!/usr/bin/env bash
# Wall-clock time of `quadrel-replay verify` over all recorded games, for each
# given build (native, WebAssembly under node, ...): the median of 5 runs.
#   bench/verify_timing.sh QUADREL_REPLAY...
set -euo pipefail
golden=${QUADREL_GOLDEN_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data/golden}
[ $# -ge 1 ] || { echo "usage: $0 QUADREL_REPLAY..." >&2; exit 2; }
replays=("$golden"/*.rep)
for tool in "$@"; do
  times=()
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$tool" verify "${replays[@]}" >/dev/null
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
  done
  sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
  echo "$tool: ${#replays[@]} replays, median ${median} ms (runs: ${sorted% })"
done
