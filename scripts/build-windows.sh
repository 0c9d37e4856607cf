#!/usr/bin/env bash
# Builds the Windows automation server myfb.dll (and its test programs) with
# Debian's mingw-w64 cross compilers, for 64-bit Windows into build-windows/
# and for 32-bit Windows into build-windows-i686/, then the teacher's
# installer build-windows/fenban-setup.exe with Debian's NSIS, which carries
# help.doc made by the Linux build. Installs the
# toolchain first. FENBAN_WINDOWS_ARCH=x86_64 or =i686 builds one server only
# (the installer is made whenever both servers are built).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${FENBAN_JOBS:-$(nproc)}"
read -r -a archs <<<"${FENBAN_WINDOWS_ARCH:-x86_64 i686}"
build_of() { if [[ "$1" == x86_64 ]]; then echo build-windows; else echo "build-windows-$1"; fi; }

bash scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
for arch in "${archs[@]}"; do
  build="$(build_of "$arch")"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-$arch.cmake" "${launcher[@]}"
  cmake --build "$build" -j"$jobs"
  echo "build-windows: $build/myfb.dll"
done

# The installer carries both servers and the teacher's manual help.doc; it is
# made once both servers are built. help.doc is the one the Linux build's
# `fenban init` writes from docs/教师指南.md (its generator stays out of the
# Windows build), so the Linux program is built first (build/, as
# scripts/test.sh builds it; only the target fenban).
if [[ -f build-windows/myfb.dll && -f build-windows-i686/myfb.dll ]]; then
  if [[ ! -f build/CMakeCache.txt ]]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
  fi
  cmake --build build -j"$jobs" --target fenban
  manual_host="$(mktemp -d)"
  build/fenban init "$manual_host/host" >/dev/null
  cp "$manual_host/host/help.doc" build-windows/help.doc
  rm -rf "$manual_host"
  echo "build-windows: build-windows/help.doc"
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="${FENBAN_VERSION:-1.0}" \
    -DX64_DLL="$PWD/build-windows/myfb.dll" -DX86_DLL="$PWD/build-windows-i686/myfb.dll" \
    -DHELP_DOC="$PWD/build-windows/help.doc" \
    -DOUTFILE="$PWD/build-windows/fenban-setup.exe" scripts/installer/fenban.nsi
  echo "build-windows: build-windows/fenban-setup.exe"
fi
