// How cell contents go to and come from the application so that they end
// up as the embedded model has them. The application enters a String
// written to a cell as if it were typed ("000993" becomes 993, an 18-digit
// number loses its last three digits, "2024-9" becomes a date), sorts
// Chinese text in its own order (pinyin by default), and its used range
// counts formatted and once-used cells. So texts that could change go with
// an apostrophe in front, replacing text is worked out on the values by
// the embedded model, rows are sorted into the model's order, and a sheet
// is read as far as its contents reach.
#include "automation/dispatch_host_worksheet.h"

#include <oleauto.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>

#include "automation/dispatch_host_application.h"
#include "automation/value_array.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/typed_entry.h"

namespace fenban::automation {

namespace {

constexpr const char* kWorksheet = "Worksheet";
constexpr const char* kRange = "Range";
constexpr int32_t kLookInFormulas = -4123;
constexpr int32_t kByRows = 1;
constexpr int32_t kByColumns = 2;
constexpr int32_t kPrevious = 2;

bool BoolOf(const Variant& v) {
  const host::Value value = ToValue(v.Raw());
  return value.IsBoolean() ? value.Bool() : value.ToDouble() != 0;
}

// A value as Range.Value must carry it into a cell formatted as `textCell` says.
Variant Entered(const host::Value& value, bool textCell) {
  if (!value.IsText() || textCell || !MayBeEnteredAsOther(value.Text())) return Variant(value);
  return Variant::Text("'" + std::string(value.Text()));
}

host::Rect BoundsOf(const std::vector<std::pair<int32_t, int32_t>>& cells) {
  host::Rect box{cells[0].first, cells[0].second, cells[0].first, cells[0].second};
  for (const auto& [r, c] : cells) {
    box.row1 = std::min(box.row1, r);
    box.row2 = std::max(box.row2, r);
    box.col1 = std::min(box.col1, c);
    box.col2 = std::max(box.col2, c);
  }
  return box;
}

}  // namespace

// ---- reading ----

std::optional<std::pair<int32_t, int32_t>> DispatchWorksheet::ContentExtent() const {
  // Range.Find looks at contents: formats and cells once used do not count.
  const Dispatch cells = App().Object(sheet_, kWorksheet, L"Cells");
  const auto lastBy = [&](int32_t searchOrder, const wchar_t* coordinate) -> std::optional<int32_t> {
    Variant found = Call(cells, kRange, L"Find", {},
                         {NamedArg{L"What", Variant::Text("*")}, NamedArg{L"LookIn", Variant::Long(kLookInFormulas)},
                          NamedArg{L"LookAt", Variant::Long(host::kLookAtPart)},
                          NamedArg{L"SearchOrder", Variant::Long(searchOrder)},
                          NamedArg{L"SearchDirection", Variant::Long(kPrevious)},
                          NamedArg{L"MatchCase", Variant::Bool(false)}});
    const Dispatch cell = Dispatch::Adopt(TakeDispatch(found.Raw()));
    if (!cell) return std::nullopt;
    return ToValue(Get(cell, kRange, coordinate).Raw()).ToLong();
  };
  const std::optional<int32_t> lastRow = lastBy(kByRows, L"Row");
  if (!lastRow) return std::nullopt;
  const std::optional<int32_t> lastColumn = lastBy(kByColumns, L"Column");
  if (!lastColumn) return std::nullopt;
  return std::make_pair(*lastRow, *lastColumn);
}

void DispatchWorksheet::Load() const {
  values_.StartLoad();
  const std::optional<std::pair<int32_t, int32_t>> extent = ContentExtent();
  if (!extent) return;
  // From A1, so that a row and column of ours is one of the array's.
  const host::Rect block{1, 1, extent->first, extent->second};
  const Dispatch range = RangeOf(block);
  const Variant result = Get(range, kRange, L"Value");
  ForEachCell(result.Raw(), 1, 1, [this](int32_t r, int32_t c, const VARIANT& v) { values_.Assign(r, c, ToValue(v)); });
  // HasFormula is True, False or Null (some cells).
  const Variant hasFormula = Get(range, kRange, L"HasFormula");
  if (BaseType(hasFormula.Raw()) == VT_BOOL && !BoolOf(hasFormula)) return;
  const Variant formulas = Get(range, kRange, L"FormulaR1C1");
  ForEachCell(formulas.Raw(), 1, 1, [this](int32_t r, int32_t c, const VARIANT& v) {
    const std::string text = ToText(v);
    if (!text.empty() && text[0] == '=') values_.MarkFormulas(host::Rect{r, c, r, c});
  });
}

void DispatchWorksheet::EnsureLoaded() const {
  if (values_.Loaded()) return;
  BeforeCellCall();
  Load();
}

host::Rect DispatchWorksheet::UsedRect() const {
  EnsureLoaded();
  return values_.ValuesWithin(host::Rect{1, 1, host::kMaxRows, host::kMaxColumns}).value_or(host::Rect{1, 1, 1, 1});
}

// ---- writing ----

std::set<std::pair<int32_t, int32_t>> DispatchWorksheet::TextFormattedAmong(
    const host::Rect& area, const std::vector<std::pair<int32_t, int32_t>>& cells) const {
  std::set<std::pair<int32_t, int32_t>> found;
  if (cells.empty()) return found;
  // One format for the whole area, else one per column, each column's cells
  // halved while their formats differ (NumberFormat is Null then).
  const std::function<void(const std::vector<std::pair<int32_t, int32_t>>&)> resolve =
      [&](const std::vector<std::pair<int32_t, int32_t>>& part) {
        const std::optional<std::string> format = NumberFormatOf(BoundsOf(part));
        if (format) {
          if (host::IsTextFormat(*format)) found.insert(part.begin(), part.end());
          return;
        }
        if (part.size() == 1) return;
        const auto middle = part.begin() + static_cast<std::ptrdiff_t>(part.size() / 2);
        resolve({part.begin(), middle});
        resolve({middle, part.end()});
      };
  const host::Rect box = BoundsOf(cells);
  const std::optional<std::string> whole = NumberFormatOf(area.Rows() * area.Columns() == 1 ? area : box);
  if (whole) {
    if (host::IsTextFormat(*whole)) found.insert(cells.begin(), cells.end());
    return found;
  }
  for (int32_t c = box.col1; c <= box.col2; ++c) {
    std::vector<std::pair<int32_t, int32_t>> inColumn;
    for (const auto& cell : cells) {
      if (cell.second == c) inColumn.push_back(cell);
    }
    std::sort(inColumn.begin(), inColumn.end());
    if (!inColumn.empty()) resolve(inColumn);
  }
  return found;
}

Variant DispatchWorksheet::EnteredBlock(const host::Rect& block) const {
  std::vector<std::pair<int32_t, int32_t>> protectedCells;
  for (int32_t r = block.row1; r <= block.row2; ++r) {
    for (int32_t c = block.col1; c <= block.col2; ++c) {
      const host::Value& v = values_.Get(r, c);
      if (v.IsText() && MayBeEnteredAsOther(v.Text())) protectedCells.emplace_back(r, c);
    }
  }
  const std::set<std::pair<int32_t, int32_t>> textCells = TextFormattedAmong(block, protectedCells);
  const auto cellVariant = [&](int32_t r, int32_t c) { return Entered(values_.Get(r, c), textCells.count({r, c}) > 0); };
  if (block.row1 == block.row2 && block.col1 == block.col2) return cellVariant(block.row1, block.col1);
  // A 2-D array of Variants for Range.Value, 1-based, rows first.
  SAFEARRAY* array = NewValueArray(block.Rows(), block.Columns());
  for (int32_t r = block.row1; r <= block.row2; ++r) {
    for (int32_t c = block.col1; c <= block.col2; ++c) {
      LONG index[2] = {r - block.row1 + 1, c - block.col1 + 1};
      Variant cell = cellVariant(r, c);
      const HRESULT hr = SafeArrayPutElement(array, index, &cell.Raw());
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        RaiseComError(hr, nullptr, "Range.Value");
      }
    }
  }
  Variant v;
  v.Raw().vt = VT_ARRAY | VT_VARIANT;
  v.Raw().parray = array;
  return v;
}

bool DispatchWorksheet::FlushWrites() {
  if (!values_.HasPending()) return false;
  const std::vector<host::Rect> blocks = values_.PendingBlocks();
  values_.ClearPending();
  for (const host::Rect& block : blocks) PutOnRange(block, L"Value", EnteredBlock(block));
  regions_.clear();
  return true;
}

// ---- replacing text ----

bool DispatchWorksheet::Replace(const host::Rect& area, const std::string& what, const std::string& replacement,
                                int32_t lookAt) {
  host::CheckRect(area);
  EnsureLoaded();
  const std::optional<host::Rect> within = values_.ValuesWithin(area);
  if (!within) {
    // Nothing to replace; the model still refuses bad arguments.
    host::ModelWorkbook book("replace", "");
    return book.AppendSheet("replace").Replace(host::Rect{1, 1, 1, 1}, what, replacement, lookAt);
  }
  // The embedded model replaces on a copy of the area's constants; where a
  // cell's new value depends on its format, the cell's format is asked for.
  const auto replaced = [&](const std::set<std::pair<int32_t, int32_t>>& textCells, bool& changed) {
    host::ModelWorkbook book("replace", "");
    host::ModelWorksheet& copy = book.AppendSheet("replace");
    for (int32_t r = within->row1; r <= within->row2; ++r) {
      for (int32_t c = within->col1; c <= within->col2; ++c) {
        if (values_.FormulasWithin(host::Rect{r, c, r, c})) continue;
        const int32_t rr = r - within->row1 + 1, cc = c - within->col1 + 1;
        copy.SetCellValue(rr, cc, values_.Get(r, c));
        if (textCells.count({r, c}) > 0) copy.SetNumberFormatLocal(host::Rect{rr, cc, rr, cc}, "@");
      }
    }
    changed = copy.Replace(host::Rect{1, 1, within->Rows(), within->Columns()}, what, replacement, lookAt);
    std::vector<std::pair<std::pair<int32_t, int32_t>, host::Value>> results;
    for (int32_t r = within->row1; r <= within->row2; ++r) {
      for (int32_t c = within->col1; c <= within->col2; ++c) {
        const host::Value& after = copy.CellValue(r - within->row1 + 1, c - within->col1 + 1);
        if (!(after == values_.Get(r, c))) results.push_back({{r, c}, after});
      }
    }
    return results;
  };
  bool changed = false;
  auto results = replaced({}, changed);
  // A text that became something else stays text in a cell formatted "@".
  std::vector<std::pair<int32_t, int32_t>> typed;
  for (const auto& [cell, value] : results) {
    if (!value.IsText() && !value.IsEmpty()) typed.push_back(cell);
  }
  const std::set<std::pair<int32_t, int32_t>> textCells = TextFormattedAmong(*within, typed);
  if (!textCells.empty()) results = replaced(textCells, changed);
  for (auto& [cell, value] : results) values_.Write(cell.first, cell.second, std::move(value));
  regions_.clear();
  return changed;
}

// ---- sorting ----

void DispatchWorksheet::Sort(const host::Rect& area, host::SortKey key1, host::SortKey key2, int32_t header) {
  host::CheckRect(area);
  EnsureLoaded();
  BeforeCellCall();
  const int32_t first = area.row1 + (header == host::kHeaderYes ? 1 : 0);
  const int32_t last = std::min(area.row2, values_.RowCount());
  const bool keysInside = key1.column >= area.col1 && key1.column <= area.col2 &&
                          (key2.column == 0 || (key2.column >= area.col1 && key2.column <= area.col2));
  if (first < last && keysInside && !values_.FormulasWithin(host::Rect{first, area.col1, last, area.col2})) {
    std::vector<host::Value> keys1, keys2;
    for (int32_t r = first; r <= last; ++r) {
      keys1.push_back(values_.Get(r, key1.column));
      if (key2.column != 0) keys2.push_back(values_.Get(r, key2.column));
    }
    const std::vector<size_t> order = ModelSortOrder(keys1, key1.order, keys2, key2.order);
    bool moves = false;
    for (size_t i = 0; i < order.size(); ++i) moves = moves || order[i] != i;
    if (moves) SortInOrder(area, first, key1.column, header, order);
    return;
  }
  // Formulas would lose themselves to the keys of positions: the
  // application sorts them in its own order.
  std::vector<NamedArg> named;
  const auto key = [this, &area](int32_t column) {
    return Variant::Dispatch(RangeOf(host::Rect{area.row1, column, area.row1, column}).Get());
  };
  named.push_back(NamedArg{L"Key1", key(key1.column)});
  named.push_back(NamedArg{L"Order1", Variant::Long(key1.order)});
  if (key2.column != 0) {
    named.push_back(NamedArg{L"Key2", key(key2.column)});
    named.push_back(NamedArg{L"Order2", Variant::Long(key2.order)});
  }
  named.push_back(NamedArg{L"Header", Variant::Long(header)});
  Call(RangeOf(area), kRange, L"Sort", {}, std::move(named));
  AfterCellChange();
}

void DispatchWorksheet::SortInOrder(const host::Rect& area, int32_t firstRow, int32_t keyColumn, int32_t header,
                                    const std::vector<size_t>& order) {
  // The key column holds, for the while, each row's place as a text that
  // every application sorts alike; the rows move with their formats.
  std::vector<host::Value> saved;
  for (size_t i = 0; i < order.size(); ++i) saved.push_back(values_.Get(firstRow + static_cast<int32_t>(i), keyColumn));
  for (size_t place = 0; place < order.size(); ++place) {
    values_.Write(firstRow + static_cast<int32_t>(order[place]), keyColumn, host::Value(PositionKey(place, order.size())));
  }
  FlushWrites();
  const Dispatch keyCell = RangeOf(host::Rect{area.row1, keyColumn, area.row1, keyColumn});
  const Variant keyArg = Variant::Dispatch(keyCell.Get());
  Call(RangeOf(area), kRange, L"Sort", {},
       {NamedArg{L"Key1", keyArg}, NamedArg{L"Order1", Variant::Long(host::kAscending)},
        NamedArg{L"Header", Variant::Long(header)}, NamedArg{L"MatchCase", Variant::Bool(false)}});
  values_.PermuteRows(firstRow, area.col1, area.col2, order);
  for (size_t place = 0; place < order.size(); ++place) {
    values_.Write(firstRow + static_cast<int32_t>(place), keyColumn, saved[order[place]]);
  }
  FlushWrites();
  // Formulas elsewhere may read the rows that moved.
  App().CellsChanged(nullptr);
}

}  // namespace fenban::automation
