#!/usr/bin/env bash
# Reads ctest's output (run with --repeat until-pass:N) and names every test
# that failed first and passed on a later try, one line each. Exits 0.
exec awk '
  match($0, /Test +#[0-9]+: /) {
    rest = substr($0, RSTART + RLENGTH)
    name = rest
    if (!sub(/ [.]+.*$/, "", name)) sub(/ +(\*\*\*|Passed).*$/, "", name)
    if (rest ~ /Passed +[0-9.]+ sec *$/) {
      if (name in failed && !(name in named)) { named[name] = 1; order[++n] = name }
    } else {
      failed[name] = 1
    }
  }
  END { for (i = 1; i <= n; ++i) print "passed only on a retry: " order[i] }
' "$@"
