#!/usr/bin/python3
"""Independent check of a division written by fenban, with openpyxl.

Reads the host workbook (options, subject list) and the data workbook, then
recomputes from the division sheet what the statistics sheet must hold: the
class count table (sizes, category counts, total-score bands), the excellent
and pass counts with their marks, the averages of each class's best students,
every "最大差" row, and the count tables of the balance columns ("均衡列",
DTB K2) below them. It also checks that every student of "数据表" stands
exactly once in the division sheet with the same data, and the running
numbers and page breaks of the class lists.

usage: verify_division.py HOST_FOLDER BOOK N
  HOST_FOLDER  the folder that holds fenban.xlsx and 数据/
  BOOK         the data workbook's file name in 数据/
  N            the number of the pair (分班表N / 统计表N)
Exit status 0 when everything agrees, 1 with a list of differences otherwise.
"""
import math
import os
import sys
from collections import Counter

import openpyxl

problems = []


def fail(text):
    problems.append(text)


def sort_key(value):
    """Ascending order of the host's sort: numbers, text, Booleans; empty last."""
    if value is None or value == "":
        return (4, 0)
    if isinstance(value, bool):
        return (2, value)
    if isinstance(value, (int, float)):
        return (0, value)
    return (1, str(value))


def as_text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def as_number(value):
    if value is None or value == "":
        return 0.0
    return float(value)


def close(a, b):
    return a is not None and b is not None and abs(float(a) - float(b)) < 1e-6


def table_rows(sheet, header_row):
    """Header and data rows of the table starting at header_row (to the first empty row)."""
    header = []
    for cell in sheet[header_row]:
        if cell.value is None:
            break
        header.append(cell.value)
    rows = []
    row = header_row + 1
    while row <= sheet.max_row:
        values = [sheet.cell(row=row, column=c + 1).value for c in range(len(header))]
        if all(v is None for v in values):
            break
        rows.append(values)
        row += 1
    return header, rows


def balance_names(stored):
    """The balance columns as DTB K2 stores them, each name once."""
    text = as_text(stored)
    for separator in "，、;；":
        text = text.replace(separator, ",")
    names = []
    for name in text.split(","):
        name = name.strip()
        if name and name not in names:
            names.append(name)
    return names


def distinct_values(values):
    """Distinct non-empty values as text: numbers by value, then texts by code point, then the rest."""
    seen = {}
    for value in values:
        text = as_text(value)
        if text == "" or text in seen:
            continue
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            seen[text] = (0, float(value), text)
        elif isinstance(value, str):
            seen[text] = (1, 0.0, text)
        else:
            seen[text] = (2, 0.0, text)
    return [text for text in sorted(seen, key=lambda t: seen[t])]


def header_text(value):
    """A value as a table header shows it: lines of at most four characters, as even as they come."""
    lines = (len(value) + 3) // 4
    line = (len(value) + lines - 1) // lines if lines else 4
    return "\n".join(value[i:i + line] for i in range(0, len(value), line))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    folder, book_name, number = sys.argv[1], sys.argv[2], sys.argv[3]
    host = openpyxl.load_workbook(os.path.join(folder, "fenban.xlsx"))
    book = openpyxl.load_workbook(os.path.join(folder, "数据", book_name))
    settings = host["DTB"]
    k = int(settings["C2"].value)
    excellent = int(settings["D2"].value)
    passing = int(settings["E2"].value)
    listed = [host["登记表"].cell(row=r, column=1).value for r in range(2, 21)]
    listed = [as_text(v) for v in listed if v is not None and as_text(v) != ""]

    division = book["分班表" + number]
    stats = book["统计表" + number]
    header, students = table_rows(division, 2)
    col = {name: i for i, name in reversed(list(enumerate(header)))}
    if header[:2] != ["新班级", "序号"] or "总分" not in col:
        sys.exit("verify_division: the division sheet has no table at row 2")

    # Every student of the data sheet exactly once, data unchanged.
    data_header, data_rows = table_rows(book["数据表"], 1)
    if data_header != header[2:]:
        fail("division sheet headers %s differ from 数据表 %s" % (header[2:], data_header))
    same = Counter(tuple(as_text(v) for v in r) for r in data_rows)
    divided = Counter(tuple(as_text(v) for v in r[2:]) for r in students)
    if same != divided:
        fail("students differ: %d missing, %d extra" % (sum((same - divided).values()), sum((divided - same).values())))

    # Classes in ascending order; running numbers and page breaks.
    labels = sorted({as_text(r[0]): r[0] for r in students}.values(), key=sort_key)[:k]
    labels += [None] * (k - len(labels))
    members = {as_text(label): [r for r in students if as_text(r[0]) == as_text(label)] for label in labels}
    position = 0
    breaks = sorted(b.id for b in division.row_breaks.brk)
    expected_breaks = []
    for label in labels:
        rows = members[as_text(label)]
        for i, r in enumerate(rows):
            if r[1] != i + 1:
                fail("running number of class %s row %d is %s" % (as_text(label), i + 1, r[1]))
                break
        position += len(rows)
        if rows:
            expected_breaks.append(2 + position)
    if breaks != expected_breaks:
        fail("page breaks %s, expected %s" % (breaks, expected_breaks))

    def check_cell(row, column, expected, what):
        got = stats.cell(row=row, column=column).value
        if expected is None:
            if got not in (None, ""):
                fail("%s: %r, expected empty" % (what, got))
        elif isinstance(expected, str):
            if as_text(got) != expected:
                fail("%s: %r, expected %r" % (what, got, expected))
        elif not close(got, expected):
            fail("%s: %r, expected %r" % (what, got, expected))

    def check_table(first_row, columns, label):
        """Class rows start at first_row; the 最大差 row follows them."""
        for column, values in columns.items():
            for c, value in enumerate(values):
                check_cell(first_row + c, column, value, "%s column %d class %d" % (label, column, c + 1))
            numbers = [v for v in values if v is not None]
            if numbers:
                check_cell(first_row + k, column, max(numbers) - min(numbers), "%s column %d 最大差" % (label, column))

    # Class count table: header row 2, classes from row 3.
    check_cell(1, 1, "各项人数统计(统计表%s)" % number, "sheet title")
    check_cell(2, 1, "新班级", "class table header")
    columns = {2: [len(members[as_text(l)]) for l in labels]}
    last = 2
    for offset, name in enumerate(["性别", "住校", "应届"]):
        if name not in col:
            continue
        first = min(members[as_text(labels[0])], key=lambda r: sort_key(r[col[name]]), default=None)
        named = first[col[name]] if first else None
        check_cell(2, 3 + offset, "%s\n%s" % (name, as_text(named)), "%s header" % name)
        columns[3 + offset] = [sum(1 for r in members[as_text(l)] if as_text(r[col[name]]) == as_text(named))
                               for l in labels]
        last = 3 + offset
    totals = sorted((as_number(r[col["总分"]]) for r in students), reverse=True)
    band_count = (len(students) + 1) // (k * 5) - 1
    band_count = max(band_count, 1)
    if band_count > 200:
        band_count = 150
    for g in range(1, band_count + 1):
        rank = g * k * 5
        score = math.floor(totals[rank - 1]) if rank <= len(totals) else 0
        check_cell(2, last + g, "总分\n≥%d" % score, "band %d header" % g)
        columns[last + g] = [sum(1 for r in members[as_text(l)] if as_number(r[col["总分"]]) >= score)
                             for l in labels]
    check_table(3, columns, "class table")

    # Subject tables.
    subjects = [s for s in ["总分"] + listed if s in col]
    m = len(subjects)
    top = 1 + m
    check_cell(k + 5, 1, "优秀人数统计(前%d名)" % excellent, "excellent title")
    check_cell(2 * k + 9, 1, "平均分统计(前%d名)" % excellent, "average title")
    counts = {}
    averages = {}
    for block, quota in enumerate([excellent, passing]):
        for s, name in enumerate(subjects):
            scores = sorted((as_number(r[col[name]]) for r in students), reverse=True)
            rank = k * quota
            mark = math.floor(scores[rank - 1]) if rank <= len(scores) else 0
            column = 2 + s + block * m
            check_cell(k + 6, column, "%s\n≥%d" % (name, mark), "count header %s" % name)
            counts[column] = [sum(1 for r in members[as_text(l)] if as_number(r[col[name]]) >= mark) for l in labels]
            check_cell(2 * k + 10, column, name, "average header %s" % name)
            expected = []
            for c, label in enumerate(labels):
                rows = sorted(members[as_text(label)], key=lambda r: -as_number(r[col["总分"]]))
                n = min(quota, len(rows))
                if n == 0:
                    expected.append(None)
                    continue
                # Students tied on the total at the cut may stand in either order:
                # accept any written value between the lowest and highest sums.
                cut = as_number(rows[n - 1][col["总分"]])
                above = [r for r in rows if as_number(r[col["总分"]]) > cut]
                tied = sorted(as_number(r[col[name]]) for r in rows if as_number(r[col["总分"]]) == cut)
                base = sum(as_number(r[col[name]]) for r in above)
                low = (base + sum(tied[: n - len(above)])) / n
                high = (base + sum(tied[len(tied) - (n - len(above)):])) / n
                got = stats.cell(row=2 * k + 11 + c, column=column).value
                if got is None or not (low - 1e-6 <= float(got) <= high + 1e-6):
                    fail("average %s class %d: %r, expected %s" % (name, c + 1, got, low if low == high else (low, high)))
                expected.append(float(got) if got is not None else low)
            averages[column] = expected
    check_table(k + 7, counts, "count table")
    check_table(2 * k + 11, averages, "average table")

    # Balance column tables: from row 3k+13, per column a title, the header of
    # its values, one row per class with its counts and the "最大差" row.
    row = 3 * k + 13
    tables = 0
    for name in balance_names(settings["K2"].value):
        if name not in col:
            continue
        values = distinct_values(r[col[name]] for r in students)
        if not values or len(values) > 60:
            continue
        tables += 1
        what = "%s人数统计" % name
        check_cell(row, 1, what, "balance table title")
        check_cell(row + 1, 1, "新班级", "%s header" % what)
        for v, value in enumerate(values):
            check_cell(row + 1, 2 + v, header_text(value), "%s header of %s" % (what, value))
        check_cell(row + 1, 2 + len(values), None, "%s header after the last value" % what)
        for c, label in enumerate(labels):
            check_cell(row + 2 + c, 1, as_text(label), "%s class %d label" % (what, c + 1))
        check_cell(row + 2 + k, 1, "最大差", "%s 最大差 label" % what)
        columns = {2 + v: [sum(1 for r in members[as_text(l)] if as_text(r[col[name]]) == value) for l in labels]
                   for v, value in enumerate(values)}
        check_table(row + 2, columns, what)
        row += k + 4
    # Notes of the refinement may follow, but no further table.
    after = as_text(stats.cell(row=row, column=1).value)
    if after.endswith("人数统计"):
        fail("a table %r after the balance tables %s" % (after, balance_names(settings["K2"].value)))
    if top != 1 + m:
        fail("topWidth")

    if problems:
        print("verify_division: %d difference(s):" % len(problems))
        for p in problems[:40]:
            print("  " + p)
        sys.exit(1)
    print("verify_division: %s 分班表%s/统计表%s agree (%d students, %d classes, %d subjects, %d balance tables)"
          % (book_name, number, number, len(students), k, m, tables))


if __name__ == "__main__":
    main()
