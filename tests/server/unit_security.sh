#!/usr/bin/env bash
# The shipped systemd unit stays hardened: systemd's own offline rating of its
# exposure must be 2.0 or lower (0 is fully locked down, 10 not at all).
#   unit_security.sh UNIT_FILE
set -euo pipefail
unit=$1
command -v systemd-analyze >/dev/null || { echo "systemd-analyze not found (package systemd)" >&2; exit 1; }
report=$(systemd-analyze security --offline=yes "$unit" 2>&1) || { echo "$report" >&2; exit 1; }
level=$(sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
[ -n "$level" ] || { echo "no rating in: $report" >&2; exit 1; }
echo "exposure $level"
awk -v l="$level" 'BEGIN { exit !(l <= 2.0) }' || { grep '✗' <<<"$report" >&2; exit 1; }
