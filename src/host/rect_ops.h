// Small rectangle helpers the model's sheet operations share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "host/errors.h"
#include "host/rect.h"

namespace fenban::host {

inline bool Intersects(const Rect& a, const Rect& b) {
  return a.row1 <= b.row2 && b.row1 <= a.row2 && a.col1 <= b.col2 && b.col1 <= a.col2;
}

inline bool ContainsRect(const Rect& outer, const Rect& inner) {
  return inner.row1 >= outer.row1 && inner.row2 <= outer.row2 && inner.col1 >= outer.col1 &&
         inner.col2 <= outer.col2;
}

inline void CheckCell(int32_t row, int32_t column) {
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    Raise(kErrHost, "单元格地址超出工作表范围");
  }
}

// The span [first, last] after the lines [from, to] are deleted; empty when nothing is left.
inline std::optional<std::pair<int32_t, int32_t>> SpanAfterDeletion(int32_t first, int32_t last, int32_t from,
                                                                    int32_t to) {
  const int32_t count = to - from + 1;
  if (last < from) return std::make_pair(first, last);
  if (first > to) return std::make_pair(first - count, last - count);
  const int32_t newFirst = first < from ? first : from;
  const int32_t newLast = last > to ? last - count : from - 1;
  if (newLast < newFirst) return std::nullopt;
  return std::make_pair(newFirst, newLast);
}

// The span [first, last] after count lines are inserted before line `at`,
// clipped to `limit`; empty when it is pushed off the sheet.
inline std::optional<std::pair<int32_t, int32_t>> SpanAfterInsertion(int32_t first, int32_t last, int32_t at,
                                                                     int32_t count, int32_t limit) {
  int64_t newFirst = first;
  int64_t newLast = last;
  if (first >= at) {
    newFirst += count;
    newLast += count;
  } else if (last >= at) {
    newLast += count;
  }
  if (newFirst > limit) return std::nullopt;
  return std::make_pair(static_cast<int32_t>(newFirst), static_cast<int32_t>(std::min<int64_t>(newLast, limit)));
}

}  // namespace fenban::host
