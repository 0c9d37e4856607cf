#!/usr/bin/env bash
# Renders divided workbooks with LibreOffice and checks how they print
# (scripts/check_print.py): a year of 500 students in 10 classes prints one
# page per class and the statistics on one landscape page, and its exported
# lists one page per class; a list with 19 long subject names is scaled or
# turned so that every column of a class list stays on its page; the
# teacher's guide help.doc opens in LibreOffice Writer with all its pictures.
#   bash scripts/print_check.sh [path/to/fenban]
set -euo pipefail
cd "$(dirname "$0")/.."
fenban="$(realpath "${1:-build/fenban}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$fenban" init "$work/year" --example 500 --seed 3 >/dev/null
"$fenban" -C "$work/year" divide 示例.xlsx --classes 10 --by-sex --seed 1 >/dev/null 2>&1
/usr/bin/python3 scripts/check_print.py "$work/year/数据/示例.xlsx" --classes 10 --one-stats-page \
  --header-words 新班级,姓名,总分

# The page set-up and the wrapped headers as an independent reader sees them.
layout() {  # layout BOOK DIVISION_ORIENTATION DIVISION_SCALE_TEST
  /usr/bin/python3 - "$@" <<'PY'
import sys, openpyxl
book, orientation, scale_test = sys.argv[1], sys.argv[2], sys.argv[3]
workbook = openpyxl.load_workbook(book)
failures = []
for sheet in workbook.worksheets:
    if str(sheet.page_setup.paperSize) != '9':
        failures.append('%s: paper size %s, not A4 (9)' % (sheet.title, sheet.page_setup.paperSize))
division, stats = workbook['分班表1'], workbook['统计表1']
scale = division.page_setup.scale
if division.page_setup.orientation != orientation or not eval(scale_test, {'scale': scale}):
    failures.append('分班表1: %s at %s %%, expected %s with %s' % (division.page_setup.orientation, scale,
                                                             orientation, scale_test))
if stats.page_setup.orientation != 'landscape':
    failures.append('统计表1 is not landscape')
for cell in stats[2]:
    if isinstance(cell.value, str) and '\n' in cell.value and not cell.alignment.wrap_text:
        failures.append('统计表1!%s holds two lines but does not wrap' % cell.coordinate)
if not (stats.row_dimensions[2].height or 0) >= 30:
    failures.append('统计表1 row 2 is %s points high, too low for two lines' % stats.row_dimensions[2].height)
for failure in failures:
    print('print_check: ' + failure, file=sys.stderr)
sys.exit(1 if failures else 0)
PY
}
layout "$work/year/数据/示例.xlsx" portrait 'scale == 80'

# Lists to post: one A4 page per class, each with its heading and its students only.
"$fenban" -C "$work/year" export 示例.xlsx 分班表1 --heading "高一({n})班" --sort 姓名 >/dev/null
/usr/bin/python3 - "$work/year/数据/导出/示例(分班表1名单).xlsx" "$work/year/数据/示例.xlsx" <<'PY'
import sys, tempfile, openpyxl
sys.path.insert(0, 'scripts')
from check_print import convert, read_pages, A4
exported, book = sys.argv[1], sys.argv[2]
division = openpyxl.load_workbook(book)['分班表1']
rows = list(division.iter_rows(min_row=3, values_only=True))
names = {}
for row in rows:
    if row[0] is not None:
        names.setdefault('高一(%s)班' % row[0], set()).add(row[3])
pages = read_pages(convert(exported, tempfile.mkdtemp(prefix='fenban-export-')))
failures = []
if len(pages) != len(names):
    failures.append('%d pages for %d classes' % (len(pages), len(names)))
for number, (width, height, words) in enumerate(pages, 1):
    if abs(width - A4[0]) > 2 or abs(height - A4[1]) > 2:
        failures.append('page %d is %.0f x %.0f, not A4 portrait' % (number, width, height))
    texts = [w.text for w in words]
    headings = [t for t in texts if t in names]
    if len(headings) != 1:
        failures.append('page %d has the headings %s' % (number, headings))
    elif not names[headings[0]] <= set(texts):
        failures.append('page %d lacks students of %s' % (number, headings[0]))
    if '总分' in texts:
        failures.append('page %d shows marks' % number)
for failure in failures:
    print('print_check: export: ' + failure, file=sys.stderr)
sys.exit(1 if failures else 0)
PY

subjects=语文阅读,数学分析,英语听力,物理实验,化学实验,生物实验,政治理论,历史文化,地理信息,信息技术,通用技术,音乐欣赏,美术鉴赏,体育健康,心理健康,书法练习,综合实践,研究学习,劳动教育
"$fenban" init "$work/wide" >/dev/null
"$fenban" -C "$work/wide" template --subjects "$subjects" >/dev/null
/usr/bin/python3 - "$work/wide/数据/宽表.xlsx" "$subjects" <<'PY'
import random, sys, openpyxl
subjects = sys.argv[2].split(',')
book = openpyxl.Workbook()
sheet = book.active
sheet.title = '数据表'
sheet.append(['考号', '姓名', '性别'] + subjects + ['总分'])
rng = random.Random(5)
for i in range(90):
    marks = [rng.randint(40, 150) for _ in subjects]
    sheet.append([20260001 + i, '学生%d' % i, rng.choice('男女')] + marks + [sum(marks)])
book.save(sys.argv[1])
PY
"$fenban" -C "$work/wide" divide 宽表.xlsx --classes 3 --seed 1 >/dev/null 2>&1
/usr/bin/python3 scripts/check_print.py "$work/wide/数据/宽表.xlsx" --classes 3 --one-stats-page \
  --header-words 新班级,姓名,劳动教育,总分
layout "$work/wide/数据/宽表.xlsx" landscape 'scale < 80'
# help.doc: LibreOffice reads it (RTF under a .doc name, as Word and WPS
# take it) and prints every picture the guide shows, and its text.
/usr/bin/python3 - "$work/year/help.doc" docs/教师指南.md <<'PY'
import re, subprocess, sys, tempfile
sys.path.insert(0, 'scripts')
from check_print import convert
manual, guide = sys.argv[1], open(sys.argv[2], encoding='utf-8').read()
pdf = convert(manual, tempfile.mkdtemp(prefix='fenban-manual-'))
shown = re.findall(r'^!\[[^\]]*\]\((images/[^)]+\.png)\)$', guide, re.M)
listed = subprocess.run(['pdfimages', '-list', pdf], check=True, capture_output=True, text=True).stdout
images = [line for line in listed.splitlines()[2:] if line.split()[2:3] == ['image']]
text = subprocess.run(['pdftotext', pdf, '-'], check=True, capture_output=True, text=True).stdout
failures = []
if len(images) != len(shown):
    failures.append('%d pictures in the PDF, the guide shows %d' % (len(images), len(shown)))
for words in ['分班程序 fenban 教师指南', '九个选项', '文件已被改动', 'fenban -C 高一分班 divide 示例.xlsx --classes 8 --by-sex']:
    if words not in text:
        failures.append('the PDF lacks "%s"' % words)
for failure in failures:
    print('print_check: help.doc: ' + failure, file=sys.stderr)
sys.exit(1 if failures else 0)
PY
echo "print_check: the class lists and statistics print as they should, and help.doc with its pictures"
