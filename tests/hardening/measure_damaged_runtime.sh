#!/usr/bin/env bash
# Starts the game on damaged copies of its runtime folder under Xvfb and
# reports, for each, the peak memory (/usr/bin/time -v) and whether it went
# on or stopped with its report within 5 s of the game scene being asked for.
# Boxes are answered with Enter; a game that goes on is ended with Escape.
# Each of the eleven models is also damaged once, each in its own way.
#   measure_damaged_runtime.sh PROGRAM RUNTIME_DIR [VIRTUAL_MEMORY_LIMIT_KIB]
# Each run is killed after 30 s at the latest; the optional memory limit
# (ulimit -v) keeps a program that would take gigabytes from harming the machine.
set -uo pipefail
export LANGUAGE= LC_ALL=C.UTF-8  # English boxes, whatever the caller speaks
program=$1 runtime=$2 vmem=${3:-unlimited}
kept=$(cd "$(dirname "$0")/../fuzz/regressions/xmodel" && pwd)
work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR=$work SDL_AUDIODRIVER=dummy XDG_DATA_HOME=$work/data
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1

sparse() { printf '%s' "$2" >"$1"; truncate -s "$3" "$1"; }
damage() {  # name: damages $dir
  local dir=$1 name=$2
  case $name in
    huge-count-model) sed -i '0,/^ [0-9]*;$/s//  2000000000;/' "$dir/model/ball.x" ;;
    fifo-model) rm "$dir/model/ball.x"; mkfifo "$dir/model/ball.x" ;;
    sparse-model) rm "$dir/model/wall.x"; sparse "$dir/model/wall.x" 'xof 0302txt 0032' 3G ;;
    endless-texture) sed -i 's|"./texture/floor.dds"|"/dev/zero"|' "$dir/model/ground.x" ;;
    fifo-texture) rm "$dir/texture/floor.dds"; mkfifo "$dir/texture/floor.dds" ;;
    giant-sparse-title) rm "$dir/texture/title.dds"; sparse "$dir/texture/title.dds" 'DDS ' 2500000000 ;;
    fifo-background) rm "$dir/texture/back.dds"; mkfifo "$dir/texture/back.dds" ;;
    wide-background) printf '\x01\x20\x00\x00' | dd of="$dir/texture/back.dds" bs=1 seek=16 conv=notrunc 2>/dev/null ;;
    fifo-music) rm "$dir/sound/bgm_1.ogg"; mkfifo "$dir/sound/bgm_1.ogg" ;;
    sparse-effect) rm "$dir/sound/bar.wav"; sparse "$dir/sound/bar.wav" 'RIFF' 3G ;;
    # The input that aborted the model library the game used before.
    ball-assert-input) cp "$kept/assimp-assert-face-without-corners.x" "$dir/model/ball.x" ;;
    bar-cut-in-half) m=$dir/model/bar.x; truncate -s $(($(stat -c %s "$m") / 2)) "$m" ;;
    block_b-index-out-of-range) sed -i '0,/^ 3;[0-9]*,[0-9]*,[0-9]*;,$/s// 3;0,1,99999;,/' "$dir/model/block_b.x" ;;
    block_g-nan) sed -i '0,/^ -\?[0-9]*\.[0-9]*;/s// -nan;/' "$dir/model/block_g.x" ;;
    block_p-deep-nesting) sed -i "1a$(printf 'Frame {%.0s' $(seq 40))" "$dir/model/block_p.x" ;;
    block_r-huge-uv-count) sed -i '/MeshTextureCoords {/{n;s/.*/ 2000000000;/}' "$dir/model/block_r.x" ;;
    block_s-material-index) sed -i '/MeshMaterialList {/{n;n;n;s/.*/ 7,/}' "$dir/model/block_s.x" ;;
    extend-normal-count) sed -i '/MeshNormals {/{n;s/.*/ 1;/}' "$dir/model/extend.x" ;;
    ground-open-string) sed -i 's|"./texture/floor.dds";|"./texture/fl|' "$dir/model/ground.x" ;;
    option-garbage) { printf 'xof 0302txt 0032\n'; head -c 4096 "$program"; } >"$dir/model/option.x" ;;
    wall-binary) sed -i '1s/txt/bin/' "$dir/model/wall.x" ;;
  esac
}

printf '%-27s %8s %-13s %-7s %4s %s\n' CASE PEAK_MiB SECONDS RESULT EXIT "FIRST STDERR LINE"
for name in huge-count-model fifo-model sparse-model endless-texture fifo-texture giant-sparse-title \
            fifo-background wide-background fifo-music sparse-effect ball-assert-input bar-cut-in-half \
            block_b-index-out-of-range block_g-nan block_p-deep-nesting block_r-huge-uv-count \
            block_s-material-index extend-normal-count ground-open-string option-garbage wall-binary; do
  dir=$work/rt-$name
  cp -r "$runtime" "$dir"
  damage "$dir" "$name"
  export XDG_RUNTIME_DIR=$work/xdg-$name  # a copy left hanging must not hold the next one's lock
  mkdir -p "$XDG_RUNTIME_DIR"
  (cd "$dir" && ulimit -v "$vmem" &&
    QUADREL_DATA_DIR=$dir exec /usr/bin/time -v -o "$work/time-$name" timeout -s KILL 30 "$program" 2>"$work/err-$name") &
  runner=$!
  for _ in $(seq 100); do xdotool search --name '^Quadrel$' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 1.5
  xdotool mousemove 512 416 click 1
  start=$(date +%s%N)
  result=running
  while :; do
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    if xdotool search --name '^Quadrel - (Notice|Error)$' >/dev/null 2>&1; then result=report; break; fi
    kill -0 $runner 2>/dev/null || { result=exited; break; }
    [ $elapsed -ge 5000 ] && break
    sleep 0.1
  done
  seconds=$(awk "BEGIN {printf \"%.1f\", $elapsed / 1000}")
  [ "$result" = running ] && seconds=">5 (goes on)"
  # Answer boxes, or end a game that went on.
  for _ in $(seq 40); do
    kill -0 $runner 2>/dev/null || break
    box=$(xdotool search --name '^Quadrel - (Notice|Error)$' 2>/dev/null | head -n1)
    if [ -n "$box" ]; then xdotool windowactivate --sync "$box" >/dev/null 2>&1; xdotool key Return
    else xdotool key Escape; fi
    sleep 0.3
  done
  # A copy that hangs (the runner is time, then timeout, then the game).
  if kill -0 $runner 2>/dev/null; then
    result="$result,hung"
    for child in $(pgrep -P "$(pgrep -P $runner | head -n1)"); do kill -KILL "$child"; done
  fi
  wait $runner 2>/dev/null
  code=$?
  peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$work/time-$name")
  printf '%-27s %8s %-13s %-7s %4s %s\n' "$name" "$peak" "$seconds" "$result" "$code" \
    "$(head -n1 "$work/err-$name")"
  rm -rf "$dir"
done
