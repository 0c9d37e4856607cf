#!/usr/bin/python3
"""Independent check of an .xlsx file written by fenban, read with openpyxl.

Prints what the file holds (sheets, values, merges, print titles, row
breaks, frozen panes, validation) and checks the expectations given on the
command line. Exit status 0 when every expectation holds, 1 otherwise
(including a file openpyxl cannot read), 2 for wrong usage.

  /usr/bin/python3 scripts/check_xlsx.py FILE [--expect-sheet NAME ...]
      [--expect-value 'SHEET!A1=TEXT'] [--expect-merge 'SHEET!A1:D1']
      [--expect-print-titles 'SHEET=1:2'] [--expect-row-break 'SHEET=12']
      [--expect-frozen 'SHEET=A3'] [--expect-validation 'SHEET!C2=是,否']
      [--expect-hidden NAME] [--expect-active NAME] [--quiet]

Values compare as text: numbers in their shortest form (85, 85.5), TRUE/FALSE
for Booleans, the formula's text for a formula cell (=SUM(A1:A3)).
A row break N means a page break before row N.
"""
import argparse
import sys


def text_of(value):
    if value is None:
        return ''
    if isinstance(value, bool):
        return 'TRUE' if value else 'FALSE'
    if isinstance(value, float):
        return repr(int(value)) if value.is_integer() else repr(value)
    return str(value)


def split_once(item, separator, option):
    if separator not in item:
        raise SystemExit('%s: expected "...%s...", got %r' % (option, separator, item))
    return item.split(separator, 1)


def describe(workbook, out):
    for ws in workbook.worksheets:
        out('sheet %r state=%s dimensions=%s' % (ws.title, ws.sheet_state, ws.dimensions))
        merges = sorted(str(r) for r in ws.merged_cells.ranges)
        if merges:
            out('  merges: %s' % ', '.join(merges))
        if ws.print_title_rows:
            out('  print title rows: %s' % ws.print_title_rows)
        breaks = [b.id + 1 for b in ws.row_breaks.brk]
        if breaks:
            out('  page breaks before rows: %s' % ', '.join(str(b) for b in breaks))
        if ws.freeze_panes:
            out('  frozen at: %s' % ws.freeze_panes)
        for dv in ws.data_validations.dataValidation:
            out('  validation %s %s: %s' % (dv.sqref, dv.type, dv.formula1))
        shown = 0
        for row in ws.iter_rows(min_row=1, max_row=min(ws.max_row, 3)):
            cells = [text_of(c.value) for c in row[:8]]
            if any(cells):
                out('  row %d: %s' % (row[0].row, ' | '.join(cells)))
                shown += 1
    out('active sheet: %r' % workbook.active.title)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('file')
    parser.add_argument('--expect-sheet', action='append', default=[])
    parser.add_argument('--expect-value', action='append', default=[])
    parser.add_argument('--expect-merge', action='append', default=[])
    parser.add_argument('--expect-print-titles', action='append', default=[])
    parser.add_argument('--expect-row-break', action='append', default=[])
    parser.add_argument('--expect-frozen', action='append', default=[])
    parser.add_argument('--expect-validation', action='append', default=[])
    parser.add_argument('--expect-hidden', action='append', default=[])
    parser.add_argument('--expect-active')
    parser.add_argument('--quiet', action='store_true')
    args = parser.parse_args(argv)

    try:
        import openpyxl
    except ImportError:
        print('check_xlsx: openpyxl is not installed for %s' % sys.executable, file=sys.stderr)
        return 1
    try:
        workbook = openpyxl.load_workbook(args.file)
    except Exception as error:  # openpyxl raises many kinds
        print('check_xlsx: cannot read %s: %s' % (args.file, error), file=sys.stderr)
        return 1

    if not args.quiet:
        describe(workbook, print)

    failures = []

    def sheet(name, what):
        if name not in workbook.sheetnames:
            failures.append('%s: no sheet %r' % (what, name))
            return None
        return workbook[name]

    for name in args.expect_sheet:
        if name not in workbook.sheetnames:
            failures.append('sheet %r missing (sheets: %s)' % (name, ', '.join(workbook.sheetnames)))
    for item in args.expect_value:
        place, expected = split_once(item, '=', '--expect-value')
        name, cell = split_once(place, '!', '--expect-value')
        ws = sheet(name, item)
        if ws is not None and text_of(ws[cell].value) != expected:
            failures.append('%s!%s is %r, expected %r' % (name, cell, text_of(ws[cell].value), expected))
    for item in args.expect_merge:
        name, area = split_once(item, '!', '--expect-merge')
        ws = sheet(name, item)
        if ws is not None and area not in [str(r) for r in ws.merged_cells.ranges]:
            failures.append('%s: %s is not merged' % (name, area))
    for item in args.expect_print_titles:
        name, rows = split_once(item, '=', '--expect-print-titles')
        ws = sheet(name, item)
        if ws is not None and (ws.print_title_rows or '').replace('$', '') != rows:
            failures.append('%s: print title rows %r, expected %r' % (name, ws.print_title_rows, rows))
    for item in args.expect_row_break:
        name, row = split_once(item, '=', '--expect-row-break')
        ws = sheet(name, item)
        if ws is not None and int(row) not in [b.id + 1 for b in ws.row_breaks.brk]:
            failures.append('%s: no page break before row %s' % (name, row))
    for item in args.expect_frozen:
        name, cell = split_once(item, '=', '--expect-frozen')
        ws = sheet(name, item)
        if ws is not None and ws.freeze_panes != cell:
            failures.append('%s: frozen at %r, expected %r' % (name, ws.freeze_panes, cell))
    for item in args.expect_validation:
        place, items = split_once(item, '=', '--expect-validation')
        name, cell = split_once(place, '!', '--expect-validation')
        ws = sheet(name, item)
        if ws is None:
            continue
        found = [dv for dv in ws.data_validations.dataValidation if cell in dv.sqref]
        if not found:
            failures.append('%s!%s has no validation' % (name, cell))
        elif found[0].type != 'list' or (found[0].formula1 or '').strip('"') != items:
            failures.append('%s!%s validation %s %r, expected list %r' % (name, cell, found[0].type,
                                                                           found[0].formula1, items))
    for name in args.expect_hidden:
        ws = sheet(name, '--expect-hidden')
        if ws is not None and ws.sheet_state == 'visible':
            failures.append('sheet %r is visible' % name)
    if args.expect_active is not None and workbook.active.title != args.expect_active:
        failures.append('active sheet %r, expected %r' % (workbook.active.title, args.expect_active))

    for failure in failures:
        print('FAIL: %s' % failure, file=sys.stderr)
    if not failures and not args.quiet:
        print('all expectations hold')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
