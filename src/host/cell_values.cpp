#include "host/cell_values.h"

#include "host/rect.h"

namespace fenban::host {

namespace {

constexpr size_t kShownCharacters = 40;

// Runs the conversion; a run-time error it raises is raised again with the place.
template <class F>
auto AtCell(const Worksheet& sheet, int32_t row, int32_t column, F&& conversion) {
  try {
    return conversion(sheet.CellValue(row, column));
  } catch (const RuntimeError& error) {
    RaiseAtCell(error, sheet, row, column);
  }
}

}  // namespace

std::string ShownValue(const Value& value) {
  switch (value.Type()) {
    case ValueType::Empty:
      return "（空）";
    case ValueType::Number:
      return NumberToText(value.Number());
    case ValueType::Boolean:
      return value.Bool() ? "TRUE" : "FALSE";
    case ValueType::Error:
      return value.Error().code;
    case ValueType::Text:
      break;
  }
  const std::string_view text = value.Text();
  if (CharCount(text) <= kShownCharacters) return "“" + std::string(text) + "”";
  return "“" + LeftChars(text, kShownCharacters) + "…”";
}

std::string ValueClause(const Value& value) {
  if (value.IsEmpty()) return "是空的";
  return value.IsText() ? "的值" + ShownValue(value) : "的值 " + ShownValue(value);
}

std::string CellPlace(const Worksheet& sheet, int32_t row, int32_t column) {
  std::string place = "工作表“" + sheet.Name() + "”单元格 " + RectAddress(Rect{row, column, row, column});
  if (row > 1) {
    const Value& header = sheet.CellValue(1, column);
    if (header.IsText() && !header.Text().empty()) {
      place += "（" + ShownValue(header) + "列）";
    }
  }
  return place + ValueClause(sheet.CellValue(row, column));
}

void RaiseAtCell(const RuntimeError& error, const Worksheet& sheet, int32_t row, int32_t column) {
  Raise(error.Number(), error.Description() + "：" + CellPlace(sheet, row, column));
}

double CellNumberSlow(const Worksheet& sheet, int32_t row, int32_t column) {
  return AtCell(sheet, row, column, [](const Value& value) { return value.ToDouble(); });
}

int32_t CellLong(const Worksheet& sheet, int32_t row, int32_t column) {
  return AtCell(sheet, row, column, [](const Value& value) { return value.ToLong(); });
}

std::string CellText(const Worksheet& sheet, int32_t row, int32_t column) {
  return AtCell(sheet, row, column, [](const Value& value) { return value.ToText(); });
}

}  // namespace fenban::host
