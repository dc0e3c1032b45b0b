#!/usr/bin/env bash
# Assembles the ranking server's web folder (its --web DIR): the replay viewer
# and the replay check page from the wasm build, and the game's asset files the
# viewer draws and plays from a native build's runtime folder.
#   web-folder.sh WASM_BUILD_WEB_DIR NATIVE_RUNTIME_DIR OUT_DIR
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 WASM_BUILD_WEB_DIR NATIVE_RUNTIME_DIR OUT_DIR" >&2; exit 2; }
web=$1 runtime=$2 out=$3
pages=(watch.html watch.js quadrel-viewer.js quadrel-viewer.wasm verify.html quadrel-verify.js)
assets=(model/ball.x model/block_b.x model/block_g.x model/block_p.x model/block_r.x
  model/block_s.x model/bar.x model/ground.x model/wall.x model/option.x model/extend.x
  texture/back.dds texture/floor.dds font/glyphs-20-bold.bin font/glyphs-32-bold.bin
  sound/block.wav sound/bar.wav sound/bgm_1.ogg sound/bgm_2.ogg)
for f in "${pages[@]}"; do
  [ -f "$web/$f" ] || { echo "missing $web/$f (build the wasm preset: quadrel-viewer quadrel-verify)" >&2; exit 1; }
done
for f in "${assets[@]}"; do
  [ -f "$runtime/$f" ] || { echo "missing $runtime/$f (build quadrel-assets quadrel-web-glyphs natively)" >&2; exit 1; }
done
mkdir -p "$out"
for f in "${pages[@]}"; do cp "$web/$f" "$out/"; done
# Two packs, so that a page costs few requests: what the first frame needs, and
# the sounds, fetched when the visitor turns them on. Each entry: the name's
# length, the name, the size (32-bit little-endian), the bytes.
pack() {  # pack OUT FILES...
  local target=$1
  shift
  python3 - "$runtime" "$target" "$@" <<'PY'
import struct, sys
root, target, names = sys.argv[1], sys.argv[2], sys.argv[3:]
with open(target, "wb") as out:
    for name in names:
        data = open(root + "/" + name, "rb").read()
        out.write(struct.pack("<I", len(name)) + name.encode() + struct.pack("<I", len(data)) + data)
PY
}
pack "$out/game.pack" "${assets[@]:0:15}"
pack "$out/sound.pack" "${assets[@]:15}"
