// When the engine's early sorts can be left out: the sorts by class and a
// category, and the sort by class and total before the subject tables, only
// order students that every later sort leaves tied. Where no such ties exist,
// the engine finds what it read after those sorts without moving the rows.
#include <algorithm>
#include <cstring>
#include <utility>
#include <string_view>
#include <vector>

#include "host/errors.h"
#include "statistics/engine_data.h"

namespace fenban::statistics {

namespace {

// The rank of a value's kind in an ascending sort: numbers, text, Booleans,
// errors, empty cells last.
int32_t KindRank(const host::Value& value) {
  switch (value.Type()) {
    case host::ValueType::Number:
      return 0;
    case host::ValueType::Text:
      return 1;
    case host::ValueType::Boolean:
      return 2;
    case host::ValueType::Error:
      return 3;
    case host::ValueType::Empty:
      break;
  }
  return 4;
}

// The class of each student row (2..lastRow) as the class ranges give it;
// rows after the last class share one more.
std::vector<int32_t> ClassOfRows(const EngineData& data, int32_t lastRow) {
  std::vector<int32_t> classOf(static_cast<size_t>(std::max(0, lastRow - 1)), data.classCount + 1);
  for (int32_t c = 1; c <= data.classCount; ++c) {
    for (int32_t row = data.FirstRowOf(c); row <= std::min(data.LastRowOf(c), lastRow); ++row) {
      classOf[static_cast<size_t>(row - 2)] = c;
    }
  }
  return classOf;
}

// A 64-bit mix (splitmix64's finaliser).
uint64_t Mixed(uint64_t x) {
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

bool SortBefore(const host::Value& a, const host::Value& b) {
  const int32_t rankA = KindRank(a);
  const int32_t rankB = KindRank(b);
  if (rankA != rankB) return rankA < rankB;
  switch (a.Type()) {
    case host::ValueType::Number:
      return a.Number() < b.Number();
    case host::ValueType::Text:
      return a.Text() < b.Text();
    case host::ValueType::Boolean:
      return !a.Bool() && b.Bool();
    default:
      return false;
  }
}

bool EarlySortsMatter(EngineData& data) {
  if (data.rowCount < 3) return true;
  try {
    FindSubjects(data);
  } catch (const host::RuntimeError&) {
    return true;  // the subject tables raise it in their turn
  }
  std::vector<int32_t> columns{data.totalColumn};
  for (const int32_t column : data.subjectColumn) {
    if (column == 1 || std::find(columns.begin(), columns.end(), column) != columns.end()) continue;
    columns.push_back(column);
  }
  const host::Rect area = data.division->Cells(1, 1).CurrentRegion().Area();
  if (area.row1 != 1 || area.row2 != data.rowCount) return true;
  for (const int32_t column : columns) {
    if (column < area.col1 || column > area.col2) return true;
  }
  // Every key a number: equal keys are then equal numbers, as the sort
  // compares them (0 and -0 alike).
  const auto rows = static_cast<size_t>(data.rowCount - 1);
  const size_t width = columns.size();
  std::vector<double> keys(rows * width);
  for (size_t k = 0; k < width; ++k) {
    for (size_t i = 0; i < rows; ++i) {
      const host::Value& value = data.division->CellValue(static_cast<int32_t>(i + 2), columns[k]);
      if (!value.IsNumber() || value.Number() != value.Number()) return true;
      keys[i * width + k] = value.Number() + 0.0;
    }
  }
  const std::vector<int32_t> classOf = ClassOfRows(data, data.rowCount);
  // Rows tied in class and keys have equal hashes; rows of equal hashes are
  // compared in full.
  std::vector<std::pair<uint64_t, uint32_t>> hashed(rows);
  for (size_t i = 0; i < rows; ++i) {
    uint64_t hash = Mixed(static_cast<uint64_t>(classOf[i]));
    for (size_t k = 0; k < width; ++k) {
      uint64_t bits = 0;
      std::memcpy(&bits, &keys[i * width + k], sizeof bits);
      hash = Mixed(hash ^ bits);
    }
    hashed[i] = {hash, static_cast<uint32_t>(i)};
  }
  std::sort(hashed.begin(), hashed.end());
  const auto keysOf = [&keys, width](uint32_t i) { return keys.begin() + static_cast<std::ptrdiff_t>(i * width); };
  for (size_t i = 1; i < rows; ++i) {
    if (hashed[i - 1].first != hashed[i].first) continue;
    const uint32_t a = hashed[i - 1].second;
    const uint32_t b = hashed[i].second;
    if (classOf[a] == classOf[b] && std::equal(keysOf(a), keysOf(a) + static_cast<std::ptrdiff_t>(width), keysOf(b))) {
      return true;
    }
  }
  return false;
}

}  // namespace fenban::statistics
