#!/usr/bin/env bash
# retried-tests.sh names the tests that failed and then passed on a retry,
# and nothing else: not a test that passed at once, not one that failed twice.
set -euo pipefail
script=${1:?usage: retried_tests_test.sh RETRIED_TESTS_SH}
out=$("$script" <<'LOG'
    Start 1: Flaky.Once
    Start 2: always_good
1/4 Test #1: Flaky.Once .......................***Failed    0.01 sec
    Start 1: Flaky.Once
2/4 Test #2: always_good ......................   Passed    0.01 sec
    Start 3: always_bad
    Test #1: Flaky.Once .......................   Passed    0.00 sec
3/4 Test #3: always_bad .......................***Failed    0.00 sec
    Start 3: always_bad
    Test #3: always_bad .......................***Failed    0.00 sec
    Start 4: slow_e2e
4/4 Test #4: slow_e2e .........................***Timeout 120.01 sec
    Start 4: slow_e2e
    Test #4: slow_e2e .........................   Passed   12.00 sec
LOG
)
expected=$'passed only on a retry: Flaky.Once\npassed only on a retry: slow_e2e'
if [ "$out" != "$expected" ]; then
  printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$out" >&2
  exit 1
fi
