#!/usr/bin/env bash
# Checks the folders under src/ against the layer order: a file may include
# only its own folder and the layers below it, and a front end (cli, web,
# automation) never includes a sibling front end. Also checks that every
# folder says what lives there (its README.md). Prints each breach and exits
# with 1 when there is one.
# usage: check_layers.sh [SRC_FOLDER]   (default: the src/ beside this script)
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"

# What each folder may include besides itself. Keep in step with
# docs/architecture.md and the libraries in CMakeLists.txt.
declare -A allowed=(
  [host]=""
  [files]="host"
  [sheets]="host"
  [form]="host sheets"
  [statistics]="host sheets form"
  [division]="host sheets form statistics"
  [maintenance]="host sheets form"
  [bridge]="host sheets form statistics division maintenance"
  [app]="host files sheets form statistics division maintenance bridge"
  [cli]="host files sheets form statistics division maintenance bridge app"
  [web]="host files sheets form statistics division maintenance bridge app"
  [automation]="host sheets form statistics division maintenance bridge"
)

breaches=0
for folder in "$src"/*/; do
  layer="$(basename "$folder")"
  if [[ ! -v "allowed[$layer]" ]]; then
    echo "check_layers: src/$layer is not a known layer; add it to scripts/check_layers.sh" >&2
    breaches=$((breaches + 1))
    continue
  fi
  if [[ ! -f "$folder/README.md" ]]; then
    echo "check_layers: src/$layer has no README.md saying what lives there" >&2
    breaches=$((breaches + 1))
  fi
  while IFS=: read -r file line included; do
    target="${included%%/*}"
    [[ "$target" == "$layer" ]] && continue
    [[ " ${allowed[$layer]} " == *" $target "* ]] && continue
    [[ ! -v "allowed[$target]" ]] && continue  # not one of our folders
    echo "check_layers: ${file#"$src"/}:$line includes \"$included\": $layer may not include $target" >&2
    breaches=$((breaches + 1))
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^\s*#\s*include\s+"[A-Za-z_]+/' "$folder" |
           sed -E 's/^([^:]*):([0-9]+):\s*#\s*include\s+"([^"]+)".*/\1:\2:\3/')
done

if ((breaches > 0)); then
  echo "check_layers: $breaches breach(es) of the layer order" >&2
  exit 1
fi
echo "check_layers: every include follows the layer order"
