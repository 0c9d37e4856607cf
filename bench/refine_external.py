#!/usr/bin/python3
"""The refinement on lists it was not tuned on, measured from outside.

Each year is a student list written by openpyxl with its own columns (five or
nine subjects with whole marks out of 150 or 100, two or three categories, no
presets or groups). The fenban program divides it twice, the serpentine deal
alone and with --refine; the figures are recomputed here from the division
sheets, and a plain exchange method (each student in turn takes its best
improving swap; k-means criterion on the standardised total, subjects and
category values; one pass over every partner) starts from the deal.

usage: refine_external.py FENBAN STUDENTS CLASSES [--years 8] [--subjects 5] [--categories 2] [--blank 0]
(--blank P leaves P % of the subject marks empty, as for absent students; the
total adds the marks there are.)
Prints, per method, the mean over the years of the largest class difference
of the total, the worst subject, the standard deviation of the total, the
worst category count and the worst excellent and pass counts (top 20 and 30
per class, as the statistics sheet counts them); and for the deal and the
refinement, per table of the statistics sheets fenban wrote, the largest of
its 最大差 row as the sheet holds it ("sheet ...").
"""
import argparse
import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

import openpyxl

ALL_SUBJECTS = ['语文', '数学', '英语', '物理', '化学', '生物', '政治', '历史', '地理']
MAIN_SUBJECTS = {'语文', '数学', '英语'}  # out of 150; the others out of 100


def write_list(path, students, subjects, categories, blank, rng):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = '数据表'
    sheet.append(['考号', '姓名'] + categories + subjects + ['总分'])
    choices = {'性别': ['男', '女'], '住校': ['是', '否', '否'], '应届': ['是', '是', '是', '否']}
    for i in range(students):
        ability = rng.gauss(0, 1)
        marks = []
        for subject in subjects:
            main = subject in MAIN_SUBJECTS
            centre, spread, top = (105, 18, 150) if main else (70, 12, 100)
            mark = round(centre + spread * (0.7 * ability + 0.7 * rng.gauss(0, 1)))
            marks.append(None if blank > 0 and rng.random() * 100 < blank else max(0, min(top, mark)))
        row = [f'2026{i:05d}', f'学生{i}'] + [rng.choice(choices[c]) for c in categories]
        sheet.append(row + marks + [sum(m for m in marks if m is not None)])
    book.save(path)


def divide(fenban, host, classes, categories, seed, refine):
    args = [fenban, '-C', host, 'divide', '外部.xlsx', '--classes', str(classes), '--seed', str(seed),
            '--by-sex', '--by-boarding', '--by-current' if '应届' in categories else '--no-by-current',
            '--refine' if refine else '--no-refine']
    run = subprocess.run(args, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f'fenban divide failed:\n{run.stdout}\n{run.stderr}')


def read_division(path, number):
    """The students of 分班表N, each a dict of its columns with 班级 = 新班级."""
    book = openpyxl.load_workbook(path, read_only=True)
    header, students = None, []
    for row in book[f'分班表{number}'].iter_rows(values_only=True, max_col=40):
        if row and '考号' in row and '新班级' in row:
            header = row
        elif header and row and isinstance(row[header.index('新班级')], (int, float)):
            student = dict(zip(header, row))
            student['班级'] = student['新班级']
            students.append(student)
    return sorted(students, key=lambda s: s['考号'])


def sheet_largest(path, number):
    """Per table of 统计表N, as the sheet titles it, the largest of its 最大差 row."""
    rows = list(openpyxl.load_workbook(path, read_only=True)[f'统计表{number}'].iter_rows(values_only=True))
    largest, header = {}, None
    for r, row in enumerate(rows):
        if not row:
            continue
        if row[0] == '新班级':
            header = r
        if row[0] != '最大差' or header is None:
            continue
        titles = [(c, str(t)) for c, t in enumerate(rows[header - 1]) if t]
        for t, (start, title) in enumerate(titles):
            end = titles[t + 1][0] if t + 1 < len(titles) else len(row)
            title = '各项人数统计' if title.startswith('各项人数统计') else title
            values = [v for v in row[max(1, start):end] if isinstance(v, (int, float))]
            largest['sheet ' + title.replace('统计', '')] = max(values, default=0)
    return largest


def figures(students, classOf, subjects, categories, classes):
    names = sorted(set(classOf))
    members = {c: [s for s, k in zip(students, classOf) if k == c] for c in names}

    def spread(values):
        return max(values) - min(values)

    def mean(group, column):  # over the students with a mark, as the statistics count
        marks = [float(s[column]) for s in group if s[column] not in (None, '')]
        return statistics.mean(marks) if marks else 0.0

    result = {'total': spread([mean(members[c], '总分') for c in names])}
    result['subject'] = max(spread([mean(members[c], j) for c in names]) for j in subjects)
    result['SD'] = spread([statistics.pstdev([float(s['总分']) for s in members[c]]) for c in names])
    result['category'] = max(spread([sum(1 for s in members[c] if s[cat] == value) for c in names])
                             for cat in categories for value in set(s[cat] for s in students))
    for name, quota in [('excellent', 20), ('pass', 30)]:
        worst = 0
        for column in ['总分'] + subjects:
            marks = sorted((float(s[column]) for s in students if s[column] not in (None, '')), reverse=True)
            bar = math.floor(marks[classes * quota - 1]) if classes * quota <= len(marks) else 0
            worst = max(worst, spread([sum(1 for s in members[c] if s[column] not in (None, '') and float(s[column]) >= bar)
                                       for c in names]))
        result[name] = worst
    return result


def exchange(students, classOf, subjects, categories):
    """One pass of the exchange method from the given division."""
    columns = []
    for column in ['总分'] + subjects:
        present = [float(s[column]) for s in students if s[column] not in (None, '')]
        fill = statistics.mean(present) if present else 0.0  # a blank counts as the average mark
        columns.append([float(s[column]) if s[column] not in (None, '') else fill for s in students])
    for cat in categories:
        for value in sorted(set(s[cat] for s in students)):
            columns.append([1.0 if s[cat] == value else 0.0 for s in students])
    for j, values in enumerate(columns):
        mean, sd = statistics.mean(values), statistics.pstdev(values) or 1.0
        columns[j] = [(x - mean) / sd for x in values]
    n, f = len(students), len(columns)
    x = [[columns[j][i] for j in range(f)] for i in range(n)]
    names = sorted(set(classOf))
    index = {c: i for i, c in enumerate(names)}
    cls = [index[c] for c in classOf]
    sums = [[0.0] * f for _ in names]
    sizes = [0] * len(names)
    for i in range(n):
        sizes[cls[i]] += 1
        for j in range(f):
            sums[cls[i]][j] += x[i][j]
    # The criterion is the sum over classes of |class sum|² / class size.
    for i in range(n):
        a, xi = cls[i], x[i]
        best, bestDelta = None, -1e-12
        for l in range(n):
            b = cls[l]
            if a == b:
                continue
            xl, sa, sb = x[l], sums[a], sums[b]
            dd = da = db = 0.0
            for j in range(f):
                d = xl[j] - xi[j]
                dd += d * d
                da += sa[j] * d
                db += sb[j] * d
            delta = (2 * da + dd) / sizes[a] + (dd - 2 * db) / sizes[b]
            if delta < bestDelta:
                best, bestDelta = l, delta
        if best is not None:
            b = cls[best]
            for j in range(f):
                d = x[best][j] - xi[j]
                sums[a][j] += d
                sums[b][j] -= d
            cls[i], cls[best] = b, a
    return [names[c] for c in cls]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('fenban')
    parser.add_argument('students', type=int)
    parser.add_argument('classes', type=int)
    parser.add_argument('--years', type=int, default=8)
    parser.add_argument('--subjects', type=int, choices=[5, 9], default=5)
    parser.add_argument('--categories', type=int, choices=[2, 3], default=2)
    parser.add_argument('--blank', type=float, default=0)
    options = parser.parse_args()
    fenban = os.path.abspath(options.fenban)
    subjects = ALL_SUBJECTS[:options.subjects]
    categories = ['性别', '住校', '应届'][:options.categories]
    totals = {}
    for year in range(1, options.years + 1):
        host = tempfile.mkdtemp(prefix='fenban-external-')
        try:
            subprocess.run([fenban, 'init', host], check=True, capture_output=True)
            os.makedirs(os.path.join(host, '数据'), exist_ok=True)
            path = os.path.join(host, '数据', '外部.xlsx')
            write_list(path, options.students, subjects, categories, options.blank, random.Random(year))
            divide(fenban, host, options.classes, categories, year, refine=False)
            divide(fenban, host, options.classes, categories, year, refine=True)
            dealt, refined = read_division(path, 1), read_division(path, 2)
            sheets = {'serpentine': sheet_largest(path, 1), 'refine': sheet_largest(path, 2)}
        finally:
            shutil.rmtree(host, ignore_errors=True)
        if [s['考号'] for s in dealt] != [s['考号'] for s in refined] or len(dealt) != options.students:
            sys.exit(f'year {year}: the divisions do not hold every student once')
        dealtClasses = [s['班级'] for s in dealt]
        rows = {'serpentine': figures(dealt, dealtClasses, subjects, categories, options.classes),
                'exchange': figures(dealt, exchange(dealt, dealtClasses, subjects, categories), subjects, categories,
                                    options.classes),
                'refine': figures(refined, [s['班级'] for s in refined], subjects, categories, options.classes)}
        for method, sheet in sheets.items():
            rows[method].update(sheet)
        for method, row in rows.items():
            for name, value in row.items():
                totals.setdefault(method, {}).setdefault(name, 0.0)
                totals[method][name] += value / options.years
    print(f'{options.students} students, {options.classes} classes, {options.subjects} subjects, '
          f'{options.categories} categories, {options.blank:g} % blank, {options.years} years')
    for method, row in totals.items():
        print(f'  {method:<11}' + '  '.join(f'{name} {value:.3f}' for name, value in row.items()))


if __name__ == '__main__':
    main()
