// A rectangle of cells: first and last row and column, 1-based, inclusive.
#pragma once

#include <cstdint>
#include <string>

#include "host/constants.h"

namespace fenban::host {

struct Rect {
  int32_t row1 = 1, col1 = 1, row2 = 1, col2 = 1;

  int32_t Rows() const { return row2 - row1 + 1; }
  int32_t Columns() const { return col2 - col1 + 1; }
  bool Contains(int32_t r, int32_t c) const { return r >= row1 && r <= row2 && c >= col1 && c <= col2; }
  bool IsWholeSheet() const { return row1 == 1 && col1 == 1 && row2 == kMaxRows && col2 == kMaxColumns; }
  bool IsEntireRows() const { return col1 == 1 && col2 == kMaxColumns; }
  bool IsEntireColumns() const { return row1 == 1 && row2 == kMaxRows; }
  bool operator==(const Rect&) const = default;
};

// Raises error 1004 when the rectangle is empty or reaches outside the sheet.
void CheckRect(const Rect& r);
// The letters of a column number ("A", "Z", "AA", ..., "XFD").
std::string ColumnLetters(int32_t column);
// "A1" style address of a rectangle, for messages ("B2:D5").
std::string RectAddress(const Rect& r);

}  // namespace fenban::host
