// A worksheet of the application reached by automation. Cell values come
// from one Range.Value read of the sheet and go back as Range.Value arrays
// of the written blocks, before anything else is asked of the application;
// most other operations are one member call on a Range (or the sheet).
// Where the application's own rules differ from the embedded model's, the
// model's are kept (dispatch_host_entry.cpp): a text is written so that it
// is not entered as a number or date, replacing text is done here on the
// values and sent back, sorting puts the rows in the model's order, and the
// sheet's extent is that of its contents, not of its used range.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "automation/dispatch_call.h"
#include "automation/dispatch_host_cache.h"
#include "host/worksheet.h"

namespace fenban::automation {

class DispatchApplication;
class DispatchWorkbook;

class DispatchWorksheet final : public host::Worksheet {
 public:
  DispatchWorksheet(DispatchWorkbook& book, Dispatch sheet);
  ~DispatchWorksheet() override;

  const std::string& Name() const override { return name_; }
  void SetName(const std::string& name) override;
  host::Workbook& Parent() override;
  int32_t Visible() const override;
  void SetVisible(int32_t visible) override;
  void Activate() override;
  void Delete() override;
  const host::Value& CellValue(int32_t row, int32_t column) const override;
  void SetCellValue(int32_t row, int32_t column, host::Value value) override;
  std::string CellFormulaR1C1(int32_t row, int32_t column) const override;
  void SetFormulaR1C1(const host::Rect& area, const std::string& formula) override;
  host::Rect CurrentRegion(int32_t row, int32_t column) const override;
  host::Rect UsedRect() const override;
  std::optional<host::Rect> ValuesWithin(const host::Rect& area) const override;
  void Clear(const host::Rect& area) override;
  void CopyTo(const host::Rect& area, host::Worksheet& dest, int32_t row, int32_t column) override;
  void PasteValuesTo(const host::Rect& area, host::Worksheet& dest, int32_t row, int32_t column) override;
  void DeleteCells(const host::Rect& area, int32_t shift) override;
  void InsertCells(const host::Rect& area, int32_t shift) override;
  void Sort(const host::Rect& area, host::SortKey key1, host::SortKey key2, int32_t header) override;
  bool Replace(const host::Rect& area, const std::string& what, const std::string& replacement,
               int32_t lookAt) override;
  host::CellStyle CellFormat(int32_t row, int32_t column) const override;
  void Format(const host::Rect& area, const std::function<void(host::CellStyle&)>& change) override;
  void SetFontSize(const host::Rect& area, double size) override;
  void SetFontBold(const host::Rect& area, bool bold) override;
  void SetFontColor(const host::Rect& area, int32_t bgr) override;
  void SetBorderLineStyle(const host::Rect& area, int32_t index, int32_t lineStyle) override;
  void SetInteriorColorIndex(const host::Rect& area, int32_t colorIndex) override;
  void SetHorizontalAlignment(const host::Rect& area, int32_t alignment) override;
  void SetVerticalAlignment(const host::Rect& area, int32_t alignment) override;
  void SetNumberFormatLocal(const host::Rect& area, const std::string& format) override;
  std::optional<std::string> NumberFormatOf(const host::Rect& area) const override;
  double ColumnWidth(int32_t column) const override;
  void SetColumnWidth(int32_t firstColumn, int32_t lastColumn, double width) override;
  void AutoFit(int32_t firstColumn, int32_t lastColumn) override;
  double RowHeight(int32_t row) const override;
  void SetRowHeight(int32_t firstRow, int32_t lastRow, double height) override;
  void Merge(const host::Rect& area) override;
  void UnMerge(const host::Rect& area) override;
  const std::vector<host::Rect>& MergedAreas() const override;
  void AddHPageBreak(int32_t beforeRow) override;
  void ResetAllPageBreaks() override;
  const std::vector<int32_t>& HPageBreaks() const override;
  host::PageSetup& GetPageSetup() override;
  host::ValidationRule* ValidationAt(int32_t row, int32_t column) override;
  void DeleteValidation(const host::Rect& area) override;
  void AddValidation(const host::ValidationRule& rule) override;
  void SetValidationIgnoreBlank(const host::Rect& area, bool ignore) override;
  void SetValidationInputTitle(const host::Rect& area, const std::string& title) override;
  void SetValidationInputMessage(const host::Rect& area, const std::string& message) override;

  const Dispatch& Object() const { return sheet_; }
  // Sends the pending writes as Range.Value arrays; true when there were any.
  bool FlushWrites();
  // Forgets the values, regions and used area read so far.
  void Forget();
  bool HoldsFormulas() const { return values_.HoldsFormulas(); }

 private:
  class SheetPageSetup;
  DispatchApplication& App() const;
  // The Range object of an area (the last one is kept until cells shift).
  Dispatch RangeOf(const host::Rect& area) const;
  Variant Get(const Dispatch& object, const char* kind, const wchar_t* name, std::vector<Variant> args = {}) const;
  void Put(const Dispatch& object, const char* kind, const wchar_t* name, Variant value) const;
  Variant Call(const Dispatch& object, const char* kind, const wchar_t* name, std::vector<Variant> args = {},
               std::vector<NamedArg> named = {}) const;
  void PutOnRange(const host::Rect& area, const wchar_t* name, Variant value);
  void PutOnPart(const host::Rect& area, const wchar_t* part, const char* partKind, const wchar_t* name,
                 Variant value);
  // Reads the sheet's values (and which cells hold formulas) in one block.
  void Load() const;
  // Loads the values unless they are known.
  void EnsureLoaded() const;
  // The last row and column holding a value or formula; none on an empty sheet.
  std::optional<std::pair<int32_t, int32_t>> ContentExtent() const;
  // Which of `cells` (all inside `area`) are formatted "@", with as few
  // NumberFormat reads as the formats allow.
  std::set<std::pair<int32_t, int32_t>> TextFormattedAmong(const host::Rect& area,
                                                           const std::vector<std::pair<int32_t, int32_t>>& cells) const;
  // The Range.Value of a block of the cache, each text as the cell must keep it.
  Variant EnteredBlock(const host::Rect& block) const;
  // Sorts with the application's Range.Sort on keys of positions, so that
  // the rows come in `order` whatever the application's own order.
  void SortInOrder(const host::Rect& area, int32_t firstRow, int32_t keyColumn, int32_t header,
                   const std::vector<size_t>& order);
  // Before a call that reads or changes cells in the application.
  void BeforeCellCall() const;
  // After a call that changed this sheet's cells in the application.
  void AfterCellChange();

  DispatchWorkbook* book_;
  Dispatch sheet_;
  std::string name_;
  mutable SheetValueCache values_;
  mutable std::map<std::pair<int32_t, int32_t>, host::Rect> regions_;
  mutable host::Rect lastRangeArea_;
  mutable Dispatch lastRange_;
  mutable std::vector<int32_t> pageBreaks_;
  std::unique_ptr<SheetPageSetup> pageSetup_;
};

}  // namespace fenban::automation
