#!/usr/bin/env bash
# Installs the Debian packages that fenban needs to build, test and check
# its workbooks: clang with its fuzzer and sanitizer runtimes (libclang-rt-14-dev,
# which clang only recommends) for the fuzz step, GNU time for bench/compare,
# both mingw-w64 cross compilers and 64- and 32-bit wine (wine32 comes from
# the i386 architecture, added here) for the Windows server of each bitness,
# NSIS for its installer.
# Packages already installed are not fetched again. Then the browser tests'
# npm packages, from their lock file.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libxlsxwriter-dev libzip-dev libexpat1-dev libfreexl-dev zlib1g-dev
  libcli11-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-openpyxl
  clang libclang-rt-14-dev
  time bc
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 mingw-w64-tools libwine-dev wine wine64 wine32:i386 xvfb nsis
  libcpp-httplib-dev nlohmann-json3-dev
  chromium fonts-noto-cjk
  libreoffice-calc-nogui libreoffice-writer-nogui poppler-utils fonts-crosextra-carlito
)
# The browser tests run playwright-core under Node.js. A machine that has
# node and npm (from Debian or elsewhere) keeps them; otherwise Debian's come.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

as_root=()
if [[ "$(id -u)" -ne 0 ]]; then as_root=(sudo); fi
# wine32 is a package of the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi

if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
else
  echo "install-deps: installing ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The browser tests' npm packages (playwright-core), exactly as
# tests/web/browser/package-lock.json pins them; no browser is downloaded.
(cd "$(dirname "$0")/../tests/web/browser" &&
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
