// Stable sort of the rows of an area by one or two key columns.
#include <algorithm>
#include <numeric>
#include <vector>

#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::host {

namespace {

// A key as the sort compares it: kind first (numbers, text, Booleans,
// errors), then the number or the text. Empty cells have their own kind.
struct KeyValue {
  uint8_t kind = 4;  // 0 number, 1 text, 2 Boolean, 3 error, 4 empty
  double number = 0;
  const std::string* text = nullptr;
};

KeyValue KeyOf(const Cell* cell) {
  KeyValue key;
  if (cell == nullptr) return key;
  const Value& value = cell->value;
  switch (value.Type()) {
    case ValueType::Number:
      key.kind = 0;
      key.number = value.Number();
      break;
    case ValueType::Text:
      key.kind = 1;
      key.text = &value.Text();
      break;
    case ValueType::Boolean:
      key.kind = 2;
      key.number = value.Bool() ? 1 : 0;
      break;
    case ValueType::Error:
      key.kind = 3;
      break;
    case ValueType::Empty:
      break;
  }
  return key;
}

// Negative when a sorts before b in the given order; empty keys go last in
// both orders.
int CompareKeys(const KeyValue& a, const KeyValue& b, int32_t order) {
  if (a.kind == 4 || b.kind == 4) return (a.kind == 4 ? 1 : 0) - (b.kind == 4 ? 1 : 0);
  int result = 0;
  if (a.kind != b.kind) {
    result = a.kind < b.kind ? -1 : 1;
  } else if (a.kind == 1) {
    // Byte order of UTF-8 is the order of the code points.
    const int c = a.text->compare(*b.text);
    result = c < 0 ? -1 : (c > 0 ? 1 : 0);
  } else if (a.kind != 3) {
    result = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  }
  return order == kDescending ? -result : result;
}

void CheckKey(const SortKey& key, const Rect& area, bool optional) {
  if (optional && key.column == 0) return;
  if (key.column < area.col1 || key.column > area.col2) Raise(kErrHost, "排序关键字不在排序区域内");
  if (key.order != kAscending && key.order != kDescending) Raise(kErrHost, "无效的排序次序");
}

}  // namespace

void ModelWorksheet::Sort(const Rect& area, SortKey key1, SortKey key2, int32_t header) {
  CheckRect(area);
  CheckKey(key1, area, false);
  CheckKey(key2, area, true);
  if (header != kHeaderYes && header != kHeaderNo && header != 0) Raise(kErrHost, "无效的标题行参数");
  const int32_t first = area.row1 + (header == kHeaderYes ? 1 : 0);
  const int32_t last = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  if (first >= last) return;
  const auto count = static_cast<size_t>(last - first + 1);

  std::vector<KeyValue> keys1(count), keys2(key2.column != 0 ? count : 0);
  int32_t width = 0;  // last column of the area that holds cells in these rows
  for (size_t i = 0; i < count; ++i) {
    const int32_t row = first + static_cast<int32_t>(i);
    keys1[i] = KeyOf(FindCell(row, key1.column));
    if (key2.column != 0) keys2[i] = KeyOf(FindCell(row, key2.column));
    width = std::max(width, static_cast<int32_t>(rows_[static_cast<size_t>(row - 1)].cells.size()));
  }
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int c = CompareKeys(keys1[a], keys1[b], key1.order);
    if (c != 0 || key2.column == 0) return c < 0;
    return CompareKeys(keys2[a], keys2[b], key2.order) < 0;
  });

  if (area.col1 == 1 && width <= area.col2) {
    // The area holds every stored cell of its rows: move whole rows of cells.
    std::vector<std::vector<Cell>> moved(count);
    for (size_t i = 0; i < count; ++i) moved[i] = std::move(rows_[static_cast<size_t>(first - 1) + order[i]].cells);
    for (size_t i = 0; i < count; ++i) rows_[static_cast<size_t>(first - 1) + i].cells = std::move(moved[i]);
    return;
  }
  const int32_t lastColumn = std::min(area.col2, width);
  if (lastColumn < area.col1) return;
  const auto span = static_cast<size_t>(lastColumn - area.col1 + 1);
  // Take the rows' cells out in their new order, then put them back.
  std::vector<std::vector<Cell>> moved(count);
  for (size_t i = 0; i < count; ++i) {
    auto& cells = rows_[static_cast<size_t>(first - 1) + order[i]].cells;
    moved[i].resize(span);
    for (size_t k = 0; k < span; ++k) {
      const size_t c = static_cast<size_t>(area.col1 - 1) + k;
      if (c < cells.size()) moved[i][k] = std::move(cells[c]);
    }
  }
  for (size_t i = 0; i < count; ++i) {
    auto& cells = rows_[static_cast<size_t>(first - 1) + i].cells;
    size_t needed = 0;
    for (size_t k = 0; k < span; ++k) {
      const Cell& cell = moved[i][k];
      if (!cell.value.IsEmpty() || cell.style != 0 || cell.formula) needed = static_cast<size_t>(area.col1) + k;
    }
    if (needed > cells.size()) cells.resize(needed);
    for (size_t k = 0; k < span; ++k) {
      const size_t c = static_cast<size_t>(area.col1 - 1) + k;
      if (c < cells.size()) cells[c] = std::move(moved[i][k]);
    }
  }
}

}  // namespace fenban::host
