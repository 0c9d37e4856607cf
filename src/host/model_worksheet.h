// The embedded model's worksheet: cells in rows, formats, merges, page
// set-up, page breaks, validation and view. The file layer reads and fills
// the storage directly through the data accessors at the end.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/page_setup.h"
#include "host/shared_text.h"
#include "host/worksheet.h"

namespace fenban::host {

class ModelWorkbook;
class StylePool;

struct Cell {
  Value value;
  uint32_t style = 0;    // StylePool index; 0 = inherit row/column/sheet format
  uint32_t formula = 0;  // index in the sheet's formula table; 0 = no formula
};

// Rows keep their cells side by side; sorts and scans read them row after row.
static_assert(sizeof(Cell) == 24, "a cell is its value, its format index and its formula index");

struct RowData {
  std::vector<Cell> cells;  // cells[c - 1]; may be shorter than the sheet's width
  double height = -1;       // points; -1 = default
  uint32_t style = 0;       // row format; 0 = none
  bool heightFitted = false;  // the height was fitted to entered lines, not set
};

struct ColumnData {
  double width = -1;  // characters; -1 = default
  uint32_t style = 0;
};

class ModelWorksheet final : public Worksheet {
 public:
  ModelWorksheet(ModelWorkbook& book, std::string name);
  // A copy of the sheet (cells, formats, layout) belonging to `book`.
  std::unique_ptr<ModelWorksheet> CloneFor(ModelWorkbook& book) const;

  // Worksheet
  const std::string& Name() const override { return name_; }
  void SetName(const std::string& name) override;
  Workbook& Parent() override;
  int32_t Visible() const override { return visible_; }
  void SetVisible(int32_t visible) override;
  void Activate() override;
  void Delete() override;
  const Value& CellValue(int32_t row, int32_t column) const override;
  void SetCellValue(int32_t row, int32_t column, Value value) override;
  std::string CellFormulaR1C1(int32_t row, int32_t column) const override;
  void SetFormulaR1C1(const Rect& area, const std::string& formula) override;
  std::string UncomputedFormula(int32_t row, int32_t column) const override;
  bool HasUncomputedFormulas() const override { return !uncomputed_.empty(); }
  Rect CurrentRegion(int32_t row, int32_t column) const override;
  Rect UsedRect() const override;
  std::optional<Rect> ValuesWithin(const Rect& area) const override;
  void Clear(const Rect& area) override;
  void CopyTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) override;
  void PasteValuesTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) override;
  void DeleteCells(const Rect& area, int32_t shift) override;
  void InsertCells(const Rect& area, int32_t shift) override;
  void Sort(const Rect& area, SortKey key1, SortKey key2, int32_t header) override;
  bool Replace(const Rect& area, const std::string& what, const std::string& replacement,
               int32_t lookAt) override;
  CellStyle CellFormat(int32_t row, int32_t column) const override;
  void Format(const Rect& area, const std::function<void(CellStyle&)>& change) override;
  double ColumnWidth(int32_t column) const override;
  void SetColumnWidth(int32_t firstColumn, int32_t lastColumn, double width) override;
  void AutoFit(int32_t firstColumn, int32_t lastColumn) override;
  double RowHeight(int32_t row) const override;
  void SetRowHeight(int32_t firstRow, int32_t lastRow, double height) override;
  void Merge(const Rect& area) override;
  void UnMerge(const Rect& area) override;
  const std::vector<Rect>& MergedAreas() const override { return merges_; }
  void AddHPageBreak(int32_t beforeRow) override;
  void ResetAllPageBreaks() override { pageBreaks_.clear(); }
  const std::vector<int32_t>& HPageBreaks() const override { return pageBreaks_; }
  PageSetup& GetPageSetup() override;
  ValidationRule* ValidationAt(int32_t row, int32_t column) override;
  void DeleteValidation(const Rect& area) override;
  void AddValidation(const ValidationRule& rule) override;

  // Data accessors for the file layer and tests.
  ModelWorkbook& Book() { return *book_; }
  // rows_[r - 1]; the writable form counts as a change of cell contents.
  std::vector<RowData>& RowsData() {
    ContentChanged();
    return rows_;
  }
  const std::vector<RowData>& RowsData() const { return rows_; }
  std::vector<ColumnData>& ColumnsData() { return columns_; }        // columns_[c - 1]
  const std::vector<ColumnData>& ColumnsData() const { return columns_; }
  uint32_t& SheetStyle() { return sheetStyle_; }                     // whole-sheet format, 0 = none
  std::vector<Rect>& Merges() { return merges_; }
  std::vector<int32_t>& PageBreaks() { return pageBreaks_; }         // rows that start a new page, ascending
  PageSetupData& PageSetupValues() { return pageSetup_; }
  const PageSetupData& PageSetupValues() const { return pageSetup_; }
  std::vector<ValidationRule>& Validations() { return validations_; }
  // The formulas the reader could not compute, by (row, column), as the file
  // wrote them. They describe the cells as read; a cell that has been given
  // a value or a formula since no longer counts.
  std::map<std::pair<int32_t, int32_t>, std::string>& UncomputedFormulas() { return uncomputed_; }
  // The auto filter's range (header row included) and the print area; none
  // when the sheet has no such thing. Deleting or inserting entire rows or
  // columns moves them; clearing the whole sheet drops them.
  std::optional<Rect>& AutoFilterArea() { return autoFilter_; }
  const std::optional<Rect>& AutoFilterArea() const { return autoFilter_; }
  std::optional<Rect>& PrintArea() { return printArea_; }
  const std::optional<Rect>& PrintArea() const { return printArea_; }
  SheetView& View() { return view_; }
  const SheetView& View() const { return view_; }
  double& DefaultRowHeight() { return defaultRowHeight_; }
  double& DefaultColumnWidth() { return defaultColumnWidth_; }
  // The effective format of a cell (cell, else row, else column, else sheet).
  uint32_t EffectiveStyleIndex(int32_t row, int32_t column) const;
  // The same for a cell already found (nullptr when the cell is not stored).
  uint32_t EffectiveStyleIndex(const Cell* cell, int32_t row, int32_t column) const;
  // Mutable cell, created when missing.
  Cell& CellAt(int32_t row, int32_t column);
  // Cell or nullptr.
  const Cell* FindCell(int32_t row, int32_t column) const;
  // Room for the cells of `row` up to `lastColumn`, taken at once so that
  // filling the row cell by cell does not grow it step by step.
  void ReserveRow(int32_t row, int32_t lastColumn);
  // Records that cell values or formulas may have changed, which ends the
  // remembered current region.
  void ContentChanged() { ++contentVersion_; }
  // The R1C1 text of formula `index` of this sheet; none for index 0.
  const SharedText& Formula(uint32_t index) const { return formulas_[index]; }
  // Enters a formula text in the sheet's table and gives its index, for as
  // many cells as are to share it.
  uint32_t AddFormula(SharedText text);
  // Drops the table's entries no cell uses once it has grown to twice what
  // was in use, renumbering the cells' indices. SetFormulaR1C1 and CopyTo
  // call it before they take any index, so the table stays within twice the
  // formulas in use plus what one call adds.
  void TrimFormulas();
  // How many entries the formula table holds, index 0 included.
  size_t FormulaTableSize() const { return formulas_.size(); }

 private:
  class ModelPageSetup;
  // A text with line feeds entered into a cell turns wrapping on there and
  // fits the row's height, unless the height was set.
  void WrapEnteredLines(int32_t row, int32_t column);
  // Fits a row whose height was fitted (not set) to the lines of its wrapped
  // texts at the present column widths.
  void FitRowHeight(int32_t row);
  // Fits every fitted row again, after column widths changed.
  void RefitRowHeights();
  static void CheckReplaceArguments(const std::string& what, int32_t lookAt);
  // True when the column band of `area` starts at column 1 and holds every
  // stored cell of the rows from area.row1 down, so rows can move whole.
  bool HoldsEveryCellFrom(const Rect& area) const;
  // True when a sort of `area` with a header row leaves the remembered
  // current region as it is: the area is that region, it was found from a
  // cell of the header row, and the header row fills every column of the
  // area. Every row of a current region holds a value within its columns, so
  // after the rows below the header are reordered the same rows and columns
  // are reached again, and the border around the area is not touched.
  bool SortKeepsRegion(const Rect& area, int32_t header) const;
  // Drops the formula table's entries no cell uses and renumbers the rest.
  void CompactFormulas();
  uint32_t ChangedStyle(uint32_t index, const std::function<void(CellStyle&)>& change,
                        std::unordered_map<uint32_t, uint32_t>& cache);
  ModelWorkbook* book_;
  std::string name_;
  int32_t visible_ = kSheetVisible;
  std::vector<RowData> rows_;
  std::vector<ColumnData> columns_;
  uint32_t sheetStyle_ = 0;
  std::vector<Rect> merges_;
  std::vector<int32_t> pageBreaks_;
  PageSetupData pageSetup_;
  std::unique_ptr<PageSetup> pageSetupObject_;
  std::vector<ValidationRule> validations_;
  std::map<std::pair<int32_t, int32_t>, std::string> uncomputed_;
  // Formula texts by index; entry 0 is none. Cells filled with one formula
  // share one entry.
  std::vector<SharedText> formulas_{SharedText()};
  static constexpr size_t kMinFormulaTable = 1024;
  size_t compactFormulasAt_ = kMinFormulaTable;
  std::optional<Rect> autoFilter_;
  std::optional<Rect> printArea_;
  SheetView view_;
  double defaultRowHeight_ = 15;
  double defaultColumnWidth_ = 8.43;
  // The last current region found, from which cell, and at which version of
  // the cell contents; a call from the same cell at the same version gives it
  // back without walking the rows again.
  struct RegionMemo {
    uint64_t version = 0;
    int32_t row = 0;
    int32_t column = 0;
    Rect region;
  };
  uint64_t contentVersion_ = 1;
  mutable RegionMemo regionMemo_;
};

}  // namespace fenban::host
