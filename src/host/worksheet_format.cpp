// The default format and validation setters of a worksheet: changes of the
// cells' formats and of the validation rule that the embedded model keeps.
#include <string>

#include "host/display_text.h"
#include "host/errors.h"
#include "host/worksheet.h"

namespace fenban::host {

namespace {

void SetEdge(CellStyle& style, BorderSide side, int32_t lineStyle) {
  style.borders[static_cast<size_t>(side)] = lineStyle == kLineNone ? 0 : lineStyle;
}

ValidationRule& RuleAt(Worksheet& sheet, const Rect& area) {
  ValidationRule* rule = sheet.ValidationAt(area.row1, area.col1);
  if (rule == nullptr) Raise(kErrHost, "该区域没有数据有效性");
  return *rule;
}

}  // namespace

void Worksheet::SetFontSize(const Rect& area, double size) {
  Format(area, [size](CellStyle& s) { s.fontSize = size; });
}

void Worksheet::SetFontBold(const Rect& area, bool bold) {
  Format(area, [bold](CellStyle& s) { s.bold = bold; });
}

void Worksheet::SetFontColor(const Rect& area, int32_t bgr) {
  Format(area, [bgr](CellStyle& s) { s.fontColor = bgr; });
}

void Worksheet::SetBorderLineStyle(const Rect& a, int32_t index, int32_t lineStyle) {
  const auto edge = [lineStyle](BorderSide side) {
    return [side, lineStyle](CellStyle& s) { SetEdge(s, side, lineStyle); };
  };
  switch (index) {
    case 0:
      Format(a, [lineStyle](CellStyle& s) {
        SetEdge(s, kSideLeft, lineStyle);
        SetEdge(s, kSideTop, lineStyle);
        SetEdge(s, kSideBottom, lineStyle);
        SetEdge(s, kSideRight, lineStyle);
      });
      return;
    case kEdgeLeft:
      Format(Rect{a.row1, a.col1, a.row2, a.col1}, edge(kSideLeft));
      return;
    case kEdgeTop:
      Format(Rect{a.row1, a.col1, a.row1, a.col2}, edge(kSideTop));
      return;
    case kEdgeBottom:
      Format(Rect{a.row2, a.col1, a.row2, a.col2}, edge(kSideBottom));
      return;
    case kEdgeRight:
      Format(Rect{a.row1, a.col2, a.row2, a.col2}, edge(kSideRight));
      return;
    case kInsideVertical:
      if (a.col1 == a.col2) return;
      Format(Rect{a.row1, a.col1, a.row2, a.col2 - 1}, edge(kSideRight));
      Format(Rect{a.row1, a.col1 + 1, a.row2, a.col2}, edge(kSideLeft));
      return;
    case kInsideHorizontal:
      if (a.row1 == a.row2) return;
      Format(Rect{a.row1, a.col1, a.row2 - 1, a.col2}, edge(kSideBottom));
      Format(Rect{a.row1 + 1, a.col1, a.row2, a.col2}, edge(kSideTop));
      return;
    default:
      Raise(kErrHost, "无效的边框索引");
  }
}

void Worksheet::SetInteriorColorIndex(const Rect& area, int32_t colorIndex) {
  Format(area, [colorIndex](CellStyle& s) { s.fillColorIndex = colorIndex; });
}

void Worksheet::SetHorizontalAlignment(const Rect& area, int32_t alignment) {
  Format(area, [alignment](CellStyle& s) { s.horizontalAlignment = alignment; });
}

void Worksheet::SetVerticalAlignment(const Rect& area, int32_t alignment) {
  Format(area, [alignment](CellStyle& s) { s.verticalAlignment = alignment; });
}

void Worksheet::SetNumberFormatLocal(const Rect& area, const std::string& format) {
  const std::string stored = IsGeneralFormat(format) ? std::string("General") : format;
  Format(area, [&stored](CellStyle& s) { s.numberFormat = stored; });
}

std::optional<std::string> Worksheet::NumberFormatOf(const Rect& area) const {
  std::string first = CellFormat(area.row1, area.col1).numberFormat;
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      if (CellFormat(r, c).numberFormat != first) return std::nullopt;
    }
  }
  return first;
}

void Worksheet::SetValidationIgnoreBlank(const Rect& area, bool ignore) { RuleAt(*this, area).ignoreBlank = ignore; }

void Worksheet::SetValidationInputTitle(const Rect& area, const std::string& title) {
  RuleAt(*this, area).inputTitle = title;
}

void Worksheet::SetValidationInputMessage(const Rect& area, const std::string& message) {
  RuleAt(*this, area).inputMessage = message;
}

}  // namespace fenban::host
