#!/usr/bin/python3
"""Checks how divided workbooks print, by rendering them with LibreOffice.

Each workbook is converted to PDF (LibreOffice with a private profile) and
its pages are told apart by their text: the class lists ("分班表N") carry the
header row "新班级 序号 ...", the statistics ("统计表N") the title
"最大差" or a table title, every other page belongs to the student list. Then:

  --classes K           the class lists print on exactly K pages, one class per
                        page (every student row of a page belongs to one class)
  --pages-per-class N   ... or on N pages per class instead of one
  --header-words W,W    every class list page shows these header words, so no
                        column was cut off onto a page of its own
  --one-stats-page      the statistics sheet prints on one landscape page

and always: every page is A4; on the statistics page each table title is
printed above its header row and nothing is printed over a title; on every
class list page the title row lies above the header row.

  /usr/bin/python3 scripts/check_print.py BOOK.xlsx [checks...] [--keep-pdf DIR]

Exit status 0 when every check holds, 1 otherwise, 2 for wrong usage.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

A4 = (595.3, 841.9)
WORD = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>')
PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', re.S)
TITLES = ('各项人数统计', '优秀人数统计', '及格人数统计', '平均分统计')


class Word:
    def __init__(self, match):
        self.x0, self.y0, self.x1, self.y1 = (float(match.group(i)) for i in range(1, 5))
        self.text = match.group(5).replace('&amp;', '&').replace('&lt;', '<').replace('&gt;', '>')


def convert(book, out_dir):
    profile = tempfile.mkdtemp(prefix='fenban-lo-')
    try:
        subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless',
                        '--convert-to', 'pdf', '--outdir', out_dir, book],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    pdf = os.path.join(out_dir, os.path.splitext(os.path.basename(book))[0] + '.pdf')
    if not os.path.exists(pdf):
        raise SystemExit('check_print: LibreOffice wrote no PDF for %s' % book)
    return pdf


def read_pages(pdf):
    html = subprocess.run(['pdftotext', '-bbox', pdf, '-'], check=True, capture_output=True).stdout.decode()
    pages = []
    for match in PAGE.finditer(html):
        width, height = float(match.group(1)), float(match.group(2))
        pages.append((width, height, [Word(w) for w in WORD.finditer(match.group(3))]))
    return pages


def kind_of(words):
    texts = {w.text for w in words}
    if '最大差' in texts or any(w.text.startswith(TITLES) for w in words):
        return 'statistics'
    if '新班级' in texts and '序号' in texts:
        return 'division'
    return 'data'


def overlaps(a, b, tolerance=1.0):
    return (min(a.x1, b.x1) - max(a.x0, b.x0) > tolerance and
            min(a.y1, b.y1) - max(a.y0, b.y0) > tolerance)


def check_titles(words, failures, page_number):
    """Each title lies above the header row of its table, and nothing overlaps it."""
    titles = [w for w in words if w.text.startswith(TITLES)]
    for title in titles:
        for other in words:
            if other is not title and overlaps(title, other):
                failures.append('page %d: "%s" is printed over the title "%s"' % (page_number, other.text, title.text))
        below = [w for w in words if w.text == '新班级' and w.y0 > title.y0]
        if not below:
            failures.append('page %d: no header row below the title "%s"' % (page_number, title.text))
            continue
        header = min(below, key=lambda w: w.y0)
        # Everything between the title's top and the header's last line is the
        # header row: it must start below the title, under its horizontal span
        # or not.
        band = [w for w in words if title.y0 <= w.y0 <= header.y1 and w not in titles and w is not header]
        for word in band:
            if word.y0 < title.y1 - 1.0:
                failures.append('page %d: header "%s" starts beside or above the title "%s"' %
                                (page_number, word.text, title.text))
    return len(titles)


def class_labels(words, header):
    """The class numbers printed in the first column below the header row."""
    column = [w for w in words if w.y0 > header.y1 and w.x1 <= header.x1 + 2 and w.x0 >= header.x0 - 20]
    return {w.text for w in column if w.text.isdigit()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('book')
    parser.add_argument('--classes', type=int)
    parser.add_argument('--pages-per-class', type=int, default=1)
    parser.add_argument('--header-words', default='')
    parser.add_argument('--one-stats-page', action='store_true')
    parser.add_argument('--keep-pdf', metavar='DIR')
    args = parser.parse_args()

    out_dir = args.keep_pdf or tempfile.mkdtemp(prefix='fenban-pdf-')
    try:
        pages = read_pages(convert(args.book, out_dir))
    finally:
        if not args.keep_pdf:
            shutil.rmtree(out_dir, ignore_errors=True)

    failures = []
    division_pages, statistics_pages = [], []
    for number, (width, height, words) in enumerate(pages, 1):
        if abs(min(width, height) - A4[0]) > 1 or abs(max(width, height) - A4[1]) > 1:
            failures.append('page %d is %.0f x %.0f points, not A4' % (number, width, height))
        kind = kind_of(words)
        if kind == 'statistics':
            statistics_pages.append(number)
            if width < height:
                failures.append('page %d: the statistics print upright, not landscape' % number)
            check_titles(words, failures, number)
        elif kind == 'division':
            division_pages.append(number)
            header = next(w for w in words if w.text == '新班级')
            labels = class_labels(words, header)
            if len(labels) != 1:
                failures.append('page %d: class list page shows classes %s' % (number, sorted(labels)))
            above = [w for w in words if w.y1 <= header.y0 + 1.0]
            if not above:
                failures.append('page %d: no title row above the header row' % number)
            for word in args.header_words.split(',') if args.header_words else []:
                if not any(w.text == word for w in words):
                    failures.append('page %d: the header "%s" is not on this page' % (number, word))

    print('check_print: %s: %d pages, class lists on %d, statistics on %d' %
          (os.path.basename(args.book), len(pages), len(division_pages), len(statistics_pages)))
    if args.classes is not None and len(division_pages) != args.classes * args.pages_per_class:
        failures.append('the class lists of %d classes print on %d pages, expected %d' %
                        (args.classes, len(division_pages), args.classes * args.pages_per_class))
    if args.one_stats_page and len(statistics_pages) != 1:
        failures.append('the statistics print on %d pages, expected one' % len(statistics_pages))
    for failure in failures:
        print('check_print: ' + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
