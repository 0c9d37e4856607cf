#include "automation/workflow/model_dump.h"

#include <cstdio>
#include <sstream>

#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"

namespace fenban::automation::testing {

namespace {

// Numbers with all 17 significant digits, so that any difference shows.
std::string Number(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", x);
  return text;
}

std::string ValueText(const host::Value& v) {
  switch (v.Type()) {
    case host::ValueType::Empty: return "empty";
    case host::ValueType::Number: return "n:" + Number(v.Number());
    case host::ValueType::Text: return "t:" + std::string(v.Text());
    case host::ValueType::Boolean: return v.Bool() ? "b:TRUE" : "b:FALSE";
    case host::ValueType::Error: return "e:" + v.Error().code;
  }
  return "?";
}

std::string StyleText(const host::CellStyle& s) {
  std::ostringstream out;
  out << "size=" << Number(s.fontSize) << " bold=" << s.bold << " color=" << s.fontColor
      << " fill=" << s.fillColorIndex << " borders=" << s.borders[0] << ',' << s.borders[1] << ','
      << s.borders[2] << ',' << s.borders[3] << " h=" << s.horizontalAlignment << " v=" << s.verticalAlignment
      << " wrap=" << s.wrapText << " fmt=" << s.numberFormat;
  return out.str();
}

std::string RectText(const host::Rect& r) {
  return std::to_string(r.row1) + "," + std::to_string(r.col1) + ":" + std::to_string(r.row2) + "," +
         std::to_string(r.col2);
}

void DumpSheet(std::ostringstream& out, const host::ModelWorksheet& sheet, const host::StylePool& styles) {
  out << "sheet " << sheet.Name() << " visible=" << sheet.Visible() << '\n';
  const host::SheetView& view = sheet.View();
  out << "  view scroll=" << view.scrollRow << ',' << view.scrollColumn << " split=" << view.splitRow << ','
      << view.splitColumn << " freeze=" << view.freezePanes << " zoom=" << view.zoom << '\n';
  const host::PageSetupData& page = sheet.PageSetupValues();
  out << "  page orientation=" << page.orientation << " margins=" << Number(page.topMargin) << ','
      << Number(page.bottomMargin) << ',' << Number(page.headerMargin) << ',' << Number(page.footerMargin) << ','
      << Number(page.leftMargin) << ',' << Number(page.rightMargin) << " set=" << page.marginsSet
      << " header=" << page.centerHeader << " footer=" << page.centerFooter << " zoom=" << page.zoom
      << " center=" << page.centerHorizontally << " titles=" << page.printTitleFirstRow << ','
      << page.printTitleLastRow << '\n';
  out << "  breaks";
  for (int32_t row : const_cast<host::ModelWorksheet&>(sheet).PageBreaks()) out << ' ' << row;
  out << "\n  merges";
  for (const host::Rect& r : sheet.MergedAreas()) out << ' ' << RectText(r);
  out << '\n';
  for (const host::ValidationRule& rule : const_cast<host::ModelWorksheet&>(sheet).Validations()) {
    out << "  validation " << RectText(rule.area) << " type=" << rule.type << " alert=" << rule.alertStyle
        << " op=" << rule.op << " f1=" << rule.formula1 << " blank=" << rule.ignoreBlank
        << " title=" << rule.inputTitle << " message=" << rule.inputMessage << '\n';
  }
  const auto& columns = sheet.ColumnsData();
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].width < 0 && columns[c].style == 0) continue;
    out << "  column " << c + 1 << " width=" << Number(columns[c].width) << " style="
        << StyleText(styles.Get(columns[c].style)) << '\n';
  }
  const auto& rows = sheet.RowsData();
  for (size_t r = 0; r < rows.size(); ++r) {
    const host::RowData& row = rows[r];
    if (row.height >= 0 || row.style != 0) {
      out << "  row " << r + 1 << " height=" << Number(row.height) << " style=" << StyleText(styles.Get(row.style))
          << '\n';
    }
    for (size_t c = 0; c < row.cells.size(); ++c) {
      const host::Cell& cell = row.cells[c];
      const int32_t rr = static_cast<int32_t>(r + 1), cc = static_cast<int32_t>(c + 1);
      if (cell.value.IsEmpty() && cell.style == 0 && cell.formula == 0) continue;
      out << "  " << rr << ',' << cc << ' ' << ValueText(cell.value);
      if (cell.formula != 0) out << " f=" << sheet.Formula(cell.formula).Str();
      out << " | " << StyleText(styles.Get(sheet.EffectiveStyleIndex(&cell, rr, cc))) << '\n';
    }
  }
}

}  // namespace

std::string DumpWorkbook(const host::ModelWorkbook& book) {
  std::ostringstream out;
  auto& editable = const_cast<host::ModelWorkbook&>(book);
  out << "workbook " << book.Name() << " active=" << book.ActiveSheetIndex() << " tabRatio=" << Number(book.TabRatio())
      << '\n';
  for (int32_t i = 1; i <= book.SheetCount(); ++i) DumpSheet(out, editable.ModelSheetAt(i), book.Styles());
  return out.str();
}

std::string DumpApplication(host::ModelApplication& app) {
  std::string text = "active " + app.ActiveWorkbook().Name() + '\n';
  for (int32_t i = 1; i <= app.WorkbookCount(); ++i) text += DumpWorkbook(app.ModelWorkbookAt(i));
  return text;
}

}  // namespace fenban::automation::testing
