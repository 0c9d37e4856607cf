// A command's reading of one cell as a number, a whole number or a text.
// When the value does not convert, the run-time error keeps its number and
// its description says where: the sheet, the cell's address, the column's
// header and what the cell holds, for example
//   类型不匹配：工作表“数据表”单元格 O23（“总分”列）的值“缺考”
// Numbers take an inline path, so loops over many cells stay as fast as
// reading the values themselves.
#pragma once

#include <cstdint>
#include <string>

#include "host/errors.h"
#include "host/text_compare.h"
#include "host/value.h"
#include "host/worksheet.h"

namespace fenban::host {

// "工作表“S”单元格 B5（“总分”列）的值“缺考”": the header part when row 1
// of the column holds a text and the cell is below it.
std::string CellPlace(const Worksheet& sheet, int32_t row, int32_t column);
// What a value shows in such a description: texts in quotes (the first 40
// characters), numbers, TRUE/FALSE, error codes, "（空）" for an empty cell.
std::string ShownValue(const Value& value);
// "的值“缺考”", "的值 85", "是空的": what a description says of a value.
std::string ValueClause(const Value& value);
// Raises error's number with its description followed by "：" and the place.
[[noreturn]] void RaiseAtCell(const RuntimeError& error, const Worksheet& sheet, int32_t row, int32_t column);

// Value::ToDouble of the cell (empty is 0; other text and errors raise 13).
double CellNumberSlow(const Worksheet& sheet, int32_t row, int32_t column);
inline double CellNumber(const Worksheet& sheet, int32_t row, int32_t column) {
  const Value& value = sheet.CellValue(row, column);
  if (value.IsNumber()) return value.Number();
  return CellNumberSlow(sheet, row, column);
}
// Value::ToLong of the cell (13 as above, 6 beyond 32 bits).
int32_t CellLong(const Worksheet& sheet, int32_t row, int32_t column);
// Value::ToText of the cell (an error value raises 13).
std::string CellText(const Worksheet& sheet, int32_t row, int32_t column);
// SameText / TextEquals of the cell's value; an error value in the cell
// raises 13 naming it.
inline bool CellSameText(const Worksheet& sheet, int32_t row, int32_t column, const Value& other) {
  const Value& value = sheet.CellValue(row, column);
  if (value.IsError()) (void)CellText(sheet, row, column);
  return SameText(value, other);
}
inline bool CellTextEquals(const Worksheet& sheet, int32_t row, int32_t column, std::string_view text) {
  const Value& value = sheet.CellValue(row, column);
  if (value.IsError()) (void)CellText(sheet, row, column);
  return TextEquals(value, text);
}

}  // namespace fenban::host
