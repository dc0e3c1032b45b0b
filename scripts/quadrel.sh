#!/usr/bin/env bash
# Set up a Debian 12 machine for Quadrel, build it, then play or test.
#   scripts/quadrel.sh play   install what is missing, build, start the game
#   scripts/quadrel.sh test   install what is missing, build every configuration, run all tests
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-play}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

install_missing() {
  local wanted=() missing=() pkg
  mapfile -t wanted < <(cat scripts/packages/*.txt | sed 's/#.*//' | awk 'NF {print $1}' | sort -u)
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The recorded reference games are test data in tests/data/golden; another
# folder of them can be given with QUADREL_GOLDEN_DIR.
golden_args=()
if [ -n "${QUADREL_GOLDEN_DIR:-}" ]; then golden_args=(-DQUADREL_GOLDEN_DIR="$QUADREL_GOLDEN_DIR"); fi
export QUADREL_GOLDEN_DIR=${QUADREL_GOLDEN_DIR:-$(pwd)/tests/data/golden}

build() {  # build PRESET [TARGET...]
  local preset=$1; shift
  cmake --preset "$preset" "${golden_args[@]}" >/dev/null
  if [ $# -gt 0 ]; then cmake --build --preset "$preset" --target "$@"
  else cmake --build --preset "$preset"; fi
}

# Unit tests run once. The tests that drive a real X server (label e2e) may
# run twice, so a rare race in an X session does not fail the whole run (a
# second failure does); each one that needed the second try is named.
run_tests() {  # run_tests PRESET
  ctest --preset "$1" -j2 -LE e2e
  local log status=0
  log=$(mktemp)
  ctest --preset "$1" -j2 -L e2e --repeat until-pass:2 | tee "$log" || status=$?
  scripts/retried-tests.sh "$log"
  rm -f "$log"
  return "$status"
}

install_missing
case "$mode" in
  play)
    build release
    if [ -x build/release/quadrel ]; then
      cd build/release/runtime && exec ../quadrel
    else
      echo "Built the core and its tools in build/release; the game program itself is not part of this build yet."
    fi
    ;;
  test)
    echo "Recorded games: $QUADREL_GOLDEN_DIR"
    build debug
    run_tests debug
    build asan
    run_tests asan
    # The same replays must give the same traces in every build and with clang.
    build release quadrel-replay
    build clang quadrel-replay
    # And compiled to WebAssembly, run by node and in the browser page.
    build wasm quadrel-replay quadrel-verify quadrel-viewer
    build/wasm/tools/replay/quadrel-replay verify "$QUADREL_GOLDEN_DIR"/*.rep
    tests/web/verify_page_test.sh build/wasm/web build/release/tools/replay/quadrel-replay "$QUADREL_GOLDEN_DIR"
    # The replay viewer on the board, now that the wasm build has it (the
    # debug run above skipped it).
    ctest --preset debug -R '^watch_page$' --repeat until-pass:2
    # And for 64-bit ARM, run under qemu.
    build aarch64 quadrel-replay
    build/aarch64/tools/replay/quadrel-replay-emulated verify "$QUADREL_GOLDEN_DIR"/*.rep
    scripts/compare-traces.sh build/debug/tools/replay/quadrel-replay build/asan/tools/replay/quadrel-replay \
      build/release/tools/replay/quadrel-replay build/clang/tools/replay/quadrel-replay \
      build/wasm/tools/replay/quadrel-replay build/aarch64/tools/replay/quadrel-replay-emulated
    # The Debian package of the release build: installed, started and removed.
    build release quadrel quadrel-replay quadrel-assets
    tests/install/deb_test.sh build/release
    # The readers of outside files under libFuzzer: a repeatable smoke run each (at most 30 s).
    build fuzz
    FUZZ_SEED=1 FUZZ_RUNS=10000 tests/fuzz/run.sh build/fuzz 30
    ;;
  *) echo "usage: $0 play|test" >&2; exit 2 ;;
esac
