// What a sheet of the real application looks like to us between calls: its
// cell values as read in one block through Range.Value, the cells written
// since and not yet sent back, and which cells hold formulas. Pure data, so
// that it is the same on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/rect.h"
#include "host/value.h"

namespace fenban::automation {

class SheetValueCache {
 public:
  // True once the sheet's values were read; until then nothing is known.
  bool Loaded() const { return loaded_; }
  // Starts a fresh copy of the sheet: every cell empty, nothing pending.
  void StartLoad();
  // Stores a cell as read from the sheet (not pending).
  void Assign(int32_t row, int32_t column, host::Value value);
  // Forgets everything; pending writes must have been sent first.
  void Drop();

  // The value of a cell of a loaded sheet (cells never stored are empty).
  const host::Value& Get(int32_t row, int32_t column) const;
  // The smallest rectangle holding every non-empty value inside `area`; none
  // when there is none.
  std::optional<host::Rect> ValuesWithin(const host::Rect& area) const;
  // Records a write that waits to be sent; the cell holds no formula anymore.
  void Write(int32_t row, int32_t column, host::Value value);
  bool HasPending() const { return !pending_.empty(); }
  // The pending cells as few rectangles: runs of neighbouring columns in a
  // row, joined downwards while the next row has the same run.
  std::vector<host::Rect> PendingBlocks() const;
  void ClearPending() { pending_.clear(); }

  // Cells that hold formulas, as far as we know them. An area of more than
  // kMaxTrackedFormulaCells cells counts as formulas anywhere on the sheet.
  static constexpr int64_t kMaxTrackedFormulaCells = 65536;
  void MarkFormulas(const host::Rect& area);
  bool HoldsFormulas() const { return formulasAnywhere_ || !formulas_.empty(); }
  // True when a cell of the area may hold a formula.
  bool FormulasWithin(const host::Rect& area) const;
  // The loaded rows, the last one that holds a value at the end.
  int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }

  // After the application sorted rows firstRow.. of columns col1..col2: row
  // firstRow + i now holds what row firstRow + order[i] held. Nothing pending.
  void PermuteRows(int32_t firstRow, int32_t col1, int32_t col2, const std::vector<size_t>& order);

 private:
  bool loaded_ = false;
  std::vector<std::vector<host::Value>> rows_;  // rows_[r - 1][c - 1]
  std::vector<std::pair<int32_t, int32_t>> pending_;
  std::set<std::pair<int32_t, int32_t>> formulas_;
  bool formulasAnywhere_ = false;
};

// "A1", "B2:D5", whole columns "A:C", whole rows "2:4", as the object model's Range takes them.
std::string A1Address(const host::Rect& area);
// The rectangle of an address as Range.Address gives it: "$A$1",
// "$B$3:$K$2001", whole columns "$A:$P", whole rows "$1:$3", without the
// dollar signs too. Raises run-time error 1004 for anything else.
host::Rect ParseAddress(const std::string& address);

// True when a text written as it stands could be entered as something else
// (a number, date, time, percentage, Boolean, error or formula) by the
// application, which enters a String written to a cell as if it were typed:
// it holds a digit, starts with one of = + - @ ' #, or reads TRUE or FALSE.
// Such a text goes with an apostrophe in front, unless the cell is
// formatted "@" (where the apostrophe would stay in the text).
bool MayBeEnteredAsOther(std::string_view text);

// The order in which the embedded model's sort puts rows with these keys
// (keys2 empty: no second key): entry i is the index of the row that comes
// i-th. Texts in code point order, whatever the application's own order.
std::vector<size_t> ModelSortOrder(const std::vector<host::Value>& keys1, int32_t order1,
                                   const std::vector<host::Value>& keys2, int32_t order2);
// The i-th of `count` texts that every application sorts in the same order
// (upper-case letters of one length): the sort key of position i.
std::string PositionKey(size_t i, size_t count);

}  // namespace fenban::automation
