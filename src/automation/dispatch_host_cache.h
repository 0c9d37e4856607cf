// What a sheet of the real application looks like to us between calls: its
// cell values as read in one block through Range.Value, the cells written
// since and not yet sent back, and which cells hold formulas. Pure data, so
// that it is the same on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
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

 private:
  bool loaded_ = false;
  std::vector<std::vector<host::Value>> rows_;  // rows_[r - 1][c - 1]
  std::vector<std::pair<int32_t, int32_t>> pending_;
  std::set<std::pair<int32_t, int32_t>> formulas_;
  bool formulasAnywhere_ = false;
};

// "A1", "B2:D5", whole columns "A:C", whole rows "2:4", as the object model's Range takes them.
std::string A1Address(const host::Rect& area);
// The rectangle of an address as Range.Address gives it ("$A$1", "$A$1:$K$2001").
// Raises run-time error 1004 for anything else.
host::Rect ParseAddress(const std::string& address);

}  // namespace fenban::automation
