#!/usr/bin/env bash
# Builds myfb.dll and its Windows test programs for 64-bit (build-windows/) and
# 32-bit Windows (build-windows-i686/) with scripts/build-windows.sh, and runs
# each server's tests under wine in one fresh, temporary WINEPREFIX (a 64-bit
# prefix runs 32-bit programs too), on a virtual display (Xvfb) of its own;
# then the installer's check (scripts/installer_check.sh) in a prefix of its own.
# A test program passes only when it exits 0 and prints "WINCHECK PASS name".
# FENBAN_WINDOWS_ARCHS chooses the servers ("x86_64 i686" by default).
set -euo pipefail
cd "$(dirname "$0")/.."
read -r -a archs <<<"${FENBAN_WINDOWS_ARCHS:-x86_64 i686}"
build_of() { if [[ "$1" == x86_64 ]]; then echo build-windows; else echo "build-windows-$1"; fi; }
started=$SECONDS
if [[ -z "${FENBAN_SKIP_WINDOWS_BUILD:-}" ]]; then
  for arch in "${archs[@]}"; do FENBAN_WINDOWS_ARCH="$arch" bash scripts/build-windows.sh; done
fi
echo "test-windows: built in $((SECONDS - started)) s"

WINEPREFIX="$(mktemp -d /tmp/fenban-wine.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX" "$WINEPREFIX.display"
}
trap cleanup EXIT

# Message boxes need windows: a virtual display (Xvfb, local socket only) on a free number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$WINEPREFIX.display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$WINEPREFIX.display" ]] && break
  sleep 0.1
done
if [[ ! -s "$WINEPREFIX.display" ]]; then
  echo "test-windows: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$WINEPREFIX.display")"

# The prefix's desktop process starts now and keeps the display it was given.
echo "test-windows: creating the wine prefix"
start=$SECONDS
wineboot --init >/dev/null 2>&1
echo "test-windows: prefix ready in $((SECONDS - start)) s"
# The dialog's font, "Microsoft YaHei UI", is Windows' own; wine draws it with
# the Chinese font Debian has, and draws the windows' frames itself (there is
# no window manager on the virtual display), so the dialog's picture shows
# what a teacher sees.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei UI' /d 'Noto Sans CJK SC' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The title bar's font links to the same Chinese font, as Chinese Windows links its UI fonts.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1

failed=0
# run_check NAME ARGS...: runs $build/NAME.exe (wine picks the loader of its bitness)
# and requires its pass marker.
run_check() {
  local name="$1"
  shift
  local output status=0
  output="$(wine "$build/$name.exe" "$@" 2>&1 | tr -d "\r")" || status=$?
  printf '%s\n' "$output" | grep -v '^WINCHECK PASS' || true
  if [[ $status -ne 0 ]] || ! grep -qx "WINCHECK PASS $name" <<<"$output"; then
    echo "test-windows: $arch $name $* FAILED (exit $status)"
    failed=1
  fi
}
# regsvr ARGS...: regsvr32 of the server's bitness must succeed. With 32-bit wine
# installed, plain `wine` runs the 32-bit builtin programs, so the 64-bit
# server is registered through the 64-bit loader.
regsvr() {
  local loader=wine
  if [[ "$arch" == x86_64 && -x /usr/lib/wine/wine64 ]]; then loader=/usr/lib/wine/wine64; fi
  if ! "$loader" regsvr32 /s "$@" "$dll" >/dev/null 2>&1; then
    echo "test-windows: $arch regsvr32 $* failed"
    failed=1
  fi
}
# same_as_native DUMP NATIVE_DUMP WHAT: the two dumps must be identical.
same_as_native() {
  if cmp -s "$1" "$2"; then
    echo "test-windows: $arch: the workflow $3 left the same workbooks as the Linux build"
  else
    echo "test-windows: $arch: the workflow $3 and the Linux build differ:"
    diff "$1" "$2" | head -20 || true
    failed=1
  fi
}

# The same workflow run natively by the Linux build must leave the same
# workbooks, cell by cell with formats (scripts/test.sh builds build/native_workflow),
# for the generated list and for the awkward one.
native="${FENBAN_NATIVE_WORKFLOW:-build/native_workflow}"
students="${FENBAN_WORKFLOW_STUDENTS:-2000}"
if [[ -x "$native" ]]; then
  "$native" "$students" "$WINEPREFIX/native-dump.txt" "$WINEPREFIX/native-workbooks.txt"
  FENBAN_WORKFLOW_LIST=awkward "$native" "$students" "$WINEPREFIX/native-dump.txt.awkward"
fi

for arch in "${archs[@]}"; do
  build="$(build_of "$arch")"
  dll="$(winepath -w "$PWD/$build/myfb.dll")"
  arch_started=$SECONDS
  echo "test-windows: the $arch server ($build)"
  regsvr
  run_check registration_test machine "$dll"
  regsvr /u
  run_check registration_test none "$dll"
  regsvr /n /i:user
  run_check registration_test user "$dll"
  regsvr /u /n /i:user
  run_check registration_test none "$dll"

  # The programs that drive the server through COM need it registered.
  regsvr
  # dispatch_workflow_test leaves its workbooks' dumps here (the awkward list's with ".awkward").
  workflow_dump="$WINEPREFIX/workflow-dump-$arch.txt"
  FENBAN_WORKFLOW_DUMP="$(winepath -w "$workflow_dump")"
  export FENBAN_WORKFLOW_DUMP
  # progid_workflow_test runs it through the registered server and leaves the workbooks' dump here.
  progid_dump="$WINEPREFIX/progid-workflow-dump-$arch.txt"
  FENBAN_PROGID_WORKFLOW_DUMP="$(winepath -w "$progid_dump")"
  export FENBAN_PROGID_WORKFLOW_DUMP
  # addin_load_test loads the add-in as a spreadsheet program does and drives
  # its dialog; it leaves the workbooks' dump and a picture of the dialog.
  addin_dump="$WINEPREFIX/addin-workflow-dump-$arch.txt"
  FENBAN_ADDIN_WORKFLOW_DUMP="$(winepath -w "$addin_dump")"
  FENBAN_DIALOG_SCREENSHOT="$(winepath -w "$WINEPREFIX/dialog-$arch.bmp")"
  export FENBAN_ADDIN_WORKFLOW_DUMP FENBAN_DIALOG_SCREENSHOT
  for program in "$build"/*_test.exe; do
    name="$(basename "$program" .exe)"
    [[ "$name" == registration_test ]] && continue
    run_check "$name" "$dll"
  done
  # The next server's "none" checks find no keys of this one.
  regsvr /u
  if [[ -s "$WINEPREFIX/dialog-$arch.bmp" ]]; then
    python3 scripts/bmp_to_png.py "$WINEPREFIX/dialog-$arch.bmp" "$build/addin-dialog.png"
    echo "test-windows: $arch: the dialog's picture is $build/addin-dialog.png"
  fi

  if [[ -x "$native" ]]; then
    same_as_native "$workflow_dump" "$WINEPREFIX/native-dump.txt" "through automation"
    same_as_native "$workflow_dump.awkward" "$WINEPREFIX/native-dump.txt.awkward" "on the awkward list"
    same_as_native "$progid_dump" "$WINEPREFIX/native-workbooks.txt" 'through "Vantrel.myfb" by its ProgID'
    same_as_native "$addin_dump" "$WINEPREFIX/native-workbooks.txt" "through the add-in's dialog"
  else
    echo "test-windows: $native not built; the comparison with the Linux build was skipped"
  fi
  echo "test-windows: the $arch server's tests took $((SECONDS - arch_started)) s"
done

# The teacher's installer, in a prefix of its own (both servers must be built).
if [[ -f build-windows/fenban-setup.exe && -f build-windows-i686/myfb.dll ]]; then
  installer_started=$SECONDS
  if ! bash scripts/installer_check.sh; then failed=1; fi
  echo "test-windows: the installer's check took $((SECONDS - installer_started)) s"
else
  echo "test-windows: build-windows/fenban-setup.exe not built; the installer was not checked"
fi

echo "test-windows: $((SECONDS - started)) s in all"
if [[ $failed -ne 0 ]]; then
  echo "test-windows: FAILED"
  exit 1
fi
echo "test-windows: all Windows checks passed"
