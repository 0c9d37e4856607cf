// Formats of cells, rows, columns and the whole sheet; fitting columns.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/display_text.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/rect_ops.h"

namespace fenban::host {

uint32_t ModelWorksheet::ChangedStyle(uint32_t index, const std::function<void(CellStyle&)>& change,
                                      std::unordered_map<uint32_t, uint32_t>& cache) {
  const auto found = cache.find(index);
  if (found != cache.end()) return found->second;
  CellStyle style = book_->Styles().Get(index);
  change(style);
  const uint32_t result = book_->Styles().Intern(style);
  cache.emplace(index, result);
  return result;
}

void ModelWorksheet::Format(const Rect& area, const std::function<void(CellStyle&)>& change) {
  CheckRect(area);
  ContentChanged();  // formats leave the values alone, but cells may be added
  std::unordered_map<uint32_t, uint32_t> cache;
  auto changed = [&](uint32_t index) { return ChangedStyle(index, change, cache); };
  auto changeStoredCells = [&](std::vector<Cell>& cells, int32_t col1, int32_t col2) {
    const int32_t last = std::min(col2, static_cast<int32_t>(cells.size()));
    for (int32_t c = col1; c <= last; ++c) {
      Cell& cell = cells[static_cast<size_t>(c - 1)];
      if (cell.style != 0) cell.style = changed(cell.style);
    }
  };

  if (area.IsWholeSheet()) {
    sheetStyle_ = changed(sheetStyle_);
    for (RowData& row : rows_) {
      if (row.style != 0) row.style = changed(row.style);
      changeStoredCells(row.cells, 1, kMaxColumns);
    }
    for (ColumnData& column : columns_) {
      if (column.style != 0) column.style = changed(column.style);
    }
    return;
  }
  if (area.IsEntireColumns()) {
    if (static_cast<size_t>(area.col2) > columns_.size()) columns_.resize(static_cast<size_t>(area.col2));
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      ColumnData& column = columns_[static_cast<size_t>(c - 1)];
      column.style = changed(column.style != 0 ? column.style : sheetStyle_);
    }
    for (size_t r = 0; r < rows_.size(); ++r) {
      RowData& row = rows_[r];
      if (row.style == 0) {
        changeStoredCells(row.cells, area.col1, area.col2);
        continue;
      }
      // A row format would hide the new column format: the crossing cells
      // get their own format.
      if (static_cast<size_t>(area.col2) > row.cells.size()) row.cells.resize(static_cast<size_t>(area.col2));
      for (int32_t c = area.col1; c <= area.col2; ++c) {
        Cell& cell = row.cells[static_cast<size_t>(c - 1)];
        cell.style = changed(cell.style != 0 ? cell.style : row.style);
      }
    }
    return;
  }
  if (area.IsEntireRows()) {
    if (static_cast<size_t>(area.row2) > rows_.size()) rows_.resize(static_cast<size_t>(area.row2));
    for (int32_t r = area.row1; r <= area.row2; ++r) {
      RowData& row = rows_[static_cast<size_t>(r - 1)];
      if (row.style == 0) {
        // Cells of formatted columns keep their column format under the change.
        for (size_t c = 0; c < columns_.size(); ++c) {
          if (columns_[c].style == 0) continue;
          if (c >= row.cells.size()) row.cells.resize(c + 1);
          // Takes the column's format here; the change below applies to it once.
          if (row.cells[c].style == 0) row.cells[c].style = columns_[c].style;
        }
      }
      changeStoredCells(row.cells, 1, kMaxColumns);
      row.style = changed(row.style != 0 ? row.style : sheetStyle_);
    }
    return;
  }
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      const uint32_t effective = EffectiveStyleIndex(r, c);
      CellAt(r, c).style = changed(effective);
    }
  }
}

namespace {

// The width of a text's widest line.
size_t WidestLine(std::string_view text) {
  size_t lineWidth = 0;
  for (;;) {
    const size_t feed = text.find('\n');
    lineWidth = std::max(lineWidth, DisplayWidth(text.substr(0, feed)));
    if (feed == std::string_view::npos) break;
    text.remove_prefix(feed + 1);
  }
  return lineWidth;
}

// A number as a format shows it: the number's bits and the cell format's index.
struct ShownNumber {
  uint64_t bits = 0;
  uint32_t style = 0;
  bool operator==(const ShownNumber&) const = default;
};
struct ShownNumberHash {
  size_t operator()(const ShownNumber& shown) const {
    return std::hash<uint64_t>{}(shown.bits ^ (static_cast<uint64_t>(shown.style) << 52));
  }
};

}  // namespace

void ModelWorksheet::AutoFit(int32_t firstColumn, int32_t lastColumn) {
  CheckRect(Rect{1, firstColumn, 1, lastColumn});
  const StylePool& styles = book_->Styles();
  std::vector<Rect> merges;
  for (const Rect& merge : merges_) {
    if (merge.col2 >= firstColumn && merge.col1 <= lastColumn) merges.push_back(merge);
  }
  int32_t widestStored = 0;
  for (const RowData& row : rows_) widestStored = std::max(widestStored, static_cast<int32_t>(row.cells.size()));
  const int32_t last = std::min(lastColumn, widestStored);
  if (last < firstColumn) return;
  std::vector<double> widest(static_cast<size_t>(last - firstColumn + 1), -1);
  std::unordered_map<ShownNumber, size_t, ShownNumberHash> numberWidths;
  for (size_t r = 0; r < rows_.size(); ++r) {
    const auto& cells = rows_[r].cells;
    const auto row = static_cast<int32_t>(r + 1);
    const int32_t rowLast = std::min(last, static_cast<int32_t>(cells.size()));
    for (int32_t c = firstColumn; c <= rowLast; ++c) {
      const Cell& cell = cells[static_cast<size_t>(c - 1)];
      if (cell.value.IsEmpty()) continue;
      if (std::any_of(merges.begin(), merges.end(), [row, c](const Rect& m) { return m.Contains(row, c); })) {
        continue;
      }
      const uint32_t styleIndex = EffectiveStyleIndex(&cell, row, c);
      const CellStyle& style = styles.Get(styleIndex);
      size_t lineWidth = 0;
      if (cell.value.IsNumber()) {
        // Numbers repeat (marks, class numbers): each is shown once per format.
        double number = cell.value.Number();
        ShownNumber key{0, styleIndex};
        std::memcpy(&key.bits, &number, sizeof number);
        const auto [it, added] = numberWidths.try_emplace(key, 0);
        if (added) it->second = WidestLine(DisplayText(cell.value, style.numberFormat));
        lineWidth = it->second;
      } else {
        lineWidth = WidestLine(DisplayText(cell.value, style.numberFormat));
      }
      double width = static_cast<double>(lineWidth) * style.fontSize / 11.0;
      if (style.bold) width *= 1.1;
      double& column = widest[static_cast<size_t>(c - firstColumn)];
      column = std::max(column, width);
    }
  }
  for (int32_t c = firstColumn; c <= last; ++c) {
    const double width = widest[static_cast<size_t>(c - firstColumn)];
    if (width < 0) continue;  // nothing shown: the column keeps its width
    if (static_cast<size_t>(c) > columns_.size()) columns_.resize(static_cast<size_t>(c));
    columns_[static_cast<size_t>(c - 1)].width = std::min(255.0, width + 1.5);
  }
  RefitRowHeights();
}

namespace {

// The lines a text takes in a wrapped cell `width` characters wide: each of
// its lines, broken where it is wider than the cell.
int32_t WrappedLineCount(std::string_view text, double fontSize, double width) {
  const double room = std::max(1.0, width);
  int32_t lines = 0;
  for (;;) {
    const size_t feed = text.find('\n');
    const double units = static_cast<double>(DisplayWidth(text.substr(0, feed))) * fontSize / 11.0;
    lines += std::max(1, static_cast<int32_t>(std::ceil(units / room - 1e-9)));
    if (feed == std::string_view::npos) return lines;
    text.remove_prefix(feed + 1);
  }
}

}  // namespace

void ModelWorksheet::WrapEnteredLines(int32_t row, int32_t column) {
  if (!book_->Styles().Get(EffectiveStyleIndex(row, column)).wrapText) {
    Format(Rect{row, column, row, column}, [](CellStyle& style) { style.wrapText = true; });
  }
  RowData& rowData = rows_[static_cast<size_t>(row - 1)];
  if (rowData.height >= 0 && !rowData.heightFitted) return;
  rowData.heightFitted = true;
  FitRowHeight(row);
}

void ModelWorksheet::FitRowHeight(int32_t row) {
  RowData& rowData = rows_[static_cast<size_t>(row - 1)];
  const StylePool& styles = book_->Styles();
  double wanted = defaultRowHeight_;
  for (size_t c = 0; c < rowData.cells.size(); ++c) {
    const Cell& cell = rowData.cells[c];
    if (!cell.value.IsText()) continue;
    const auto column = static_cast<int32_t>(c + 1);
    const CellStyle& style = styles.Get(EffectiveStyleIndex(&cell, row, column));
    if (!style.wrapText) continue;
    const int32_t lines = WrappedLineCount(cell.value.Text(), style.fontSize, ColumnWidth(column));
    // A line takes about 1.4 times the font size; heights go by whole pixels (0.75 points).
    wanted = std::max(wanted, std::ceil(lines * style.fontSize * 1.4 / 0.75) * 0.75);
  }
  rowData.height = std::min(wanted, 409.0);
}

void ModelWorksheet::RefitRowHeights() {
  for (size_t r = 0; r < rows_.size(); ++r) {
    if (rows_[r].heightFitted) FitRowHeight(static_cast<int32_t>(r + 1));
  }
}

}  // namespace fenban::host
