#!/usr/bin/env bash
# Each folder under src may include only itself and the folders below it.
# A folder's rank is its place in this list; an include of a folder ranked
# higher (or not listed) is a fault. platform stands beside the core, so
# it may not include game, ranking, verify or net either.
set -euo pipefail
src=${1:?usage: include_order.sh SRC_DIR}

declare -A allowed=(
  [base]="base"
  [files]="base files"
  [replay]="base files replay"
  [game]="base files replay game"
  [ranking]="base files replay game ranking"
  [verify]="base files replay game verify"
  [net]="base files replay game ranking net"
  [platform]="base files platform"
  [scenes]="base files replay game ranking verify net platform scenes"
  [app]="base files replay game ranking verify net platform scenes app"
)

faults=0
for dir in "$src"/*/; do
  layer=$(basename "$dir")
  if [[ -z ${allowed[$layer]+x} ]]; then
    echo "src/$layer: a folder with no place in the layer order" >&2
    faults=$((faults + 1))
    continue
  fi
  while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -n 's/.*#include "\([^/"]*\)\/.*/\1/p' <<<"${hit#*:}")
    [[ -z $target ]] && continue
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "${file#"$src"/}: includes $target, above or beside $layer" >&2
      faults=$((faults + 1))
    fi
  done < <(grep -rn '#include "' "$dir" || true)
done
if ((faults)); then
  echo "$faults include(s) against the layer order" >&2
  exit 1
fi
echo "includes follow the layer order"
