#!/usr/bin/env bash
# Installs what fenban needs (and GNU time), builds the program and the
# benchmarks (Release, in build-bench/), then runs bench/compare with the
# arguments given, for example: bash scripts/bench.sh --sizes "2000 100000"
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if [[ ! -x /usr/bin/time ]]; then
  as_root=()
  if [[ "$(id -u)" -ne 0 ]]; then as_root=(sudo); fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends time
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DFENBAN_BUILD_TESTS=OFF
cmake --build build-bench -j"${FENBAN_JOBS:-$(nproc)}" --target fenban fenban_bench fenban_zlib_floor
exec bash bench/compare --build build-bench "$@"
