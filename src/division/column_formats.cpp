#include "division/column_formats.h"

#include <string>
#include <utility>
#include <vector>

#include "host/display_text.h"

namespace fenban::division {
namespace {

// Enough numbers to know a column's format without reading every row of a long list.
constexpr int32_t kSampledNumbers = 1000;

// The number format most of the column's first numbers have; "" when the
// column holds no number.
std::string ColumnNumberFormat(const host::Worksheet& sheet, const host::Rect& table, int32_t column) {
  int32_t firstNumber = table.row1 + 1;
  while (firstNumber <= table.row2 && !sheet.CellValue(firstNumber, column).IsNumber()) ++firstNumber;
  if (firstNumber > table.row2) return "";
  // One question for the whole column when all its rows share a format (a
  // real spreadsheet application answers each question slowly).
  if (const auto common = sheet.NumberFormatOf(host::Rect{table.row1 + 1, column, table.row2, column})) {
    return *common;
  }
  std::vector<std::pair<std::string, int32_t>> counts;
  int32_t sampled = 0;
  for (int32_t row = table.row1 + 1; row <= table.row2 && sampled < kSampledNumbers; ++row) {
    if (!sheet.CellValue(row, column).IsNumber()) continue;
    ++sampled;
    std::string format = sheet.NumberFormatOf(host::Rect{row, column, row, column}).value_or("");
    bool counted = false;
    for (auto& [known, count] : counts) {
      if (known == format) {
        ++count;
        counted = true;
        break;
      }
    }
    if (!counted) counts.emplace_back(std::move(format), 1);
  }
  std::pair<std::string, int32_t> most{"", 0};
  for (const auto& entry : counts) {
    if (entry.second > most.second) most = entry;
  }
  return most.first;
}

}  // namespace

void KeepColumnNumberFormats(const host::Worksheet& dataSheet, const host::Rect& table, host::Worksheet& division) {
  if (table.row2 <= table.row1) return;
  for (int32_t column = table.col1; column <= table.col2; ++column) {
    const std::string format = ColumnNumberFormat(dataSheet, table, column);
    if (host::IsGeneralFormat(format)) continue;
    const int32_t target = column - table.col1 + 3;
    division.Format(host::Rect{2, target, table.row2 - table.row1 + 1, target},
                    [&format](host::CellStyle& style) { style.numberFormat = format; });
  }
}

}  // namespace fenban::division
