#!/usr/bin/env bash
# Takes the pictures of the teacher's guide (docs/教师指南.md) again, into
# docs/images/: the page at each step (Chromium, scripts/guide_screenshots.mjs),
# the first page of a division sheet and of a statistics sheet as LibreOffice
# prints them, and the Windows dialog when scripts/test-windows.sh has left its
# picture (build-windows/addin-dialog.png), and the installer's first page
# under wine when scripts/build-windows.sh has made it. Needs build/fenban and the browser
# test's npm package (scripts/install-deps.sh). Rebuild fenban afterwards: the
# guide and its pictures are compiled into it (help.doc and the page's 帮助).
set -euo pipefail
cd "$(dirname "$0")/.."
images=docs/images
work="$(mktemp -d /tmp/fenban-guide.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$images"

host="$work/高一分班"
node scripts/guide_screenshots.mjs build/fenban "$host" "$images"

# The sheets as printed: LibreOffice makes a PDF of the divided example, whose
# pages are found by their first line.
soffice -env:UserInstallation="file://$work/libreoffice" --headless --convert-to pdf \
  --outdir "$work" "$host/数据/示例.xlsx" >/dev/null 2>&1
pdf="$work/示例.pdf"
pages="$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')"
first_page() {  # first_page PATTERN: the first page whose first line matches
  for page in $(seq 1 "$pages"); do
    if pdftotext -f "$page" -l "$page" "$pdf" - | head -1 | grep -q "$1"; then echo "$page"; return; fi
  done
  echo "guide-pictures: no page begins with $1" >&2
  exit 1
}
division="$(first_page '^示例$')"
statistics="$(first_page '^各项人数统计')"
# The top of a class's page (A4 upright, 100 dpi) and the whole statistics page (A4 across, 90 dpi).
pdftoppm -f "$division" -l "$division" -r 100 -x 0 -y 0 -W 827 -H 520 -png -singlefile "$pdf" "$images/sheet-division"
pdftoppm -f "$statistics" -l "$statistics" -r 90 -x 0 -y 0 -W 1052 -H 660 -png -singlefile "$pdf" "$images/sheet-statistics"

# The installer's first page, under wine on a virtual display of its own.
if [[ -f build-windows/fenban-setup.exe ]]; then
  export USER=teacher WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
  wineboot --init >/dev/null 2>&1
  # As scripts/test-windows.sh: the title font linked to the Chinese font, frames drawn by wine.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1
  # The installer's pages ask for 宋体 (SimSun), Chinese Windows' own; wine draws it with Debian's.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 宋体 /d 'Noto Sans CJK SC' /f >/dev/null 2>&1
  wine build-windows/fenban-setup.exe >/dev/null 2>&1 &
  sleep 8
  xwd -root -silent >"$work/setup.xwd"
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  python3 scripts/xwd_to_png.py "$work/setup.xwd" "$images/windows-setup.png"
else
  echo "guide-pictures: no build-windows/fenban-setup.exe (run scripts/build-windows.sh); the installer's picture is kept as it is"
fi

if [[ -f build-windows/addin-dialog.png ]]; then
  cp build-windows/addin-dialog.png "$images/windows-dialog.png"
else
  echo "guide-pictures: no build-windows/addin-dialog.png (run scripts/test-windows.sh); the Windows picture is kept as it is"
fi
ls -l "$images"
