#!/usr/bin/env bash
# The whole teacher's workflow on a generated list, checked by an independent
# reader after every step: init, divide twice, move a student by hand with
# openpyxl, stats, clean keeping the second pair, divide twice more (numbered
# 1, then 3: the kept 2 is skipped). scripts/verify_division.py recomputes
# every figure of each statistics sheet from its division sheet. From the
# second (refined) division on, the balance columns 住校 and 预设班 (kept in
# the host workbook) add their count tables, which the reader recounts too.
# usage: workflow_check.sh PATH_TO_FENBAN [STUDENTS]
set -euo pipefail
cd "$(dirname "$0")/.."
fenban="$(realpath "$1")"
students="${2:-300}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
host="$work/host"
py=/usr/bin/python3
verify() { "$py" scripts/verify_division.py "$host" 示例.xlsx "$1"; }
# verify_balance N: as verify, and both balance tables were there to check.
verify_balance() {
  local report
  report="$(verify "$1")"
  echo "$report"
  if [[ "$report" != *", 2 balance tables)"* ]]; then
    echo "workflow_check: 统计表$1 was not checked with both balance tables" >&2
    exit 1
  fi
}
sheets() {
  "$py" -c 'import sys, openpyxl; print(" ".join(openpyxl.load_workbook(sys.argv[1]).sheetnames))' "$host/数据/示例.xlsx"
}
expect_sheets() {
  local got
  got="$(sheets)"
  if [[ "$got" != "$1" ]]; then
    echo "workflow_check: sheets are '$got', expected '$1'" >&2
    exit 1
  fi
}

"$fenban" init "$host" --example "$students" --seed 7 >/dev/null
"$fenban" -C "$host" divide 示例.xlsx --classes 6 --by-sex --by-boarding --seed 11 >/dev/null
verify 1
"$fenban" -C "$host" divide 示例.xlsx --by-current --excellent 12 --pass 25 --balance 住校,预设班 --refine --seed 12 >/dev/null
verify_balance 2
expect_sheets "分班表1 统计表1 分班表2 统计表2 数据表"

# A teacher moves the first student of class 1 to class 2 by hand.
"$py" - "$host/数据/示例.xlsx" <<'PY'
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb["分班表2"]
assert ws["A2"].value == "新班级" and ws["A3"].value == 1, (ws["A2"].value, ws["A3"].value)
ws["A3"].value = 2
wb.active = wb.sheetnames.index("分班表2")
wb.save(sys.argv[1])
PY
"$fenban" -C "$host" stats 示例.xlsx 分班表2 >/dev/null
verify_balance 2
"$py" - "$host/数据/示例.xlsx" <<'PY'
import sys, openpyxl
st = openpyxl.load_workbook(sys.argv[1])["统计表2"]
sizes = [st.cell(row=r, column=2).value for r in range(3, 9)]
if sizes[1] - sizes[0] != 2:
    sys.exit("workflow_check: class sizes after the move are %s" % sizes)
PY

"$fenban" -C "$host" clean 示例.xlsx 分班表2 >/dev/null
expect_sheets "分班表2 统计表2 数据表"
verify 2
"$fenban" -C "$host" divide 示例.xlsx --seed 13 >/dev/null
verify 1
"$fenban" -C "$host" divide 示例.xlsx --seed 14 >/dev/null
verify_balance 3
verify 2
expect_sheets "分班表2 统计表2 分班表1 统计表1 分班表3 统计表3 数据表"
echo "workflow_check: init, divide, hand edit, stats, clean and renumbering (with the balance tables) agree with the independent reader"
