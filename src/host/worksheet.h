// The narrow interface through which commands reach a worksheet. The
// embedded model (ModelWorksheet) is its first implementation; a second one
// may drive a real spreadsheet application. Commands normally use Range.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/page_setup.h"
#include "host/rect.h"
#include "host/style.h"
#include "host/validation.h"
#include "host/value.h"

namespace fenban::host {

class Workbook;
class Range;

// A sort key: an absolute sheet column and an order (kAscending / kDescending).
struct SortKey {
  int32_t column = 0;  // 0 = no key
  int32_t order = kAscending;
};

class Worksheet {
 public:
  virtual ~Worksheet() = default;

  virtual const std::string& Name() const = 0;
  // Renames the sheet; an invalid or duplicate name raises error 1004.
  virtual void SetName(const std::string& name) = 0;
  virtual Workbook& Parent() = 0;
  virtual int32_t Visible() const = 0;
  virtual void SetVisible(int32_t visible) = 0;
  // Makes this the active sheet of its workbook.
  virtual void Activate() = 0;
  // Removes the sheet from its workbook; the object is gone afterwards.
  virtual void Delete() = 0;

  // Cell contents. Addresses outside the sheet raise error 1004.
  virtual const Value& CellValue(int32_t row, int32_t column) const = 0;
  virtual void SetCellValue(int32_t row, int32_t column, Value value) = 0;
  // The formula of a cell in R1C1 notation, "" when it holds none.
  virtual std::string CellFormulaR1C1(int32_t row, int32_t column) const = 0;
  // Puts the formula into every cell of the area and computes it at once.
  virtual void SetFormulaR1C1(const Rect& area, const std::string& formula) = 0;
  // A formula that the file held without its result and that could not be
  // computed when it was read (its cell reads empty), as the file has it
  // ("=SUMIF(...)"); "" for every other cell. A real application computes
  // its formulas itself.
  virtual std::string UncomputedFormula(int32_t /*row*/, int32_t /*column*/) const { return ""; }
  // True when the sheet was read with any such formula.
  virtual bool HasUncomputedFormulas() const { return false; }

  // The block of filled cells around (row, column), bounded by empty rows and columns.
  virtual Rect CurrentRegion(int32_t row, int32_t column) const = 0;
  // The last row and column that hold anything (1,1 for an empty sheet).
  virtual Rect UsedRect() const = 0;
  // The smallest rectangle that holds every value inside `area`; none when
  // the area holds no value.
  virtual std::optional<Rect> ValuesWithin(const Rect& area) const = 0;

  // Removes values, formulas and formats.
  virtual void Clear(const Rect& area) = 0;
  // Copies values, formulas and formats to dest at (row, column).
  virtual void CopyTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) = 0;
  // Copies values only (formulas become their results) to dest at (row, column).
  virtual void PasteValuesTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) = 0;
  virtual void DeleteCells(const Rect& area, int32_t shift) = 0;
  virtual void InsertCells(const Rect& area, int32_t shift) = 0;
  // Stable sort of the area's rows; header = kHeaderYes keeps its first row in place.
  // A key column outside the area raises error 1004.
  virtual void Sort(const Rect& area, SortKey key1, SortKey key2, int32_t header) = 0;
  // Replaces text in the area; lookAt kLookAtWhole or kLookAtPart. True when anything changed.
  virtual bool Replace(const Rect& area, const std::string& what, const std::string& replacement,
                       int32_t lookAt) = 0;

  // Formats.
  virtual CellStyle CellFormat(int32_t row, int32_t column) const = 0;
  // Applies a change to the format of every cell of the area (whole rows,
  // columns or sheet included, without touching every empty cell).
  virtual void Format(const Rect& area, const std::function<void(CellStyle&)>& change) = 0;
  // The object model's format setters, one per member. Each default changes
  // the cells' formats through Format, exactly as the embedded model keeps
  // them; a sheet of a real application sends each to its member instead.
  // Arguments are already checked by Range.
  virtual void SetFontSize(const Rect& area, double size);
  virtual void SetFontBold(const Rect& area, bool bold);
  virtual void SetFontColor(const Rect& area, int32_t bgr);
  // index 0 (every edge of every cell), kEdgeLeft ... kInsideHorizontal.
  virtual void SetBorderLineStyle(const Rect& area, int32_t index, int32_t lineStyle);
  virtual void SetInteriorColorIndex(const Rect& area, int32_t colorIndex);
  virtual void SetHorizontalAlignment(const Rect& area, int32_t alignment);
  virtual void SetVerticalAlignment(const Rect& area, int32_t alignment);
  virtual void SetNumberFormatLocal(const Rect& area, const std::string& format);
  // The number format every cell of the area has; nullopt when they differ.
  virtual std::optional<std::string> NumberFormatOf(const Rect& area) const;
  virtual double ColumnWidth(int32_t column) const = 0;
  virtual void SetColumnWidth(int32_t firstColumn, int32_t lastColumn, double width) = 0;
  // Fits the columns to their displayed contents.
  virtual void AutoFit(int32_t firstColumn, int32_t lastColumn) = 0;
  virtual double RowHeight(int32_t row) const = 0;
  virtual void SetRowHeight(int32_t firstRow, int32_t lastRow, double height) = 0;
  virtual void Merge(const Rect& area) = 0;
  // Splits every merged area that meets `area` back into single cells; the
  // value stays in each area's top-left cell.
  virtual void UnMerge(const Rect& area) = 0;
  virtual const std::vector<Rect>& MergedAreas() const = 0;

  // Page breaks and set-up.
  virtual void AddHPageBreak(int32_t beforeRow) = 0;
  virtual void ResetAllPageBreaks() = 0;
  virtual const std::vector<int32_t>& HPageBreaks() const = 0;
  virtual PageSetup& GetPageSetup() = 0;

  // Validation covering the cell (row, column); nullptr when none.
  virtual ValidationRule* ValidationAt(int32_t row, int32_t column) = 0;
  virtual void DeleteValidation(const Rect& area) = 0;
  virtual void AddValidation(const ValidationRule& rule) = 0;
  // Settings of the rule covering the area's first cell; error 1004 when none.
  virtual void SetValidationIgnoreBlank(const Rect& area, bool ignore);
  virtual void SetValidationInputTitle(const Rect& area, const std::string& title);
  virtual void SetValidationInputMessage(const Rect& area, const std::string& message);

  // Whole-sheet ranges for the object model's names (defined in range.cpp).
  Range Cells();
  Range Cells(int32_t row, int32_t column);
  Range GetRange(const std::string& address);  // "A1", "A1:C3"
  Range GetRange(const Range& first, const Range& last);
  Range Rows(int32_t row);
  Range Columns(int32_t column);
  Range Columns(int32_t firstColumn, int32_t lastColumn);
};

}  // namespace fenban::host
