#!/usr/bin/env bash
# Builds the Windows automation server build-windows/myfb.dll (and its test
# programs) with Debian's mingw-w64 cross compiler. Installs the toolchain
# first. FENBAN_WINDOWS_ARCH=i686 builds the 32-bit server into build-windows-i686/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${FENBAN_JOBS:-$(nproc)}"
arch="${FENBAN_WINDOWS_ARCH:-x86_64}"
build="build-windows"
if [[ "$arch" != x86_64 ]]; then build="build-windows-$arch"; fi

bash scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-$arch.cmake" "${launcher[@]}"
cmake --build "$build" -j"$jobs"
echo "build-windows: $build/myfb.dll"
