// Stable sort of the rows of an area by one or two key columns.
#include <algorithm>
#include <string_view>
#include <vector>

#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::host {

namespace {

// A key as the sort compares it, reduced once per sort to two numbers: the
// rank of its kind in the sort's order (numbers, text, Booleans, errors when
// ascending, the reverse when descending; empty cells always last) and a value
// within the kind (the number, the rank of the text among the column's texts,
// the Boolean as 0 or 1, 0 for every error), negated when descending.
struct KeyValue {
  uint8_t kind = 4;  // 0 number, 1 text, 2 Boolean, 3 error, 4 empty
  double number = 0;
  // Valid while the sort reads the keys: the cells stay in place until then.
  std::string_view text;
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
      key.text = value.Text();
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

constexpr uint8_t kEmptyRank = 4;

// One row of the sort: its keys as ranks and values, and its position.
struct SortEntry {
  double value1 = 0;
  double value2 = 0;
  uint32_t index = 0;
  uint8_t rank1 = kEmptyRank;
  uint8_t rank2 = kEmptyRank;
};

bool EntryBefore(const SortEntry& a, const SortEntry& b) {
  if (a.rank1 != b.rank1) return a.rank1 < b.rank1;
  if (a.value1 < b.value1) return true;
  if (b.value1 < a.value1) return false;
  if (a.rank2 != b.rank2) return a.rank2 < b.rank2;
  return a.value2 < b.value2;
}

// A text's first 16 bytes as two numbers that compare as the bytes do
// (shorter texts padded with zeros), with its length and row: the texts of a
// column are sorted through these, side by side in memory, and read where
// they are stored only when two longer than 16 bytes share their first 16.
struct TextPrefix {
  uint64_t high = 0, low = 0;
  uint32_t row = 0;
  uint32_t size = 0;  // at most 16 is all that counts
};

constexpr size_t kPrefixBytes = 16;

TextPrefix PrefixOf(std::string_view text, uint32_t row) {
  TextPrefix prefix;
  prefix.row = row;
  prefix.size = static_cast<uint32_t>(std::min(text.size(), kPrefixBytes + 1));
  for (size_t i = 0; i < kPrefixBytes && i < text.size(); ++i) {
    const uint64_t byte = static_cast<unsigned char>(text[i]);
    if (i < 8) {
      prefix.high |= byte << (56 - 8 * i);
    } else {
      prefix.low |= byte << (56 - 8 * (i - 8));
    }
  }
  return prefix;
}

// Fills rank and value of one key for every entry. Texts get dense ranks in
// code point order (byte order of UTF-8), equal texts the same rank: the
// rows holding texts are put in the order of their texts, and the rank goes
// up wherever the text changes.
void FillKey(std::vector<SortEntry>& entries, const std::vector<KeyValue>& keys, int32_t order, bool second) {
  std::vector<TextPrefix> texts;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].kind == 1) texts.push_back(PrefixOf(keys[i].text, static_cast<uint32_t>(i)));
  }
  std::vector<double> textRank(texts.empty() ? 0 : keys.size(), 0);
  if (!texts.empty()) {
    // Equal first bytes: a text of at most 16 bytes is all prefix, so the
    // shorter of the two comes first (they are equal when as long).
    const auto compare = [&keys](const TextPrefix& a, const TextPrefix& b) {
      if (a.high != b.high) return a.high < b.high ? -1 : 1;
      if (a.low != b.low) return a.low < b.low ? -1 : 1;
      if (a.size <= kPrefixBytes || b.size <= kPrefixBytes) return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
      return keys[a.row].text.compare(keys[b.row].text);
    };
    std::sort(texts.begin(), texts.end(), [&compare](const TextPrefix& a, const TextPrefix& b) { return compare(a, b) < 0; });
    double rank = 0;
    for (size_t t = 0; t < texts.size(); ++t) {
      if (t > 0 && compare(texts[t - 1], texts[t]) != 0) ++rank;
      textRank[texts[t].row] = rank;
    }
  }
  const bool descending = order == kDescending;
  for (size_t i = 0; i < keys.size(); ++i) {
    const KeyValue& key = keys[i];
    uint8_t rank = key.kind;
    double value = 0;
    if (key.kind != kEmptyRank) {
      if (descending) rank = static_cast<uint8_t>(3 - key.kind);
      value = key.kind == 1 ? textRank[i] : (key.kind == 3 ? 0 : key.number);
      if (descending) value = -value;
    }
    if (second) {
      entries[i].rank2 = rank;
      entries[i].value2 = value;
    } else {
      entries[i].rank1 = rank;
      entries[i].value1 = value;
    }
  }
}

// A stable sort of the entries. Rows already in the order of the first key
// (a sort by class and a subject after one by class and another subject)
// are sorted within each run of equal first keys, by the second key only:
// the same order, in pieces that stay in the processor's cache.
template <class Before>
void SortEntries(std::vector<SortEntry>& entries, const Before& before) {
  const auto firstKeyBefore = [](const SortEntry& a, const SortEntry& b) {
    return a.rank1 != b.rank1 ? a.rank1 < b.rank1 : a.value1 < b.value1;
  };
  if (!std::is_sorted(entries.begin(), entries.end(), firstKeyBefore)) {
    std::stable_sort(entries.begin(), entries.end(), before);
    return;
  }
  auto run = entries.begin();
  while (run != entries.end()) {
    auto end = std::upper_bound(run, entries.end(), *run, firstKeyBefore);
    std::stable_sort(run, end, before);
    run = end;
  }
}

void CheckKey(const SortKey& key, const Rect& area, bool optional) {
  if (optional && key.column == 0) return;
  if (key.column < area.col1 || key.column > area.col2) Raise(kErrHost, "排序关键字不在排序区域内");
  if (key.order != kAscending && key.order != kDescending) Raise(kErrHost, "无效的排序次序");
}

}  // namespace

bool ModelWorksheet::SortKeepsRegion(const Rect& area, int32_t header) const {
  if (header != kHeaderYes || regionMemo_.version != contentVersion_) return false;
  const Rect& region = regionMemo_.region;
  if (region.row1 != area.row1 || region.row2 != area.row2 || region.col1 != area.col1 || region.col2 != area.col2) {
    return false;
  }
  if (regionMemo_.row != area.row1) return false;
  for (int32_t column = area.col1; column <= area.col2; ++column) {
    const Cell* cell = FindCell(area.row1, column);
    if (cell == nullptr || cell->value.IsEmpty()) return false;
  }
  return true;
}

void ModelWorksheet::Sort(const Rect& area, SortKey key1, SortKey key2, int32_t header) {
  CheckRect(area);
  CheckKey(key1, area, false);
  CheckKey(key2, area, true);
  if (header != kHeaderYes && header != kHeaderNo && header != 0) Raise(kErrHost, "无效的标题行参数");
  // However the rows move, the current region found before may stay known.
  const bool keepsRegion = SortKeepsRegion(area, header);
  ContentChanged();
  if (keepsRegion) regionMemo_.version = contentVersion_;
  const int32_t first = area.row1 + (header == kHeaderYes ? 1 : 0);
  const int32_t last = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  if (first >= last) return;
  const auto count = static_cast<size_t>(last - first + 1);

  int32_t width = 0;  // last column of the area that holds cells in these rows
  const RowData* rows = rows_.data() + (first - 1);
  auto cellIn = [rows](size_t i, int32_t column) -> const Cell* {
    const auto& cells = rows[i].cells;
    return static_cast<size_t>(column) <= cells.size() ? &cells[static_cast<size_t>(column - 1)] : nullptr;
  };
  std::vector<SortEntry> entries(count);
  for (size_t i = 0; i < count; ++i) entries[i].index = static_cast<uint32_t>(i);
  // One key column at a time, its keys gone before the next: with a
  // million rows each is 32 MB, and the sort below needs as much again.
  for (const SortKey* key : {&key1, &key2}) {
    if (key->column == 0) continue;
    std::vector<KeyValue> keys(count);
    for (size_t i = 0; i < count; ++i) keys[i] = KeyOf(cellIn(i, key->column));
    FillKey(entries, keys, key->order, key == &key2);
  }
  for (size_t i = 0; i < count; ++i) width = std::max(width, static_cast<int32_t>(rows[i].cells.size()));
  // A lambda rather than the function's address, so that the comparison is
  // inlined into the sort.
  const auto before = [](const SortEntry& a, const SortEntry& b) { return EntryBefore(a, b); };
  // Rows already in order stay where they are (the sort is stable).
  if (std::is_sorted(entries.begin(), entries.end(), before)) return;
  SortEntries(entries, before);
  std::vector<uint32_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = entries[i].index;
  std::vector<SortEntry>().swap(entries);

  if (area.col1 == 1 && width <= area.col2) {
    // The area holds every stored cell of its rows: move whole rows of
    // cells, first out in their new order, then back. Each step is
    // independent of the others, unlike following the permutation's cycles.
    RowData* base = rows_.data() + (first - 1);
    std::vector<std::vector<Cell>> moved(count);
    for (size_t i = 0; i < count; ++i) moved[i] = std::move(base[order[i]].cells);
    for (size_t i = 0; i < count; ++i) base[i].cells = std::move(moved[i]);
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
      if (!cell.value.IsEmpty() || cell.style != 0 || cell.formula != 0) needed = static_cast<size_t>(area.col1) + k;
    }
    if (needed > cells.size()) cells.resize(needed);
    for (size_t k = 0; k < span; ++k) {
      const size_t c = static_cast<size_t>(area.col1 - 1) + k;
      if (c < cells.size()) cells[c] = std::move(moved[i][k]);
    }
  }
}

}  // namespace fenban::host
