#include "files/cell_reference.h"

#include <algorithm>

#include "host/constants.h"

namespace fenban::files {

std::optional<CellPosition> ParseCellReference(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  int64_t column = 0;
  size_t letters = 0;
  for (; i < text.size(); ++i, ++letters) {
    char ch = text[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch < 'A' || ch > 'Z') break;
    column = column * 26 + (ch - 'A' + 1);
    if (column > host::kMaxColumns) return std::nullopt;
  }
  if (letters == 0) return std::nullopt;
  if (i < text.size() && text[i] == '$') ++i;
  int64_t row = 0;
  size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    const char ch = text[i];
    if (ch < '0' || ch > '9') return std::nullopt;
    row = row * 10 + (ch - '0');
    if (row > host::kMaxRows) return std::nullopt;
  }
  if (digits == 0 || row < 1) return std::nullopt;
  return CellPosition{static_cast<int32_t>(row), static_cast<int32_t>(column)};
}

std::optional<host::Rect> ParseRangeReference(std::string_view text) {
  const size_t colon = text.find(':');
  const auto first = ParseCellReference(text.substr(0, colon));
  if (!first) return std::nullopt;
  auto last = first;
  if (colon != std::string_view::npos) {
    last = ParseCellReference(text.substr(colon + 1));
    if (!last) return std::nullopt;
  }
  host::Rect rect;
  rect.row1 = std::min(first->row, last->row);
  rect.row2 = std::max(first->row, last->row);
  rect.col1 = std::min(first->column, last->column);
  rect.col2 = std::max(first->column, last->column);
  return rect;
}

std::string ColumnLetters(int32_t column) {
  std::string letters;
  while (column > 0) {
    const int32_t digit = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + digit));
    column = (column - 1) / 26;
  }
  return letters;
}

std::string CellAddress(int32_t row, int32_t column) { return ColumnLetters(column) + std::to_string(row); }

}  // namespace fenban::files
