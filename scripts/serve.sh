#!/usr/bin/env bash
# The teacher's one command: installs what fenban needs, builds it when it is
# not built yet, creates the host folder when it does not exist, and opens the
# page in the browser. Usage: bash scripts/serve.sh [FOLDER] (default 分班).
# Ctrl-C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-分班}"

if [[ ! -x build/fenban ]]; then
  bash scripts/install-deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j"${FENBAN_JOBS:-$(nproc)}" --target fenban
fi
if [[ ! -f "$folder/fenban.xlsx" ]]; then
  build/fenban init "$folder"
fi
exec build/fenban serve -C "$folder" --open
