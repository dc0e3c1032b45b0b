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

# The recorded reference games live in ../shared/golden beside the checkout;
# a clone made elsewhere finds them beside the repository it was cloned from.
golden_dir() {
  local origin
  if [ -n "${QUADREL_GOLDEN_DIR:-}" ]; then echo "$QUADREL_GOLDEN_DIR"; return; fi
  if [ -d ../shared/golden ]; then (cd ../shared/golden && pwd); return; fi
  origin=$(git config --get remote.origin.url 2>/dev/null || true)
  origin=${origin#file://}
  if [ -n "$origin" ] && [ -d "$origin/../shared/golden" ]; then
    (cd "$origin/../shared/golden" && pwd); return
  fi
  echo "$(pwd)/../shared/golden"
}
export QUADREL_GOLDEN_DIR
QUADREL_GOLDEN_DIR=$(golden_dir)

build() {  # build PRESET [TARGET...]
  local preset=$1; shift
  cmake --preset "$preset" -DQUADREL_GOLDEN_DIR="$QUADREL_GOLDEN_DIR" >/dev/null
  if [ $# -gt 0 ]; then cmake --build --preset "$preset" --target "$@"
  else cmake --build --preset "$preset"; fi
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
    ctest --preset debug -j2
    build asan
    ctest --preset asan -j2
    # The same replays must give the same traces in every build and with clang.
    build release quadrel-replay
    build clang quadrel-replay
    scripts/compare-traces.sh build/debug/tools/replay/quadrel-replay build/asan/tools/replay/quadrel-replay \
      build/release/tools/replay/quadrel-replay build/clang/tools/replay/quadrel-replay
    # The readers of outside files under libFuzzer: a 30-second smoke run each.
    build fuzz
    tests/fuzz/run.sh build/fuzz 30
    ;;
  *) echo "usage: $0 play|test" >&2; exit 2 ;;
esac
