#!/usr/bin/python3
"""Reads and edits the workbooks of the browser test with openpyxl, the
independent reader: the facts the page must agree with, a hand move of one
student, and the two faulty lists that the page must refuse to divide."""
import json
import sys

import openpyxl


def header_row(sheet):
    return 2 if sheet.cell(2, 1).value == '新班级' else 1


def division_facts(book, number):
    wb = openpyxl.load_workbook(book)
    division = wb['分班表%s' % number]
    top = header_row(division)
    headers = [c.value for c in division[top]]
    name_col = headers.index('姓名')
    classes = {}
    for row in division.iter_rows(min_row=top + 1, values_only=True):
        if row[0] is None:
            break
        label = row[0]
        label = str(int(label)) if isinstance(label, float) and label.is_integer() else str(label)
        classes.setdefault(label, []).append(row[name_col])
    statistics = wb['统计表%s' % number]
    max_diff = []
    for row in statistics.iter_rows(values_only=True):
        if row[0] == '最大差':
            values = list(row[1:])
            while values and values[-1] is None:
                values.pop()
            max_diff.append(values)
    report = None
    for row in statistics.iter_rows(values_only=True):
        if isinstance(row[0], str) and row[0].startswith('同班同名统计'):
            report = row[0]
    return {'sheets': wb.sheetnames, 'classes': classes, 'maxDiff': max_diff, 'report': report}


def move(book, sheet_name, name, total, to):
    wb = openpyxl.load_workbook(book)
    sheet = wb[sheet_name]
    top = header_row(sheet)
    headers = [c.value for c in sheet[top]]
    name_col, total_col = headers.index('姓名') + 1, headers.index('总分') + 1
    for row in range(top + 1, sheet.max_row + 1):
        if sheet.cell(row, name_col).value == name and abs(float(sheet.cell(row, total_col).value) - total) < 1e-9:
            sheet.cell(row, 1).value = to
            wb.save(book)
            return
    sys.exit('student %s (%s) not found' % (name, total))


def options(host_book):
    dtb = openpyxl.load_workbook(host_book)['DTB']
    return {'C2': dtb['C2'].value, 'D2': dtb['D2'].value, 'E2': dtb['E2'].value, 'F2': dtb['F2'].value,
            'G2': dtb['G2'].value, 'H2': dtb['H2'].value, 'I2': dtb['I2'].value, 'K2': dtb['K2'].value}


def faulty_lists(folder):
    header = ['姓名', '性别', '语文', '数学', '总分']
    rows = [['学生%d' % i, '男' if i % 2 else '女', 60 + i, 70 + i, 130 + 2 * i] for i in range(1, 21)]
    without_total = openpyxl.Workbook()
    sheet = without_total.active
    sheet.title = '数据表'
    sheet.append(header[:-1])
    for row in rows:
        sheet.append(row[:-1])
    without_total.save(folder + '/无总分.xlsx')
    without_sex = openpyxl.Workbook()
    sheet = without_sex.active
    sheet.title = '数据表'
    sheet.append([h for h in header if h != '性别'])
    for row in rows:
        sheet.append([v for i, v in enumerate(row) if i != 1])
    without_sex.save(folder + '/无性别.xlsx')


def groups(source, target):
    """A copy of a list where the first student is preset into class 1, the
    next two must share a class ("同班") and the two after must not ("分开");
    prints their names."""
    wb = openpyxl.load_workbook(source)
    sheet = wb['数据表']
    headers = [c.value for c in sheet[1]]
    name_col, preset_col = headers.index('姓名') + 1, headers.index('预设班') + 1
    together_col, apart_col = len(headers) + 1, len(headers) + 2
    sheet.cell(1, together_col).value = '同班'
    sheet.cell(1, apart_col).value = '分开'
    for row in range(2, sheet.max_row + 1):
        sheet.cell(row, preset_col).value = None
    sheet.cell(2, preset_col).value = 1
    for row in (3, 4):
        sheet.cell(row, together_col).value = '甲'
    for row in (5, 6):
        sheet.cell(row, apart_col).value = '乙'
    wb.save(target)
    names = [sheet.cell(row, name_col).value for row in range(2, 7)]
    print(json.dumps({'preset': names[0], 'together': names[1:3], 'apart': names[3:5]}, ensure_ascii=False))


if __name__ == '__main__':
    command = sys.argv[1]
    if command == 'facts':
        print(json.dumps(division_facts(sys.argv[2], sys.argv[3]), ensure_ascii=False))
    elif command == 'move':
        move(sys.argv[2], sys.argv[3], sys.argv[4], float(sys.argv[5]), int(sys.argv[6]))
    elif command == 'options':
        print(json.dumps(options(sys.argv[2]), ensure_ascii=False))
    elif command == 'faulty':
        faulty_lists(sys.argv[2])
    elif command == 'groups':
        groups(sys.argv[2], sys.argv[3])
    else:
        sys.exit('unknown command ' + command)
