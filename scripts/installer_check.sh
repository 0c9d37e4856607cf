#!/usr/bin/env bash
# Installs build-windows/fenban-setup.exe silently (/S) in a fresh wine
# prefix, checks every file and registry key it and the servers' per-user
# registration write, uninstalls silently and checks that all of them are
# gone, the add-in's setting (the remembered host folder) too, while the
# teacher's host folder itself is left alone. In between, the installed
# add-in's first use must make the host folder with the installed help.doc.
# Prints "installer_check: PASS" when every check holds.
set -euo pipefail
cd "$(dirname "$0")/.."
setup="$PWD/build-windows/fenban-setup.exe"
[[ -f "$setup" ]] || { echo "installer_check: $setup not built" >&2; exit 1; }

WINEPREFIX="$(mktemp -d /tmp/fenban-setup.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
# The 64-bit loader runs the 64-bit builtin programs (reg, cmd) and starts the
# 32-bit installer too.
loader=wine
if [[ -x /usr/lib/wine/wine64 ]]; then loader=/usr/lib/wine/wine64; fi
"$loader" wineboot --init >/dev/null 2>&1

failed=0
fail() {
  echo "installer_check: FAILED: $*"
  failed=1
}
# value VIEW KEY NAME: the registry value's data (status 1 when missing); VIEW
# is 64 or 32, NAME "" for the default value. The key is exported (a UTF-16
# file keeps Chinese text, which reg query prints as "?"); a DWORD reads 0xN.
value() {
  local file="$WINEPREFIX/value.reg"
  rm -f "$file"
  "$loader" reg export "$2" "$(winepath -w "$file")" /y /reg:"$1" >/dev/null 2>&1 || return 1
  python3 - "$file" "$2" "$3" <<'PY'
import re, sys
path, key, name = sys.argv[1:]
roots = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}
root, _, rest = key.partition("\\")
section = "[" + roots.get(root, root) + "\\" + rest + "]"
lines = open(path, encoding="utf-16").read().splitlines()
inside = False
want = "@=" if name == "" else '"' + name.replace('"', '\\"') + '"='
for line in lines:
    if line.startswith("["):
        inside = line.lower() == section.lower()
    elif inside and line.startswith(want):
        data = line[len(want):]
        if data.startswith("dword:"):
            print(hex(int(data[6:], 16)))
        else:
            print(re.sub(r'\\(.)', r'\1', data[1:-1]))
        sys.exit(0)
sys.exit(1)
PY
}
key_exists() { "$loader" reg query "$2" /reg:"$1" >/dev/null 2>&1; }
expect_value() {  # VIEW KEY NAME WANTED
  local got
  got="$(value "$1" "$2" "$3")" || got="(missing)"
  [[ "${got,,}" == "${4,,}" ]] || fail "$2 [$3] in the $1-bit view is '$got', not '$4'"
}
expect_no_key() { if key_exists "$1" "$2"; then fail "$2 is left in the $1-bit view"; fi; }

local_app_data="$("$loader" cmd /c echo %LOCALAPPDATA% | tr -d '\r')"
documents="$("$loader" cmd /c echo %USERPROFILE% | tr -d '\r')\\Documents"
# A fresh prefix links Documents to the Linux home folder; the host folder
# 文档\分班 belongs in this prefix, so Documents becomes a folder of its own.
documents_unix="$(winepath -u "$documents")"
documents_unix="${documents_unix%/}"
if [[ -L "$documents_unix" ]]; then
  rm "$documents_unix"
  mkdir "$documents_unix"
fi
install_dir="$local_app_data\\Vantrel\\FenBan"
install_unix="$(winepath -u "$install_dir")"
addin_clsid='{8F4854EC-33E3-4D5A-8860-5868B8EFACD8}'
myfb_clsid='{D0B1D455-CD1D-49C1-BA02-CFBDC563C62E}'
classes='HKCU\Software\Classes'
excel='HKCU\Software\Microsoft\Office\Excel\Addins\Vantrel.FenBanAddin'
wps='HKCU\Software\Kingsoft\Office\ET\Addins\Vantrel.FenBanAddin'
wps_allowed='HKCU\Software\Kingsoft\Office\ET\AddinsWL'
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantrelFenBan'

# Windows keeps HKCU\Software\Classes apart for 32-bit programs (WOW64
# redirects it to Wow6432Node); wine 8 shares it between the views, so there
# the registration made last (the 64-bit one) is what both views show.
"$loader" reg add 'HKCU\Software\Classes\FenBanViewProbe' /f /reg:32 >/dev/null 2>&1
shared_views=0
if key_exists 64 'HKCU\Software\Classes\FenBanViewProbe'; then shared_views=1; fi
"$loader" reg delete 'HKCU\Software\Classes\FenBanViewProbe' /f /reg:32 >/dev/null 2>&1 || true
if [[ $shared_views -eq 1 ]]; then
  echo "installer_check: this wine shares the user's classes between the 32- and 64-bit views"
fi

start=$SECONDS
"$loader" "$setup" /S || fail "the installer exited with $?"
wineserver -w
echo "installer_check: installed in $((SECONDS - start)) s"

cmp -s "$install_unix/x64/myfb.dll" build-windows/myfb.dll || fail "x64\\myfb.dll is not the 64-bit server"
cmp -s "$install_unix/x86/myfb.dll" build-windows-i686/myfb.dll || fail "x86\\myfb.dll is not the 32-bit server"
cmp -s "$install_unix/help.doc" build-windows/help.doc || fail "help.doc is not the manual the Linux build made"
[[ -f "$install_unix/uninstall.exe" ]] || fail "no uninstall.exe"
for view in 64 32; do
  if [[ $view == 64 || $shared_views -eq 1 ]]; then
    dll="$install_dir\\x64\\myfb.dll"
  else
    dll="$install_dir\\x86\\myfb.dll"
  fi
  for clsid in "$addin_clsid" "$myfb_clsid"; do
    expect_value $view "$classes\\CLSID\\$clsid\\InprocServer32" "" "$dll"
    expect_value $view "$classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
  done
  expect_value $view "$classes\\Vantrel.FenBanAddin\\CLSID" "" "$addin_clsid"
  expect_value $view "$classes\\Vantrel.myfb\\CLSID" "" "$myfb_clsid"
  # Nothing machine-wide: no administrator rights were used.
  expect_no_key $view "HKLM\\Software\\Classes\\CLSID\\$addin_clsid"
done
for key in "$excel" "$wps"; do
  expect_value 64 "$key" LoadBehavior 0x3
  expect_value 64 "$key" FriendlyName 分班
done
key_exists 64 "$wps_allowed" && value 64 "$wps_allowed" Vantrel.FenBanAddin >/dev/null ||
  fail "WPS's list of allowed add-ins does not name Vantrel.FenBanAddin"
expect_value 64 "$uninstall" UninstallString "\"$install_dir\\uninstall.exe\""
expect_value 64 "$uninstall" QuietUninstallString "\"$install_dir\\uninstall.exe\" /S"
expect_value 64 "$uninstall" DisplayName "分班（Excel 和 WPS 表格的加载项）"

# The teacher's host folder, made by the add-in on first use, and its
# remembered place. The installed add-in is loaded as a spreadsheet program
# loads it (build-windows/addin_load_test.exe --installed, which needs the
# display scripts/test-windows.sh gives): it makes 文档\分班 and puts the
# installed help.doc there, which the dialog's 帮助 then opens.
host_unix="$(winepath -u "$documents\\分班")"
# Windows shows the user's classes (HKCU\Software\Classes) in HKEY_CLASSES_ROOT,
# where a program creates the add-in by its ProgID; wine 8's COM reads only the
# machine's classes, so the add-in's two class keys are copied there for the
# run (as the 64-bit registration wrote them) and removed again after it.
machine_classes() {  # copy|remove
  local key file="$WINEPREFIX/class.reg"
  for key in "CLSID\\$addin_clsid" Vantrel.FenBanAddin; do
    if [[ $1 == remove ]]; then
      "$loader" reg delete "HKLM\\Software\\Classes\\$key" /f /reg:64 >/dev/null 2>&1 || true
      continue
    fi
    "$loader" reg export "$classes\\$key" "$(winepath -w "$file")" /y /reg:64 >/dev/null 2>&1 ||
      fail "$classes\\$key cannot be exported"
    python3 - "$file" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-16", newline="").read()
text = re.sub(r"^\[HKEY_CURRENT_USER\\Software\\Classes", r"[HKEY_LOCAL_MACHINE\\Software\\Classes", text, flags=re.M | re.I)
open(sys.argv[1], "w", encoding="utf-16", newline="").write(text)
PY
    "$loader" reg import "$(winepath -w "$file")" /reg:64 >/dev/null 2>&1 || fail "$key cannot be copied to HKLM"
  done
}
if [[ -n "${DISPLAY:-}" && -f build-windows/addin_load_test.exe ]]; then
  start=$SECONDS
  status=0
  machine_classes copy
  output="$("$loader" build-windows/addin_load_test.exe --installed 2>&1 | tr -d '\r')" || status=$?
  machine_classes remove
  printf '%s\n' "$output" | grep -v '^WINCHECK PASS' || true
  if [[ $status -ne 0 ]] || ! grep -qx 'WINCHECK PASS addin_load_test' <<<"$output"; then
    fail "the installed add-in's first use and help button (exit $status)"
  fi
  [[ -f "$host_unix/fenban.xlsx" ]] || fail "first use made no $documents\\分班\\fenban.xlsx"
  cmp -s "$host_unix/help.doc" build-windows/help.doc || fail "the host folder has no help.doc, or not the installed one"
  echo "installer_check: the add-in's first use and 帮助 took $((SECONDS - start)) s"
else
  echo "installer_check: no display; the installed add-in's first use was not run"
  mkdir -p "$host_unix/数据"
  echo workbook >"$host_unix/fenban.xlsx"
  "$loader" reg add 'HKCU\Software\Vantrel\FenBan' /v HostFolder /d "$documents\\分班" /f >/dev/null 2>&1
fi
kept_before="$(cd "$host_unix" 2>/dev/null && find . | sort)" || kept_before="(no host folder)"

start=$SECONDS
"$loader" "$install_unix/uninstall.exe" /S || fail "the uninstaller exited with $?"
wineserver -w
echo "installer_check: uninstalled in $((SECONDS - start)) s"

[[ ! -e "$install_unix" ]] || fail "the install folder is left: $(ls -R "$install_unix" | tr '\n' ' ')"
[[ ! -e "$(dirname "$install_unix")" ]] || fail "the folder Vantrel is left"
[[ "$(cd "$host_unix" 2>/dev/null && find . | sort)" == "$kept_before" ]] || fail "the teacher's host folder was touched"
for view in 64 32; do
  for key in "$classes\\CLSID\\$addin_clsid" "$classes\\CLSID\\$myfb_clsid" "$classes\\Vantrel.FenBanAddin" \
    "$classes\\Vantrel.myfb"; do
    expect_no_key $view "$key"
  done
done
for key in "$excel" "$wps" "$uninstall" 'HKCU\Software\Vantrel'; do expect_no_key 64 "$key"; done
if value 64 "$wps_allowed" Vantrel.FenBanAddin >/dev/null; then fail "WPS's list still names the add-in"; fi

if [[ $failed -ne 0 ]]; then exit 1; fi
echo "installer_check: PASS"
