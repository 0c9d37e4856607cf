// A1-style cell references: parsing and formatting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/rect.h"

namespace fenban::files {

struct CellPosition {
  int32_t row = 0, column = 0;  // 1-based
};

// "A1", "$B$12", "xfd1048576" -> position. Letters without digits or digits
// without letters are no cell. Addresses beyond XFD1048576 give nullopt.
std::optional<CellPosition> ParseCellReference(std::string_view text);
// "B2:D5" or "B2" (a single cell); nullopt when malformed or out of the sheet.
std::optional<host::Rect> ParseRangeReference(std::string_view text);
// 1 -> "A", 28 -> "AB".
std::string ColumnLetters(int32_t column);
// (2, 3) -> "C2".
std::string CellAddress(int32_t row, int32_t column);

}  // namespace fenban::files
