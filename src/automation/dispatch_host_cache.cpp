#include "automation/dispatch_host_cache.h"

#include <algorithm>
#include <map>

#include "host/constants.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"

namespace fenban::automation {

namespace {

const host::Value kEmpty;

// One cell reference with optional dollar signs; false when it is not one.
bool ParseCell(const std::string& text, int32_t& row, int32_t& column) {
  size_t pos = 0;
  int64_t c = 0, r = 0;
  if (pos < text.size() && text[pos] == '$') ++pos;
  const size_t lettersAt = pos;
  while (pos < text.size() && text[pos] >= 'A' && text[pos] <= 'Z' && pos - lettersAt < 3) {
    c = c * 26 + (text[pos++] - 'A' + 1);
  }
  if (pos == lettersAt) return false;
  if (pos < text.size() && text[pos] == '$') ++pos;
  const size_t digitsAt = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - digitsAt < 7) {
    r = r * 10 + (text[pos++] - '0');
  }
  if (pos == digitsAt || pos != text.size()) return false;
  if (r < 1 || r > host::kMaxRows || c > host::kMaxColumns) return false;
  row = static_cast<int32_t>(r);
  column = static_cast<int32_t>(c);
  return true;
}

// A whole column's letters ("$A", "P"); false when it is not one.
bool ParseColumn(const std::string& text, int32_t& column) {
  const size_t at = !text.empty() && text[0] == '$' ? 1 : 0;
  if (text.size() == at || text.size() - at > 3) return false;
  int64_t c = 0;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] < 'A' || text[i] > 'Z') return false;
    c = c * 26 + (text[i] - 'A' + 1);
  }
  if (c > host::kMaxColumns) return false;
  column = static_cast<int32_t>(c);
  return true;
}

// A whole row's number ("$3", "12"); false when it is not one.
bool ParseRow(const std::string& text, int32_t& row) {
  const size_t at = !text.empty() && text[0] == '$' ? 1 : 0;
  if (text.size() == at || text.size() - at > 7) return false;
  int64_t r = 0;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    r = r * 10 + (text[i] - '0');
  }
  if (r < 1 || r > host::kMaxRows) return false;
  row = static_cast<int32_t>(r);
  return true;
}

}  // namespace

void SheetValueCache::StartLoad() {
  rows_.clear();
  pending_.clear();
  formulas_.clear();
  formulasAnywhere_ = false;
  loaded_ = true;
}

void SheetValueCache::Assign(int32_t row, int32_t column, host::Value value) {
  if (value.IsEmpty() && (static_cast<size_t>(row) > rows_.size() ||
                          static_cast<size_t>(column) > rows_[static_cast<size_t>(row - 1)].size())) {
    return;
  }
  if (rows_.size() < static_cast<size_t>(row)) rows_.resize(static_cast<size_t>(row));
  std::vector<host::Value>& cells = rows_[static_cast<size_t>(row - 1)];
  if (cells.size() < static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column));
  cells[static_cast<size_t>(column - 1)] = std::move(value);
}

void SheetValueCache::Drop() {
  rows_.clear();
  pending_.clear();
  formulas_.clear();
  formulasAnywhere_ = false;
  loaded_ = false;
}

const host::Value& SheetValueCache::Get(int32_t row, int32_t column) const {
  if (static_cast<size_t>(row) > rows_.size()) return kEmpty;
  const std::vector<host::Value>& cells = rows_[static_cast<size_t>(row - 1)];
  if (static_cast<size_t>(column) > cells.size()) return kEmpty;
  return cells[static_cast<size_t>(column - 1)];
}

std::optional<host::Rect> SheetValueCache::ValuesWithin(const host::Rect& area) const {
  std::optional<host::Rect> found;
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  for (int32_t r = area.row1; r <= lastRow; ++r) {
    const std::vector<host::Value>& cells = rows_[static_cast<size_t>(r - 1)];
    int32_t first = area.col1;
    int32_t last = std::min<int32_t>(area.col2, static_cast<int32_t>(cells.size()));
    while (first <= last && cells[static_cast<size_t>(first - 1)].IsEmpty()) ++first;
    if (first > last) continue;
    while (cells[static_cast<size_t>(last - 1)].IsEmpty()) --last;
    if (!found) {
      found = host::Rect{r, first, r, last};
    } else {
      found->row2 = r;
      found->col1 = std::min(found->col1, first);
      found->col2 = std::max(found->col2, last);
    }
  }
  return found;
}

void SheetValueCache::Write(int32_t row, int32_t column, host::Value value) {
  // A cell cannot hold an empty text: writing one empties it.
  if (value.IsText() && value.Text().empty()) value = host::Value();
  if (rows_.size() < static_cast<size_t>(row)) rows_.resize(static_cast<size_t>(row));
  std::vector<host::Value>& cells = rows_[static_cast<size_t>(row - 1)];
  if (cells.size() < static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column));
  cells[static_cast<size_t>(column - 1)] = std::move(value);
  pending_.emplace_back(row, column);
  formulas_.erase({row, column});
}

std::vector<host::Rect> SheetValueCache::PendingBlocks() const {
  std::vector<std::pair<int32_t, int32_t>> cells = pending_;
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  std::vector<host::Rect> blocks;
  // The block that a run of the previous row ends, by the run's columns.
  std::map<std::pair<int32_t, int32_t>, size_t> open;
  std::map<std::pair<int32_t, int32_t>, size_t> next;
  int32_t currentRow = 0;
  size_t i = 0;
  while (i < cells.size()) {
    const int32_t row = cells[i].first;
    if (row != currentRow) {
      open = (row == currentRow + 1) ? std::move(next) : std::map<std::pair<int32_t, int32_t>, size_t>{};
      next.clear();
      currentRow = row;
    }
    const int32_t first = cells[i].second;
    int32_t last = first;
    ++i;
    while (i < cells.size() && cells[i].first == row && cells[i].second == last + 1) {
      last = cells[i].second;
      ++i;
    }
    const auto found = open.find({first, last});
    if (found != open.end()) {
      blocks[found->second].row2 = row;
      next[{first, last}] = found->second;
    } else {
      blocks.push_back(host::Rect{row, first, row, last});
      next[{first, last}] = blocks.size() - 1;
    }
  }
  return blocks;
}

void SheetValueCache::MarkFormulas(const host::Rect& area) {
  if (int64_t{area.Rows()} * area.Columns() > kMaxTrackedFormulaCells) {
    formulasAnywhere_ = true;
    return;
  }
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    for (int32_t c = area.col1; c <= area.col2; ++c) formulas_.insert({r, c});
  }
}

bool SheetValueCache::FormulasWithin(const host::Rect& area) const {
  if (formulasAnywhere_) return true;
  for (const auto& [r, c] : formulas_) {
    if (area.Contains(r, c)) return true;
  }
  return false;
}

void SheetValueCache::PermuteRows(int32_t firstRow, int32_t col1, int32_t col2, const std::vector<size_t>& order) {
  std::vector<std::vector<host::Value>> moved(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    const auto from = static_cast<int32_t>(firstRow + static_cast<int32_t>(order[i]));
    for (int32_t c = col1; c <= col2; ++c) moved[i].push_back(Get(from, c));
  }
  for (size_t i = 0; i < order.size(); ++i) {
    const int32_t row = firstRow + static_cast<int32_t>(i);
    for (int32_t c = col1; c <= col2; ++c) {
      host::Value& value = moved[i][static_cast<size_t>(c - col1)];
      if (value.IsEmpty() && (static_cast<size_t>(row) > rows_.size() ||
                              static_cast<size_t>(c) > rows_[static_cast<size_t>(row - 1)].size())) {
        continue;
      }
      Assign(row, c, std::move(value));
    }
  }
}

bool MayBeEnteredAsOther(std::string_view text) {
  if (text.empty()) return false;
  if (std::string_view("=+-@'#").find(text[0]) != std::string_view::npos) return true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') return true;
    // Full-width digits (U+FF10..U+FF19) are read as digits too.
    if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size()) {
      const auto third = static_cast<unsigned char>(text[i + 2]);
      if (third >= 0x90 && third <= 0x99) return true;
    }
  }
  std::string upper;
  for (char ch : text) {
    if (ch != ' ') upper += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
  }
  return upper == "TRUE" || upper == "FALSE";
}

std::vector<size_t> ModelSortOrder(const std::vector<host::Value>& keys1, int32_t order1,
                                   const std::vector<host::Value>& keys2, int32_t order2) {
  // The embedded model sorts a sheet of the keys and each row's index.
  host::ModelWorkbook book("sort", "");
  host::ModelWorksheet& sheet = book.AppendSheet("sort");
  const auto count = static_cast<int32_t>(keys1.size());
  if (count == 0) return {};
  for (int32_t i = 0; i < count; ++i) {
    sheet.SetCellValue(i + 1, 1, keys1[static_cast<size_t>(i)]);
    if (!keys2.empty()) sheet.SetCellValue(i + 1, 2, keys2[static_cast<size_t>(i)]);
    sheet.SetCellValue(i + 1, 3, i);
  }
  sheet.Sort(host::Rect{1, 1, count, 3}, host::SortKey{1, order1},
             keys2.empty() ? host::SortKey{0, host::kAscending} : host::SortKey{2, order2}, host::kHeaderNo);
  std::vector<size_t> order(keys1.size());
  for (int32_t i = 0; i < count; ++i) order[static_cast<size_t>(i)] = static_cast<size_t>(sheet.CellValue(i + 1, 3).Number());
  return order;
}

std::string PositionKey(size_t i, size_t count) {
  size_t width = 1;
  for (size_t n = 26; n < count; n *= 26) ++width;
  std::string key(width, 'A');
  for (size_t k = width; k-- > 0; i /= 26) key[k] = static_cast<char>('A' + i % 26);
  // Never a word the application would read as a Boolean or a number.
  return "K" + key;
}

std::string A1Address(const host::Rect& area) {
  if (area.IsEntireColumns() && !area.IsEntireRows()) {
    return host::ColumnLetters(area.col1) + ":" + host::ColumnLetters(area.col2);
  }
  if (area.IsEntireRows()) return std::to_string(area.row1) + ":" + std::to_string(area.row2);
  return host::RectAddress(area);
}

host::Rect ParseAddress(const std::string& address) {
  const size_t colon = address.find(':');
  const std::string first = address.substr(0, colon);
  const std::string last = colon == std::string::npos ? first : address.substr(colon + 1);
  host::Rect area;
  int32_t firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
  bool parsed = false;
  if (ParseCell(first, area.row1, area.col1) && ParseCell(last, area.row2, area.col2)) {
    parsed = true;
  } else if (colon != std::string::npos && ParseColumn(first, firstColumn) && ParseColumn(last, lastColumn)) {
    area = host::Rect{1, firstColumn, host::kMaxRows, lastColumn};
    parsed = true;
  } else if (colon != std::string::npos && ParseRow(first, firstRow) && ParseRow(last, lastRow)) {
    area = host::Rect{firstRow, 1, lastRow, host::kMaxColumns};
    parsed = true;
  }
  if (!parsed || area.row2 < area.row1 || area.col2 < area.col1) {
    host::Raise(host::kErrHost, "无法识别的区域地址: " + address);
  }
  return area;
}

}  // namespace fenban::automation
