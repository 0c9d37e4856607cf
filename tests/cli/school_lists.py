#!/usr/bin/python3
"""Writes one student list in the layouts schools keep it in, each file as
another program writes it: openpyxl for the workbooks, plain bytes for the
CSV exports, LibreOffice (soffice --headless --convert-to xlsx) for a CSV
with a title line and for a flat ODS document with merged header cells.

usage: school_lists.py FOLDER [--libreoffice]
Each layout goes to FOLDER/<layout>/<file>; the file names are printed."""
import os
import subprocess
import sys
import tempfile

import openpyxl

SUBJECTS = ["语文", "数学", "英语"]


def students():
    rows = []
    for i in range(1, 25):
        marks = [60 + (i * 7) % 40, 50 + (i * 13) % 50, 70 + (i * 5) % 30]
        rows.append(["学生%02d" % i, "男" if i % 2 else "女", "%03d" % i] + marks)
    # Totals that differ, so that no tie is left to the random order: the
    # third mark carries the student's number in its hundredths.
    for i, row in enumerate(rows, start=1):
        row[5] = row[5] + i / 100
    return rows


def with_total(rows):
    return [row + [round(sum(row[3:6]), 2)] for row in rows]


HEADERS = ["姓名", "性别", "学号"] + SUBJECTS


def save(book, folder, name):
    os.makedirs(folder, exist_ok=True)
    book.save(os.path.join(folder, name))
    print(os.path.join(folder, name))


def sheet(book):
    ws = book.active
    ws.title = "数据表"
    return ws


def write_list(folder, headers, rows, above=(), merges=()):
    """The list under `above` (title rows, or a first header row) with the
    given merged areas, on "数据表" of 名单.xlsx."""
    book = openpyxl.Workbook()
    ws = sheet(book)
    for row in list(above) + [headers] + rows:
        ws.append(row)
    for area in merges:
        ws.merge_cells(area)
    save(book, folder, "名单.xlsx")


def plain(folder, total_header="总分"):
    write_list(folder, HEADERS + [total_header], with_total(students()))


def titled(folder):
    write_list(folder, HEADERS + ["总分"], with_total(students()),
               above=[["2026级高一新生名单"], ["（按中考成绩）"]], merges=["A1:G1", "A2:G2"])


def merged_headers(folder):
    write_list(folder, [None, None, None] + SUBJECTS + [None], with_total(students()),
               above=[["2026级高一新生名单"], ["姓名", "性别", "学号", "成绩", None, None, "总分"]],
               merges=["A1:G1", "A2:A3", "B2:B3", "C2:C3", "D2:F2", "G2:G3"])


def no_total(folder):
    write_list(folder, HEADERS, students())


def csv_text(separator):
    lines = [separator.join(HEADERS + ["总分"])]
    for row in with_total(students()):
        fields = [str(v) if not isinstance(v, float) else ("%g" % v) for v in row]
        lines.append(separator.join(fields))
    return "\r\n".join(lines) + "\r\n"


def write_bytes(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)
    print(os.path.join(folder, name))


def csvs(root):
    write_bytes(os.path.join(root, "csv-utf8"), "名单.csv", csv_text(",").encode("utf-8"))
    write_bytes(os.path.join(root, "csv-bom"), "名单.csv", b"\xef\xbb\xbf" + csv_text(",").encode("utf-8"))
    write_bytes(os.path.join(root, "csv-gbk"), "名单.csv", csv_text(",").encode("gbk"))
    write_bytes(os.path.join(root, "csv-tab"), "名单.csv", csv_text("\t").encode("utf-8"))


def fods(rows):
    """A flat ODS document: a title row spanning the table, then the headers,
    the subjects under a merged "成绩" cell."""
    def cell(value, span=None, rows_span=None):
        attrs = ""
        if span:
            attrs += ' table:number-columns-spanned="%d"' % span
        if rows_span:
            attrs += ' table:number-rows-spanned="%d"' % rows_span
        if value is None:
            return "<table:table-cell%s/>" % attrs
        if isinstance(value, (int, float)):
            return '<table:table-cell office:value-type="float" office:value="%s"%s><text:p>%s</text:p></table:table-cell>' % (
                value, attrs, value)
        return '<table:table-cell office:value-type="string"%s><text:p>%s</text:p></table:table-cell>' % (attrs, value)

    covered = "<table:covered-table-cell/>"
    body = ["<table:table-row>" + cell("2026级高一新生名单", span=7) + covered * 6 + "</table:table-row>",
            "<table:table-row>" + cell("姓名", rows_span=2) + cell("性别", rows_span=2) + cell("学号", rows_span=2) +
            cell("成绩", span=3) + covered * 2 + cell("总分", rows_span=2) + "</table:table-row>",
            "<table:table-row>" + covered * 3 + "".join(cell(s) for s in SUBJECTS) + covered + "</table:table-row>"]
    for row in rows:
        body.append("<table:table-row>" + "".join(cell(v) for v in row) + "</table:table-row>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2" '
            'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
            '<office:body><office:spreadsheet><table:table table:name="数据表">' + "".join(body) +
            "</table:table></office:spreadsheet></office:body></office:document>")


def libreoffice(root):
    work = tempfile.mkdtemp()
    profile = "-env:UserInstallation=file://" + os.path.join(work, "profile")
    # A CSV export with a title line, opened and saved as .xlsx by LibreOffice.
    with open(os.path.join(work, "lo-title.csv"), "w", encoding="utf-8") as out:
        out.write("2026级高一新生名单\r\n" + csv_text(","))
    with open(os.path.join(work, "lo-merged.fods"), "w", encoding="utf-8") as out:
        out.write(fods(with_total(students())))
    for source, layout in (("lo-title.csv", "lo-title"), ("lo-merged.fods", "lo-merged")):
        target = os.path.join(root, layout)
        os.makedirs(target, exist_ok=True)
        command = ["soffice", profile, "--headless", "--convert-to", "xlsx", "--outdir", target]
        if source.endswith(".csv"):
            command += ["--infilter=CSV:44,34,76,1"]
        subprocess.run(command + [os.path.join(work, source)], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=180)
        produced = os.path.join(target, os.path.splitext(source)[0] + ".xlsx")
        os.rename(produced, os.path.join(target, "名单.xlsx"))
        print(os.path.join(target, "名单.xlsx"))


def main():
    root = sys.argv[1]
    plain(os.path.join(root, "plain"))
    titled(os.path.join(root, "titled"))
    merged_headers(os.path.join(root, "merged"))
    plain(os.path.join(root, "zhongkao"), "中考总分")
    no_total(os.path.join(root, "no-total"))
    csvs(root)
    if "--libreoffice" in sys.argv:
        libreoffice(root)


if __name__ == "__main__":
    main()
