// The five lookups. Every cell is read through the Worksheet interface, one
// call per cell, and each walk stops as soon as its rule allows.
#include "sheets/lookups.h"

#include <cstdint>
#include <string>

#include "host/cell_values.h"
#include "host/errors.h"
#include "host/text_compare.h"
#include "host/value.h"

namespace fenban::sheets {

namespace {

// Rows from firstRow whose text equals the text of (firstRow, column), up to
// the first differing row or lastRow. The reference cell is always read.
int32_t RunLength(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column) {
  const std::string reference = host::CellText(sheet, firstRow, column);
  if (firstRow > lastRow) return 0;
  int64_t row = static_cast<int64_t>(firstRow) + 1;  // firstRow always equals itself
  while (row <= lastRow && host::CellTextEquals(sheet, static_cast<int32_t>(row), column, reference)) ++row;
  return static_cast<int32_t>(row - firstRow);
}

}  // namespace

bool SheetExists(host::Workbook& book, const std::string& name) {
  const int32_t count = book.SheetCount();
  for (int32_t index = 1; index <= count; ++index) {
    if (book.SheetAt(index).Name() == name) return true;
  }
  return false;
}

int32_t FindHeaderColumn(const host::Worksheet& sheet, const std::string& header) {
  for (int32_t column = 1;; ++column) {
    const std::string text = host::CellText(sheet, 1, column);
    if (text == header) return column;
    if (text.empty()) return 0;
  }
}

int32_t LastRowOfRun(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column) {
  return firstRow + RunLength(sheet, firstRow, lastRow, column) - 1;
}

int32_t CountRunRows(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column) {
  return RunLength(sheet, firstRow, lastRow, column);
}

int32_t CountRowsAtLeast(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column,
                         int32_t threshold) {
  int32_t count = 0;
  for (int64_t row = firstRow; row <= lastRow; ++row) {
    // An empty cell reads as 0; text that is not a number and error values
    // raise error 13, naming the cell.
    if (host::CellNumber(sheet, static_cast<int32_t>(row), column) < threshold) break;
    ++count;
  }
  return count;
}

}  // namespace fenban::sheets
