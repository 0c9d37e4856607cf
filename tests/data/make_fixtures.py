#!/usr/bin/python3
"""Regenerates the workbook fixtures of the file layer's tests.

Run with the system Python (it needs openpyxl):  /usr/bin/python3 make_fixtures.py
The .xls fixture needs LibreOffice (soffice); it is skipped when soffice is missing.
Every file is small and committed; the tests never run this script.
"""
import datetime
import os
import shutil
import struct
import subprocess
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
MAIN_NS = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG_REL = 'http://schemas.openxmlformats.org/package/2006/relationships'
DOC_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
CT_SHEET = 'application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml'
CT_BOOK = 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml'
CT_BOOK_MACRO = 'application/vnd.ms-excel.sheet.macroEnabled.main+xml'


def out(name):
    return os.path.join(HERE, name)


def sheet_xml(body, prefix=''):
    p = prefix + ':' if prefix else ''
    ns = 'xmlns:%s="%s"' % (prefix, MAIN_NS) if prefix else 'xmlns="%s"' % MAIN_NS
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<%sworksheet %s xmlns:r="%s">%s</%sworksheet>' % (p, ns, REL_NS, body, p))


def build_xlsx(path, sheets, shared=None, styles=None, extra=None, book_type=CT_BOOK,
               workbook_inner='', sheet_rels=None, defined_names=''):
    """sheets: list of (name, xml, state). shared: list of <si> inner XML strings."""
    extra = extra or {}
    sheet_rels = sheet_rels or {}
    overrides = ['<Override PartName="/xl/workbook.xml" ContentType="%s"/>' % book_type]
    book_rels = []
    sheet_entries = []
    for i, (name, _, state) in enumerate(sheets, 1):
        overrides.append('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="%s"/>' % (i, CT_SHEET))
        book_rels.append('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>'
                         % (i, DOC_REL, i))
        st = ' state="%s"' % state if state else ''
        sheet_entries.append('<sheet name="%s" sheetId="%d"%s r:id="rId%d"/>' % (name, i, st, i))
    n = len(sheets)
    if shared is not None:
        book_rels.append('<Relationship Id="rId%d" Type="%s/sharedStrings" Target="sharedStrings.xml"/>'
                         % (n + 1, DOC_REL))
    if styles is not None:
        book_rels.append('<Relationship Id="rId%d" Type="%s/styles" Target="styles.xml"/>' % (n + 2, DOC_REL))
    files = {
        '[Content_Types].xml':
            '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
            'content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
            'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>%s</Types>'
            % ''.join(overrides),
        '_rels/.rels':
            '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s"><Relationship Id="rId1" '
            'Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % (PKG_REL, DOC_REL),
        'xl/workbook.xml':
            '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="%s" xmlns:r="%s">%s<sheets>%s</sheets>%s'
            '</workbook>' % (MAIN_NS, REL_NS, workbook_inner, ''.join(sheet_entries),
                             '<definedNames>%s</definedNames>' % defined_names if defined_names else ''),
        'xl/_rels/workbook.xml.rels':
            '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">%s</Relationships>'
            % (PKG_REL, ''.join(book_rels)),
    }
    for i, (_, xml, _) in enumerate(sheets, 1):
        files['xl/worksheets/sheet%d.xml' % i] = xml
    for i, rels in sheet_rels.items():
        files['xl/worksheets/_rels/sheet%d.xml.rels' % i] = (
            '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">%s</Relationships>' % (PKG_REL, rels))
    if shared is not None:
        files['xl/sharedStrings.xml'] = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="%s" count="%d" '
                                         'uniqueCount="%d">%s</sst>'
                                         % (MAIN_NS, len(shared), len(shared),
                                            ''.join('<si>%s</si>' % s for s in shared)))
    if styles is not None:
        files['xl/styles.xml'] = '<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="%s">%s</styleSheet>' % (
            MAIN_NS, styles)
    files.update(extra)
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data if isinstance(data, bytes) else data.encode('utf-8'))


HANDMADE_STYLES = (
    '<numFmts count="1"><numFmt numFmtId="164" formatCode="0.0"/></numFmts>'
    '<fonts count="3"><font><sz val="11"/><color theme="1"/><name val="宋体"/></font>'
    '<font><b/><sz val="14"/><color rgb="FFFF0000"/></font>'
    '<font><sz val="9"/><color indexed="12"/></font></fonts>'
    '<fills count="4"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>'
    '<fill><patternFill patternType="solid"><fgColor indexed="42"/><bgColor indexed="64"/></patternFill></fill>'
    '<fill><patternFill patternType="solid"><fgColor theme="0" tint="-0.249977111117893"/></patternFill></fill>'
    '</fills>'
    '<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>'
    '<border><left style="thin"/><right style="double"/><top style="medium"/><bottom style="dashed"/><diagonal/>'
    '</border></borders>'
    '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
    '<cellXfs count="5"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
    '<xf numFmtId="164" fontId="1" fillId="2" borderId="1" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="0" fontId="2" fillId="3" borderId="0" xfId="0"><alignment horizontal="center" '
    'vertical="center" wrapText="1"/></xf>'
    '<xf numFmtId="2" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>'
    '<dxfs count="1"><dxf><font><b/><sz val="30"/></font></dxf></dxfs>')


def handmade():
    # Inline strings, rows and cells without r, a lying dimension, errors,
    # Booleans, cached formula values, rich text with phonetic runs, escapes,
    # an ISO date cell, styles by index, merges, breaks, set-up and a view.
    shared = ['<t>姓名</t>',
              '<r><rPr><b/></rPr><t>王</t></r><r><t xml:space="preserve">小明</t></r>'
              '<rPh sb="0" eb="1"><t>ワン</t></rPh>',
              '<t>line_x000D_break</t>',
              '<t>总分</t>']
    body = (
        '<dimension ref="A1:B2"/>'
        '<sheetViews><sheetView tabSelected="1" zoomScale="85" workbookViewId="0">'
        '<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/></sheetView></sheetViews>'
        '<sheetFormatPr defaultRowHeight="14.25"/>'
        '<cols><col min="1" max="1" width="12.7109375" customWidth="1"/>'
        '<col min="3" max="4" width="5.7109375" customWidth="1" style="3"/></cols>'
        '<sheetData>'
        '<row><c t="s"><v>0</v></c><c t="s"><v>3</v></c><c t="inlineStr"><is><t>备注</t></is></c></row>'
        '<row ht="30" customHeight="1"><c t="s"><v>1</v></c><c s="1"><v>612.5</v></c>'
        '<c t="inlineStr"><is><r><t>富</t></r><r><t>文本</t></r></is></c></row>'
        '<row r="5"><c r="A5" t="b"><v>1</v></c><c r="B5" t="e"><v>#DIV/0!</v></c>'
        '<c r="C5"><f>1+1</f><v>2</v></c><c r="D5" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>'
        '<c r="E5" t="b"><v>0</v></c></row>'
        '<row r="6"><c r="A6" s="2"><v>45170</v></c><c r="B6" t="d"><v>2023-09-01T12:00:00</v></c>'
        '<c r="C6" t="s"><v>2</v></c><c r="D6" s="4"/><c r="G6" t="e"><f>NA()</f><v>#N/A</v></c></row>'
        '<row r="8" hidden="1"><c r="A8"><v>8</v></c></row>'
        '<row r="9"><c r="AB9"><v>-1.5E-3</v></c></row>'
        '</sheetData>'
        '<mergeCells count="1"><mergeCell ref="C2:D3"/></mergeCells>'
        '<printOptions horizontalCentered="1"/>'
        '<pageMargins left="0.25" right="0.25" top="1" bottom="0.5" header="0.1" footer="0.2"/>'
        '<pageSetup paperSize="9" scale="75" orientation="landscape"/>'
        '<headerFooter><oddHeader>&amp;L左&amp;C标题&amp;R右</oddHeader><oddFooter>&amp;C第&amp;P页</oddFooter>'
        '</headerFooter>'
        '<rowBreaks count="2" manualBreakCount="2"><brk id="4" max="16383" man="1"/>'
        '<brk id="7" max="16383" man="1"/></rowBreaks>'
        '<colBreaks count="1" manualBreakCount="1"><brk id="2" max="1048575" man="1"/></colBreaks>')
    validation_body = (
        '<sheetData><row r="2"><c r="C2" t="inlineStr"><is><t>是</t></is></c></row></sheetData>'
        '<dataValidations count="2"><dataValidation type="list" allowBlank="1" showInputMessage="1" '
        'showErrorMessage="1" promptTitle="取整" prompt="总分是否取整" sqref="C2"><formula1>"是,否"</formula1>'
        '</dataValidation><dataValidation type="whole" operator="greaterThan" errorStyle="warning" '
        'sqref="A1:A3 E5"><formula1>0</formula1></dataValidation></dataValidations>')
    build_xlsx(out('handmade.xlsx'),
               [('数据表', sheet_xml(body), None),
                ('登记表', sheet_xml(validation_body, prefix='x'), None),
                ('隐藏', sheet_xml('<sheetData/>'), 'hidden')],
               shared=shared, styles=HANDMADE_STYLES,
               workbook_inner='<workbookPr date1904="false"/><bookViews><workbookView activeTab="1" '
                              'tabRatio="750"/></bookViews>',
               defined_names='<definedName name="_xlnm.Print_Titles" localSheetId="0">数据表!$1:$1</definedName>'
                             '<definedName name="_xlnm._FilterDatabase" localSheetId="0" hidden="1">数据表!$A$1:$B$2'
                             '</definedName>')


def unkept():
    # A workbook with a chart, a comment and a conditional format; and a macro workbook.
    body = ('<sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>'
            '<conditionalFormatting sqref="A1"><cfRule type="cellIs" dxfId="0" priority="1" operator="greaterThan">'
            '<formula>0</formula></cfRule></conditionalFormatting><drawing r:id="rId1"/>')
    build_xlsx(out('with_chart.xlsx'), [('Sheet1', sheet_xml(body), None)],
               sheet_rels={1: '<Relationship Id="rId1" Type="%s/drawing" Target="../drawings/drawing1.xml"/>'
                              '<Relationship Id="rId2" Type="%s/comments" Target="../comments1.xml"/>'
                              % (DOC_REL, DOC_REL)},
               extra={'xl/drawings/drawing1.xml': '<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/'
                                                  'drawingml/2006/spreadsheetDrawing"/>',
                      'xl/charts/chart1.xml': '<c:chartSpace xmlns:c="http://schemas.openxmlformats.org/'
                                              'drawingml/2006/chart"/>',
                      'xl/comments1.xml': '<comments xmlns="%s"/>' % MAIN_NS})
    build_xlsx(out('macro.xlsm'), [('Sheet1', sheet_xml('<sheetData><row r="1"><c r="A1"><v>7</v></c></row>'
                                                        '</sheetData>'), None)],
               book_type=CT_BOOK_MACRO, extra={'xl/vbaProject.bin': b'\xd0\xcf\x11\xe0not really a project'})


def malformed():
    ok_body = '<sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1"><v>1</v></c></row></sheetData>'
    build_xlsx(out('missing_shared_strings.xlsx'), [('S', sheet_xml(ok_body), None)])
    build_xlsx(out('beyond_columns.xlsx'),
               [('S', sheet_xml('<sheetData><row r="1"><c r="XFE1"><v>1</v></c></row></sheetData>'), None)])
    build_xlsx(out('beyond_rows.xlsx'),
               [('S', sheet_xml('<sheetData><row r="1048577"><c><v>1</v></c></row></sheetData>'), None)])
    full = sheet_xml('<sheetData>' + ''.join('<row r="%d"><c r="A%d"><v>%d</v></c></row>' % (i, i, i)
                                             for i in range(1, 200)) + '</sheetData>')
    build_xlsx(out('cut_sheet.xlsx'), [('S', full[:len(full) // 2], None)])
    # An entry that claims 1 GB uncompressed: the sizes in both headers are rewritten.
    path = out('claims_1gb.xlsx')
    build_xlsx(path, [('S', sheet_xml(ok_body.replace(' t="s"', '')), None)])
    data = bytearray(open(path, 'rb').read())
    target = b'xl/worksheets/sheet1.xml'
    pos = 0
    while True:
        pos = data.find(target, pos)
        if pos < 0:
            break
        if data[pos - 30:pos - 26] == b'PK\x03\x04':
            struct.pack_into('<I', data, pos - 30 + 22, 1 << 30)
        elif data[pos - 46:pos - 42] == b'PK\x01\x02':
            struct.pack_into('<I', data, pos - 46 + 24, 1 << 30)
        pos += 1
    open(path, 'wb').write(bytes(data))
    # Two sheets that name the same part: reading it twice could multiply a large part.
    path = out('shared_part.xlsx')
    build_xlsx(path, [('A', sheet_xml(ok_body.replace(' t="s"', '')), None), ('B', sheet_xml('<sheetData/>'), None)])
    with zipfile.ZipFile(path) as z:
        files = {name: z.read(name) for name in z.namelist()}
    files['xl/workbook.xml'] = files['xl/workbook.xml'].replace(b'r:id="rId2"', b'r:id="rId1"')
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data)
    # The head of a compound file that holds an encrypted package.
    ole = bytearray(b'\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1' + b'\x00' * 504)
    ole += 'EncryptionInfo'.encode('utf-16-le') + b'\x00' * 50 + 'EncryptedPackage'.encode('utf-16-le')
    ole += b'\x00' * (1024 - len(ole) % 1024)
    open(out('encrypted.xlsx'), 'wb').write(bytes(ole))
    open(out('not_a_workbook.xlsx'), 'wb').write('学生名单，逗号分隔\n张三,男\n'.encode('utf-8'))
    with zipfile.ZipFile(out('document.docx'), 'w') as z:
        z.writestr('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/'
                                          'content-types"/>')
        z.writestr('word/document.xml', '<w:document xmlns:w="urn:x"/>')
    doctype = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;">]>'
               '<worksheet xmlns="%s"><sheetData><row><c t="inlineStr"><is><t>&lol2;</t></is></c></row>'
               '</sheetData></worksheet>' % MAIN_NS)
    build_xlsx(out('doctype.xlsx'), [('S', doctype, None)])


def with_openpyxl():
    import openpyxl
    from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
    from openpyxl.worksheet.datavalidation import DataValidation
    from openpyxl.worksheet.pagebreak import Break

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = '分班表1'
    ws.append(['新班级', '序号', '姓名', '性别', '总分'])
    students = [(1, 1, '张三', '男', 612.5), (2, 2, '李四', '女', 598), (1, 3, '王五', '男', 587),
                (2, 4, '赵六', '女', 575.5)]
    for row in students:
        ws.append(list(row))
    ws['G1'] = '日期'
    ws['G2'] = datetime.date(2023, 9, 1)
    ws['H2'] = '=SUM(E2:E5)'
    ws['A1'].font = Font(bold=True, size=14, color='FFFF0000')
    ws['E2'].number_format = '0.0'
    ws['B1'].fill = PatternFill('solid', fgColor='FFCCFFCC')
    thin = Side(style='thin')
    ws['C1'].border = Border(left=thin, right=Side(style='double'), top=thin, bottom=thin)
    ws['D1'].alignment = Alignment(horizontal='center', vertical='center', wrap_text=True)
    ws.column_dimensions['C'].width = 12
    ws.row_dimensions[1].height = 24
    ws.merge_cells('A7:E7')
    ws['A7'] = '合计'
    ws.freeze_panes = 'A3'
    ws.print_title_rows = '1:2'
    ws.row_breaks.append(Break(id=3))
    ws.page_setup.orientation = 'landscape'
    ws.page_setup.scale = 90
    ws.page_margins.top = 30 / 72
    ws.print_options.horizontalCentered = True
    ws.oddFooter.center.text = '&P'
    ws.sheet_view.zoomScale = 80
    dv = DataValidation(type='list', formula1='"是,否"', allow_blank=True)
    dv.promptTitle = '取整'
    dv.prompt = '选择是或否'
    ws.add_data_validation(dv)
    dv.add('F2:F5')
    other = wb.create_sheet('统计表1')
    other['A1'] = '最大差'
    hidden = wb.create_sheet('FBB')
    hidden.sheet_state = 'hidden'
    wb.active = 1
    wb.save(out('openpyxl_styled.xlsx'))


def filtered():
    """A class list with an auto filter and a print area, as openpyxl saves them."""
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Class 'A' list"
    ws.append(['姓名', '性别', '总分'])
    for row in [('张三', '男', 612.5), ('李四', '女', 598), ('王五', '男', 587)]:
        ws.append(list(row))
    ws.auto_filter.ref = 'A1:C4'
    ws.print_area = 'A1:C4'
    other = wb.create_sheet('备注')
    other['A1'] = '无'
    wb.save(out('filtered.xlsx'))


def formulas():
    """A class list whose totals are formulas without results, as openpyxl saves them."""
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = '数据表'
    ws.append(['姓名', '性别', '语文', '数学', '英语', '总分', '平均'])
    ws.append(['张三', '男', 90, 85.5, 70, '=SUM(C2:E2)', '=ROUND(AVERAGE(C2:E2),1)'])
    ws.append(['李四', '女', 88, 92, 79, '=SUM($C3:$E3)', '=COUNT(C3:E3)'])
    ws.append(['王五', '男', 60, 75, 81, '=C4+D4+E4', '=SUM($C$2:$C$4)'])
    ws.append(['赵六', '女', 95, 91, 89, '=SUM(C5:E5)', '=MEDIAN(C5:E5)'])
    ws.append(['钱七', '男', 70, 70, 70, '=SUM(C6:E6)', '=F2-F6'])
    wb.create_sheet('备注')['A1'] = '=数据表!F2'
    wb.save(out('openpyxl_formulas.xlsx'))


def shared_formulas():
    # Totals as a spreadsheet program shares one formula down a column, some
    # cells with cached results and some without; an array formula without
    # result; a formula that reads another sheet.
    body = (
        '<sheetData>'
        '<row r="1"><c r="A1" t="inlineStr"><is><t>姓名</t></is></c><c r="B1" t="inlineStr"><is><t>语文</t></is></c>'
        '<c r="C1" t="inlineStr"><is><t>数学</t></is></c><c r="D1" t="inlineStr"><is><t>总分</t></is></c></row>'
        '<row r="2"><c r="A2" t="inlineStr"><is><t>甲</t></is></c><c r="B2"><v>90</v></c><c r="C2"><v>80</v></c>'
        '<c r="D2"><f t="shared" ref="D2:D5" si="0">SUM(B2:C2)</f></c>'
        '<c r="E2"><f t="shared" ref="E2:E3" si="1">D2*2</f><v>999</v></c></row>'
        '<row r="3"><c r="A3" t="inlineStr"><is><t>乙</t></is></c><c r="B3"><v>70</v></c><c r="C3"><v>65</v></c>'
        '<c r="D3"><f t="shared" si="0"/><v></v></c><c r="E3"><f t="shared" si="1"/></c></row>'
        '<row r="4"><c r="A4" t="inlineStr"><is><t>丙</t></is></c><c r="B4"><v>50</v></c><c r="C4"><v>55</v></c>'
        '<c r="D4"><f t="shared" si="0"/><v>1</v></c><c r="F4"><f t="array" ref="F4">SUM(B4:C4*2)</f></c></row>'
        '<row r="5"><c r="A5" t="inlineStr"><is><t>丁</t></is></c><c r="B5"><v>40</v></c><c r="C5"><v>45</v></c>'
        '<c r="D5"><f t="shared" si="0"/></c><c r="E5"><f>备注!A1+1</f></c>'
        '<c r="F5" t="str"><f>IF(B5&gt;100,"x","")</f><v></v></c></row>'
        '</sheetData>')
    build_xlsx(out('shared_formulas.xlsx'),
               [('数据表', sheet_xml(body), None),
                ('备注', sheet_xml('<sheetData><row r="1"><c r="A1"><v>5</v></c></row></sheetData>'), None)])


def with_libreoffice():
    soffice = shutil.which('soffice')
    if soffice is None:
        print('soffice not found: genuine.xls not regenerated')
        return
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = '数据表'
    ws.append(['姓名', '性别', '总分', '入学日期'])
    ws.append(['张三', '男', 612.5, datetime.date(2023, 9, 1)])
    ws.append(['李四', '女', 598, datetime.date(2023, 9, 2)])
    ws['C2'].number_format = '0.0'
    wb.create_sheet('备注')['B3'] = 42
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, 'genuine.xlsx')
        wb.save(source)
        subprocess.run([soffice, '--headless', '--convert-to', 'xls', '--outdir', tmp, source], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, HOME=tmp))
        shutil.copy(os.path.join(tmp, 'genuine.xls'), out('genuine.xls'))
        subprocess.run([soffice, '--headless', '--convert-to', 'xlsx', '--outdir', tmp, out('handmade.xlsx')],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, HOME=tmp))
        shutil.copy(os.path.join(tmp, 'handmade.xlsx'), out('libreoffice_resaved.xlsx'))
    with_dates(soffice)


def with_dates(soffice):
    """dates.xls: a student list with a date, a date-and-time and a time column, as LibreOffice writes it."""
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = '数据表'
    ws.append(['姓名', '性别', '总分', '出生日期', '报到时间', '午休'])
    students = [('张三', '男', 612.5), ('李四', '女', 598), ('王五', '男', 587), ('赵六', '女', 575),
                ('钱七', '男', 560), ('孙八', '女', 541)]
    for i, (name, sex, total) in enumerate(students):
        ws.append([name, sex, total, datetime.date(2010, 7, 26 - i), datetime.datetime(2026, 8, 30, 8, 15 + i, 30),
                   datetime.time(12, 30 + i)])
    for row in ws.iter_rows(min_row=2):
        row[3].number_format = 'yyyy-mm-dd'
        row[4].number_format = 'yyyy-mm-dd hh:mm:ss'
        row[5].number_format = 'hh:mm'
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, 'dates.xlsx')
        wb.save(source)
        subprocess.run([soffice, '--headless', '--convert-to', 'xls', '--outdir', tmp, source], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, HOME=tmp))
        shutil.copy(os.path.join(tmp, 'dates.xls'), out('dates.xls'))


def password_xls():
    """password.xls: genuine.xls as a workbook protected with a password to open.

    Excel marks such a workbook with a FILEPASS record right after the BOF record
    of the globals ([MS-XLS] 2.4.117, RC4: type 1, version 1.1, salt, verifier and
    its hash) and encrypts the data of every later record but BOF, FILEPASS,
    INTERFACEHDR and the stream position at the start of each BOUNDSHEET
    ([MS-XLS] 2.2.10). Without the password the data is noise to a reader, so it
    is scrambled here; LibreOffice's converter writes no password into .xls.
    """
    import random
    import struct
    data = bytearray(open(out('genuine.xls'), 'rb').read())
    bof = data.find(bytes.fromhex('0908100000060500'))
    first = bof + 4 + 16
    # The records after the BOF make room for FILEPASS and one filler record.
    filepass = struct.pack('<HHHHH', 0x2F, 54, 1, 1, 1) + bytes(range(48))
    end = first
    while end - first < len(filepass) + 4:
        end += 4 + struct.unpack('<HH', data[end:end + 4])[1]
    filler = struct.pack('<HH', 0x5C, end - first - len(filepass) - 4) + b' ' * (end - first - len(filepass) - 4)
    data[first:end] = filepass + filler
    keystream = random.Random(2026)
    at = end
    while at + 4 <= len(data):
        kind, length = struct.unpack('<HH', data[at:at + 4])
        if kind == 0 and length == 0:
            break
        if kind not in (0x0809, 0x002F, 0x00E1):
            for i in range(at + 4 + (4 if kind == 0x0085 else 0), at + 4 + length):
                data[i] ^= keystream.randrange(256)
        at += 4 + length
    open(out('password.xls'), 'wb').write(bytes(data))


def png(name, width, height):
    """A PNG picture of one colour, for the tests of the guide's pictures."""
    import zlib

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    rows = b''.join(b'\x00' + b'\x3c\x78\xb4' * width for _ in range(height))
    with open(out(name), 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(rows, 9)))
        f.write(chunk(b'IEND', b''))


def pictures():
    png('picture_wide.png', 1000, 400)   # wider than help.doc's text: scaled down
    png('picture_narrow.png', 320, 240)  # shown at its own size


if __name__ == '__main__':
    pictures()
    handmade()
    unkept()
    malformed()
    with_openpyxl()
    filtered()
    formulas()
    shared_formulas()
    with_libreoffice()
    password_xls()
