#include "files/model_compare.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>

#include "files/xlsx_conversions.h"
#include "host/model_worksheet.h"

namespace fenban::files::testing {

namespace {

using host::ModelWorksheet;

std::string Describe(const host::Value& value) {
  switch (value.Type()) {
    case host::ValueType::Empty: return "(empty)";
    case host::ValueType::Number: {
      std::ostringstream text;
      text.precision(17);
      text << value.Number();
      return text.str();
    }
    case host::ValueType::Text: return "\"" + std::string(value.Text()) + "\"";
    case host::ValueType::Boolean: return value.Bool() ? "TRUE" : "FALSE";
    case host::ValueType::Error: return value.Error().code;
  }
  return "?";
}

bool SameValue(const host::Value& a, const host::Value& b) {
  if (a.IsNumber() && b.IsNumber()) {
    const double x = a.Number(), y = b.Number();
    return x == y || std::fabs(x - y) <= 1e-15 * std::max(std::fabs(x), std::fabs(y));
  }
  return a == b;
}

host::CellStyle Normalized(host::CellStyle style) {
  for (int32_t& side : style.borders) {
    if (side == host::kLineNone) side = 0;
  }
  return style;
}

std::string Describe(const host::CellStyle& s) {
  std::ostringstream text;
  text << "{size " << s.fontSize << ", bold " << s.bold << ", colour " << s.fontColor << ", fill " << s.fillColorIndex
       << ", borders " << s.borders[0] << "/" << s.borders[1] << "/" << s.borders[2] << "/" << s.borders[3]
       << ", align " << s.horizontalAlignment << "/" << s.verticalAlignment << ", wrap " << s.wrapText << ", format \""
       << s.numberFormat << "\"}";
  return text.str();
}

std::string Where(const ModelWorksheet& sheet, int32_t row, int32_t column) {
  return "sheet \"" + sheet.Name() + "\" R" + std::to_string(row) + "C" + std::to_string(column);
}

class Differ {
 public:
  void Add(const std::string& line) { lines.push_back(line); }

  void CompareSheets(ModelWorksheet& a, ModelWorksheet& b) {
    const host::StylePool& poolA = a.Book().Styles();
    const host::StylePool& poolB = b.Book().Styles();
    const auto styleA = [&](uint32_t index) { return Normalized(poolA.Get(index)); };
    const auto styleB = [&](uint32_t index) { return Normalized(poolB.Get(index)); };
    const std::string sheet = "sheet \"" + a.Name() + "\"";
    if (a.Visible() != b.Visible()) {
      Add(sheet + ": visibility " + std::to_string(a.Visible()) + " vs " + std::to_string(b.Visible()));
    }

    const size_t rowCount = std::max(a.RowsData().size(), b.RowsData().size());
    for (size_t r = 1; r <= rowCount; ++r) {
      const auto row = static_cast<int32_t>(r);
      size_t columnCount = 0;
      if (r <= a.RowsData().size()) columnCount = a.RowsData()[r - 1].cells.size();
      if (r <= b.RowsData().size()) columnCount = std::max(columnCount, b.RowsData()[r - 1].cells.size());
      for (size_t c = 1; c <= columnCount; ++c) {
        const auto column = static_cast<int32_t>(c);
        const host::Value& va = a.CellValue(row, column);
        const host::Value& vb = b.CellValue(row, column);
        if (!SameValue(va, vb)) Add(Where(a, row, column) + ": value " + Describe(va) + " vs " + Describe(vb));
        const host::CellStyle sa = styleA(a.EffectiveStyleIndex(row, column));
        const host::CellStyle sb = styleB(b.EffectiveStyleIndex(row, column));
        if (!(sa == sb)) Add(Where(a, row, column) + ": format " + Describe(sa) + " vs " + Describe(sb));
      }
      const uint32_t rowStyleA = r <= a.RowsData().size() ? a.RowsData()[r - 1].style : 0;
      const uint32_t rowStyleB = r <= b.RowsData().size() ? b.RowsData()[r - 1].style : 0;
      if (!(styleA(rowStyleA) == styleB(rowStyleB))) {
        Add(sheet + " row " + std::to_string(r) + ": row format " + Describe(styleA(rowStyleA)) + " vs " +
            Describe(styleB(rowStyleB)));
      }
      if (std::fabs(a.RowHeight(row) - b.RowHeight(row)) > 1e-9) {
        Add(sheet + " row " + std::to_string(r) + ": height " + std::to_string(a.RowHeight(row)) + " vs " +
            std::to_string(b.RowHeight(row)));
      }
    }

    const size_t columnCount = std::max(a.ColumnsData().size(), b.ColumnsData().size());
    for (size_t c = 1; c <= columnCount + 1; ++c) {
      const auto column = static_cast<int32_t>(c);
      if (std::fabs(SavedColumnWidth(a.ColumnWidth(column)) - SavedColumnWidth(b.ColumnWidth(column))) > 1e-9) {
        Add(sheet + " column " + std::to_string(c) + ": width " + std::to_string(a.ColumnWidth(column)) + " vs " +
            std::to_string(b.ColumnWidth(column)));
      }
      const auto columnStyle = [](ModelWorksheet& s, size_t index) {
        const uint32_t own = index <= s.ColumnsData().size() ? s.ColumnsData()[index - 1].style : 0;
        return own != 0 ? own : s.SheetStyle();
      };
      if (!(styleA(columnStyle(a, c)) == styleB(columnStyle(b, c)))) {
        Add(sheet + " column " + std::to_string(c) + ": column format " + Describe(styleA(columnStyle(a, c))) + " vs " +
            Describe(styleB(columnStyle(b, c))));
      }
    }
    if (!(styleA(a.SheetStyle()) == styleB(b.SheetStyle()))) {
      Add(sheet + ": sheet format " + Describe(styleA(a.SheetStyle())) + " vs " + Describe(styleB(b.SheetStyle())));
    }
    if (std::fabs(a.DefaultRowHeight() - b.DefaultRowHeight()) > 1e-9) Add(sheet + ": default row height");

    auto mergesA = a.MergedAreas(), mergesB = b.MergedAreas();
    const auto byPlace = [](const host::Rect& x, const host::Rect& y) {
      return std::tie(x.row1, x.col1, x.row2, x.col2) < std::tie(y.row1, y.col1, y.row2, y.col2);
    };
    std::sort(mergesA.begin(), mergesA.end(), byPlace);
    std::sort(mergesB.begin(), mergesB.end(), byPlace);
    if (mergesA != mergesB) Add(sheet + ": merged areas differ");
    if (a.HPageBreaks() != b.HPageBreaks()) Add(sheet + ": page breaks differ");
    const auto areaText = [](const std::optional<host::Rect>& area) {
      return area ? host::RectAddress(*area) : std::string("none");
    };
    if (a.AutoFilterArea() != b.AutoFilterArea()) {
      Add(sheet + ": auto filter " + areaText(a.AutoFilterArea()) + " vs " + areaText(b.AutoFilterArea()));
    }
    if (a.PrintArea() != b.PrintArea()) {
      Add(sheet + ": print area " + areaText(a.PrintArea()) + " vs " + areaText(b.PrintArea()));
    }

    host::PageSetupData pa = a.PageSetupValues(), pb = b.PageSetupValues();
    for (host::PageSetupData* p : {&pa, &pb}) {
      if (p->orientation == 0) p->orientation = host::kPortrait;
      p->marginsSet = false;
    }
    const auto near = [](double x, double y) { return std::fabs(x - y) < 1e-6; };
    if (pa.orientation != pb.orientation) Add(sheet + ": orientation");
    if (!near(pa.topMargin, pb.topMargin) || !near(pa.bottomMargin, pb.bottomMargin) ||
        !near(pa.leftMargin, pb.leftMargin) || !near(pa.rightMargin, pb.rightMargin) ||
        !near(pa.headerMargin, pb.headerMargin) || !near(pa.footerMargin, pb.footerMargin)) {
      Add(sheet + ": margins");
    }
    if (pa.centerHeader != pb.centerHeader || pa.centerFooter != pb.centerFooter) {
      Add(sheet + ": header/footer \"" + pa.centerFooter + "\" vs \"" + pb.centerFooter + "\"");
    }
    if (pa.zoom != pb.zoom) Add(sheet + ": print zoom " + std::to_string(pa.zoom) + " vs " + std::to_string(pb.zoom));
    if (pa.centerHorizontally != pb.centerHorizontally) Add(sheet + ": centre horizontally");
    if (pa.paperSize != pb.paperSize) Add(sheet + ": paper size");
    if (pa.printTitleFirstRow != pb.printTitleFirstRow || pa.printTitleLastRow != pb.printTitleLastRow) {
      Add(sheet + ": print title rows");
    }
    if (a.Validations() != b.Validations()) Add(sheet + ": validation differs");
    const host::SheetView& viewA = a.View();
    const host::SheetView& viewB = b.View();
    if (!(viewA == viewB)) {
      Add(sheet + ": view scroll " + std::to_string(viewA.scrollRow) + "," + std::to_string(viewA.scrollColumn) +
          " split " + std::to_string(viewA.splitRow) + "," + std::to_string(viewA.splitColumn) + " freeze " +
          std::to_string(viewA.freezePanes) + " zoom " + std::to_string(viewA.zoom) + " vs scroll " +
          std::to_string(viewB.scrollRow) + "," + std::to_string(viewB.scrollColumn) + " split " +
          std::to_string(viewB.splitRow) + "," + std::to_string(viewB.splitColumn) + " freeze " +
          std::to_string(viewB.freezePanes) + " zoom " + std::to_string(viewB.zoom));
    }
  }

  std::vector<std::string> lines;
};

}  // namespace

std::vector<std::string> DiffWorkbooks(host::ModelWorkbook& expected, host::ModelWorkbook& actual) {
  Differ differ;
  if (expected.SheetCount() != actual.SheetCount()) {
    differ.Add("sheet count " + std::to_string(expected.SheetCount()) + " vs " + std::to_string(actual.SheetCount()));
    return differ.lines;
  }
  for (int32_t i = 1; i <= expected.SheetCount(); ++i) {
    if (expected.ModelSheetAt(i).Name() != actual.ModelSheetAt(i).Name()) {
      differ.Add("sheet " + std::to_string(i) + " name \"" + expected.ModelSheetAt(i).Name() + "\" vs \"" +
                 actual.ModelSheetAt(i).Name() + "\"");
    }
  }
  if (expected.ActiveSheetIndex() != actual.ActiveSheetIndex()) {
    differ.Add("active sheet " + std::to_string(expected.ActiveSheetIndex()) + " vs " +
               std::to_string(actual.ActiveSheetIndex()));
  }
  if (std::lround(expected.TabRatio() * 1000) != std::lround(actual.TabRatio() * 1000)) differ.Add("tab ratio");
  if (expected.Date1904() != actual.Date1904()) differ.Add("date system");
  for (int32_t i = 1; i <= expected.SheetCount(); ++i) {
    differ.CompareSheets(expected.ModelSheetAt(i), actual.ModelSheetAt(i));
  }
  return differ.lines;
}

std::string DiffText(host::ModelWorkbook& expected, host::ModelWorkbook& actual) {
  std::string text;
  for (const auto& line : DiffWorkbooks(expected, actual)) text += line + "\n";
  return text;
}

}  // namespace fenban::files::testing
