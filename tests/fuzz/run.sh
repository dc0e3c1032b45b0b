#!/usr/bin/env bash
# Runs each fuzzer for SECONDS on a working corpus seeded from the build's
# seeds, then replays the inputs kept in tests/fuzz/regressions/<target>/
# (what earlier runs found); fails when one finds a crash, a leak or
# undefined behaviour.
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]   (targets: replay xmodel dds)
set -uo pipefail
build=$1 seconds=$2; shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(replay xmodel dds)
regressions=$(cd "$(dirname "$0")" && pwd)/regressions
status=0
for name in "${targets[@]}"; do
  fuzzer=$build/tests/fuzz/fuzz_$name
  corpus=$build/fuzz-corpus/$name
  mkdir -p "$corpus" "$build/fuzz-findings"
  log=$build/fuzz-findings/$name.log
  # One input may take a moment (a replay is re-simulated); anything beyond
  # 10 s counts as a hang, beyond 1 GiB as a memory blow-up.
  # FUZZ_SEED and FUZZ_RUNS make a run repeatable (the test command sets both).
  "$fuzzer" -max_total_time="$seconds" -seed="${FUZZ_SEED:-0}" -runs="${FUZZ_RUNS:--1}" -timeout=10 -rss_limit_mb=1024 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$name-" \
    "$corpus" "$build/seeds/$name" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1)
  echo "fuzz_$name: ${seconds}s, ${runs:-?} executions, ${cov:-cov: ?}, exit $rc"
  if [ $rc -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 20
  fi
  kept=("$regressions/$name"/*)
  if [ -e "${kept[0]}" ]; then
    # Each kept input once, as files: libFuzzer runs them and stops at a failure.
    if "$fuzzer" -timeout=10 -rss_limit_mb=1024 "${kept[@]}" >"$log.regressions" 2>&1; then
      echo "fuzz_$name: ${#kept[@]} kept inputs replayed, all pass"
    else
      status=1
      echo "fuzz_$name: a kept input fails again:"
      grep -E 'Running:|ERROR|SUMMARY|runtime error' "$log.regressions" | tail -n 20
    fi
  fi
done
exit $status
