#!/usr/bin/env bash
# Installs what fenban needs (GNU time included), builds the program and the
# benchmarks (Release, in build-bench/), then runs bench/compare with the
# arguments given, for example: bash scripts/bench.sh --sizes "2000 100000"
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DFENBAN_BUILD_TESTS=OFF
cmake --build build-bench -j"${FENBAN_JOBS:-$(nproc)}" --target fenban fenban_bench fenban_zlib_floor
exec bash bench/compare --build build-bench "$@"
