// Deleting and inserting cells with the cells beyond them shifting.
#include <algorithm>
#include <optional>
#include <vector>

#include "host/errors.h"
#include "host/model_worksheet.h"
#include "host/rect_ops.h"

namespace fenban::host {

namespace {

bool IsBlank(const Cell& cell) { return cell.value.IsEmpty() && cell.style == 0 && cell.formula == 0; }

// A merge or rule that lies across the edge of the shifted band cannot be
// moved in part.
void CheckMergesOutsideBand(const std::vector<Rect>& merges, const Rect& band, bool vertical) {
  for (const Rect& merge : merges) {
    if (!Intersects(merge, band)) continue;
    const bool inside = vertical ? (merge.col1 >= band.col1 && merge.col2 <= band.col2)
                                 : (merge.row1 >= band.row1 && merge.row2 <= band.row2);
    if (!inside) Raise(kErrHost, "无法对合并单元格进行部分更改");
  }
}

// Moves the rows of rects inside the column band after rows [from, to] are
// deleted; rects that lose every row are dropped.
template <class T, class GetRect>
void DeleteRowsIn(std::vector<T>& items, GetRect rectOf, int32_t from, int32_t to, int32_t col1, int32_t col2,
                  bool dropSingleCells) {
  std::vector<T> kept;
  for (T& item : items) {
    Rect& r = rectOf(item);
    if (r.col1 < col1 || r.col2 > col2) {
      kept.push_back(std::move(item));
      continue;
    }
    const auto span = SpanAfterDeletion(r.row1, r.row2, from, to);
    if (!span) continue;
    r.row1 = span->first;
    r.row2 = span->second;
    if (dropSingleCells && r.row1 == r.row2 && r.col1 == r.col2) continue;
    kept.push_back(std::move(item));
  }
  items = std::move(kept);
}

template <class T, class GetRect>
void DeleteColumnsIn(std::vector<T>& items, GetRect rectOf, int32_t from, int32_t to, int32_t row1, int32_t row2,
                     bool dropSingleCells) {
  std::vector<T> kept;
  for (T& item : items) {
    Rect& r = rectOf(item);
    if (r.row1 < row1 || r.row2 > row2) {
      kept.push_back(std::move(item));
      continue;
    }
    const auto span = SpanAfterDeletion(r.col1, r.col2, from, to);
    if (!span) continue;
    r.col1 = span->first;
    r.col2 = span->second;
    if (dropSingleCells && r.row1 == r.row2 && r.col1 == r.col2) continue;
    kept.push_back(std::move(item));
  }
  items = std::move(kept);
}

template <class T, class GetRect>
void InsertRowsIn(std::vector<T>& items, GetRect rectOf, int32_t at, int32_t count, int32_t col1, int32_t col2) {
  std::vector<T> kept;
  for (T& item : items) {
    Rect& r = rectOf(item);
    if (r.col1 >= col1 && r.col2 <= col2) {
      const auto span = SpanAfterInsertion(r.row1, r.row2, at, count, kMaxRows);
      if (!span) continue;
      r.row1 = span->first;
      r.row2 = span->second;
    }
    kept.push_back(std::move(item));
  }
  items = std::move(kept);
}

template <class T, class GetRect>
void InsertColumnsIn(std::vector<T>& items, GetRect rectOf, int32_t at, int32_t count, int32_t row1,
                     int32_t row2) {
  std::vector<T> kept;
  for (T& item : items) {
    Rect& r = rectOf(item);
    if (r.row1 >= row1 && r.row2 <= row2) {
      const auto span = SpanAfterInsertion(r.col1, r.col2, at, count, kMaxColumns);
      if (!span) continue;
      r.col1 = span->first;
      r.col2 = span->second;
    }
    kept.push_back(std::move(item));
  }
  items = std::move(kept);
}

// Moves a sheet-level area (the auto filter, the print area) after entire
// rows (or columns) [from, to] are deleted; drops it when it loses them all.
void DeleteLinesIn(std::optional<Rect>& area, int32_t from, int32_t to, bool rows) {
  if (!area) return;
  int32_t& first = rows ? area->row1 : area->col1;
  int32_t& last = rows ? area->row2 : area->col2;
  const auto span = SpanAfterDeletion(first, last, from, to);
  if (!span) {
    area.reset();
    return;
  }
  first = span->first;
  last = span->second;
}

// The same after count entire rows (or columns) are inserted before `at`.
void InsertLinesIn(std::optional<Rect>& area, int32_t at, int32_t count, bool rows) {
  if (!area) return;
  int32_t& first = rows ? area->row1 : area->col1;
  int32_t& last = rows ? area->row2 : area->col2;
  const auto span = SpanAfterInsertion(first, last, at, count, rows ? kMaxRows : kMaxColumns);
  if (!span) {
    area.reset();
    return;
  }
  first = span->first;
  last = span->second;
}

Rect& MergeRect(Rect& r) { return r; }
Rect& RuleRect(ValidationRule& rule) { return rule.area; }

}  // namespace

bool ModelWorksheet::HoldsEveryCellFrom(const Rect& area) const {
  if (area.col1 != 1) return false;
  for (size_t r = static_cast<size_t>(area.row1 - 1); r < rows_.size(); ++r) {
    if (rows_[r].cells.size() > static_cast<size_t>(area.col2)) return false;
  }
  return true;
}

void ModelWorksheet::DeleteCells(const Rect& area, int32_t shift) {
  CheckRect(area);
  ContentChanged();
  if (shift == kShiftUp) {
    const int32_t height = area.Rows();
    CheckMergesOutsideBand(merges_, Rect{area.row1, area.col1, kMaxRows, area.col2}, true);
    if (area.IsEntireRows()) {
      const auto size = static_cast<int32_t>(rows_.size());
      if (area.row1 <= size) {
        rows_.erase(rows_.begin() + (area.row1 - 1), rows_.begin() + std::min(area.row2, size));
      }
      std::vector<int32_t> breaks;
      for (int32_t b : pageBreaks_) {
        if (b < area.row1) {
          breaks.push_back(b);
        } else if (b > area.row2) {
          breaks.push_back(b - height);
        }
      }
      pageBreaks_ = std::move(breaks);
      DeleteLinesIn(autoFilter_, area.row1, area.row2, true);
      DeleteLinesIn(printArea_, area.row1, area.row2, true);
    } else if (HoldsEveryCellFrom(area)) {
      // The band holds every stored cell of the rows that move: move whole
      // rows of cells (row heights and formats stay where they are).
      const auto size = static_cast<int32_t>(rows_.size());
      for (int32_t r = area.row1; r <= size; ++r) {
        const int64_t source = int64_t{r} + height;
        auto& target = rows_[static_cast<size_t>(r - 1)].cells;
        if (source <= size) {
          target = std::move(rows_[static_cast<size_t>(source - 1)].cells);
        } else {
          std::vector<Cell>().swap(target);
        }
      }
    } else {
      const auto size = static_cast<int32_t>(rows_.size());
      for (int32_t r = area.row1; r <= size; ++r) {
        auto& target = rows_[static_cast<size_t>(r - 1)].cells;
        const int64_t source = int64_t{r} + height;
        auto* from = source <= size ? &rows_[static_cast<size_t>(source - 1)].cells : nullptr;
        const int32_t width = std::max(static_cast<int32_t>(target.size()),
                                       from != nullptr ? static_cast<int32_t>(from->size()) : 0);
        const int32_t lastColumn = std::min(area.col2, width);
        for (int32_t c = area.col1; c <= lastColumn; ++c) {
          const auto index = static_cast<size_t>(c - 1);
          Cell moved = (from != nullptr && index < from->size()) ? std::move((*from)[index]) : Cell{};
          if (index >= target.size()) {
            if (IsBlank(moved)) continue;
            target.resize(index + 1);
          }
          target[index] = std::move(moved);
        }
      }
    }
    DeleteRowsIn(merges_, MergeRect, area.row1, area.row2, area.col1, area.col2, true);
    DeleteRowsIn(validations_, RuleRect, area.row1, area.row2, area.col1, area.col2, false);
    return;
  }
  if (shift == kShiftToLeft) {
    CheckMergesOutsideBand(merges_, Rect{area.row1, area.col1, area.row2, kMaxColumns}, false);
    const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      const auto size = static_cast<int32_t>(cells.size());
      if (area.col1 > size) continue;
      cells.erase(cells.begin() + (area.col1 - 1), cells.begin() + std::min(area.col2, size));
    }
    if (area.IsEntireColumns()) {
      const auto size = static_cast<int32_t>(columns_.size());
      if (area.col1 <= size) {
        columns_.erase(columns_.begin() + (area.col1 - 1), columns_.begin() + std::min(area.col2, size));
      }
      DeleteLinesIn(autoFilter_, area.col1, area.col2, false);
      DeleteLinesIn(printArea_, area.col1, area.col2, false);
    }
    DeleteColumnsIn(merges_, MergeRect, area.col1, area.col2, area.row1, area.row2, true);
    DeleteColumnsIn(validations_, RuleRect, area.col1, area.col2, area.row1, area.row2, false);
    return;
  }
  Raise(kErrHost, "无效的删除方向");
}

void ModelWorksheet::InsertCells(const Rect& area, int32_t shift) {
  CheckRect(area);
  ContentChanged();
  if (shift == kShiftDown) {
    const int32_t height = area.Rows();
    // Nothing may be pushed off the bottom of the sheet.
    const auto size = static_cast<int32_t>(rows_.size());
    for (int32_t r = std::max(area.row1, kMaxRows - height + 1); r <= size; ++r) {
      const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      const int32_t lastColumn = std::min(area.col2, static_cast<int32_t>(cells.size()));
      for (int32_t c = area.col1; c <= lastColumn; ++c) {
        if (!cells[static_cast<size_t>(c - 1)].value.IsEmpty()) {
          Raise(kErrHost, "无法插入单元格：非空单元格将被移出工作表");
        }
      }
    }
    CheckMergesOutsideBand(merges_, Rect{area.row1, area.col1, kMaxRows, area.col2}, true);
    if (area.IsEntireRows()) {
      if (area.row1 <= size) {
        rows_.insert(rows_.begin() + (area.row1 - 1), static_cast<size_t>(height), RowData{});
        if (rows_.size() > static_cast<size_t>(kMaxRows)) rows_.resize(static_cast<size_t>(kMaxRows));
      }
      std::vector<int32_t> breaks;
      for (int32_t b : pageBreaks_) {
        const int64_t moved = b >= area.row1 ? int64_t{b} + height : b;
        if (moved <= kMaxRows) breaks.push_back(static_cast<int32_t>(moved));
      }
      pageBreaks_ = std::move(breaks);
      InsertLinesIn(autoFilter_, area.row1, height, true);
      InsertLinesIn(printArea_, area.row1, height, true);
    } else if (area.row1 <= size) {
      const int32_t newSize = std::min(kMaxRows, size + height);
      // Grow the row list once, so that no row moves while cells are moved.
      rows_.resize(static_cast<size_t>(newSize));
      for (int32_t r = newSize; r >= area.row1; --r) {
        const int32_t source = r - height;
        const bool fromRow = source >= area.row1 && source <= size;
        auto* from = fromRow ? &rows_[static_cast<size_t>(source - 1)].cells : nullptr;
        const int32_t fromWidth = from != nullptr ? static_cast<int32_t>(from->size()) : 0;
        const auto targetWidth = static_cast<int32_t>(rows_[static_cast<size_t>(r - 1)].cells.size());
        const int32_t lastColumn = std::min(area.col2, std::max(fromWidth, targetWidth));
        for (int32_t c = area.col1; c <= lastColumn; ++c) {
          const auto index = static_cast<size_t>(c - 1);
          Cell moved = (from != nullptr && index < from->size()) ? std::move((*from)[index]) : Cell{};
          if (IsBlank(moved) && FindCell(r, c) == nullptr) continue;
          CellAt(r, c) = std::move(moved);
        }
      }
    }
    InsertRowsIn(merges_, MergeRect, area.row1, height, area.col1, area.col2);
    InsertRowsIn(validations_, RuleRect, area.row1, height, area.col1, area.col2);
    return;
  }
  if (shift == kShiftToRight) {
    const int32_t width = area.Columns();
    const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      for (int32_t c = std::max(area.col1, kMaxColumns - width + 1); c <= static_cast<int32_t>(cells.size()); ++c) {
        if (!cells[static_cast<size_t>(c - 1)].value.IsEmpty()) {
          Raise(kErrHost, "无法插入单元格：非空单元格将被移出工作表");
        }
      }
    }
    CheckMergesOutsideBand(merges_, Rect{area.row1, area.col1, area.row2, kMaxColumns}, false);
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      if (area.col1 > static_cast<int32_t>(cells.size())) continue;
      cells.insert(cells.begin() + (area.col1 - 1), static_cast<size_t>(width), Cell{});
      if (cells.size() > static_cast<size_t>(kMaxColumns)) cells.resize(static_cast<size_t>(kMaxColumns));
    }
    if (area.IsEntireColumns() && area.col1 <= static_cast<int32_t>(columns_.size())) {
      columns_.insert(columns_.begin() + (area.col1 - 1), static_cast<size_t>(width), ColumnData{});
      if (columns_.size() > static_cast<size_t>(kMaxColumns)) columns_.resize(static_cast<size_t>(kMaxColumns));
    }
    if (area.IsEntireColumns()) {
      InsertLinesIn(autoFilter_, area.col1, width, false);
      InsertLinesIn(printArea_, area.col1, width, false);
    }
    InsertColumnsIn(merges_, MergeRect, area.col1, width, area.row1, area.row2);
    InsertColumnsIn(validations_, RuleRect, area.col1, width, area.row1, area.row2);
    return;
  }
  Raise(kErrHost, "无效的插入方向");
}

}  // namespace fenban::host
