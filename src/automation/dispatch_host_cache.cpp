#include "automation/dispatch_host_cache.h"

#include <algorithm>
#include <map>

#include "host/constants.h"
#include "host/errors.h"

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
  if (!ParseCell(first, area.row1, area.col1) || !ParseCell(last, area.row2, area.col2) ||
      area.row2 < area.row1 || area.col2 < area.col1) {
    host::Raise(host::kErrHost, "无法识别的区域地址: " + address);
  }
  return area;
}

}  // namespace fenban::automation
