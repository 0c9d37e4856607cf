// Range: a sheet and a rectangle, a cheap value. Every operation goes to the
// sheet through the Worksheet interface. Member names follow the object model.
#pragma once

#include <cstdint>
#include <string>

#include "host/rect.h"
#include "host/value.h"
#include "host/worksheet.h"

namespace fenban::host {

class Range;

// Font of a range: setters apply to every cell.
class Font {
 public:
  explicit Font(const Range& range) : range_(range) {}
  void SetSize(double size) const;
  void SetBold(bool bold) const;
  void SetColor(int32_t bgr) const;  // 255 = red
 private:
  const Range& range_;
};

// Borders of a range: index 0 = every edge of every cell, or one of
// kEdgeLeft/Top/Bottom/Right (the outer edge of the range), kInsideVertical,
// kInsideHorizontal.
class Borders {
 public:
  Borders(const Range& range, int32_t index) : range_(range), index_(index) {}
  void SetLineStyle(int32_t lineStyle) const;  // kLineContinuous, kLineDouble, kLineNone
 private:
  const Range& range_;
  int32_t index_;
};

class Interior {
 public:
  explicit Interior(const Range& range) : range_(range) {}
  void SetColorIndex(int32_t colorIndex) const;
 private:
  const Range& range_;
};

// Validation of a range (acts on the rule covering its first cell).
class Validation {
 public:
  explicit Validation(const Range& range) : range_(range) {}
  void Delete() const;
  void Add(int32_t type, int32_t alertStyle, int32_t op, const std::string& formula1) const;
  // Raise error 1004 when the range has no validation.
  void SetIgnoreBlank(bool ignore) const;
  void SetInputTitle(const std::string& title) const;
  void SetInputMessage(const std::string& message) const;
 private:
  const Range& range_;
};

class Range {
 public:
  Range(Worksheet& sheet, const Rect& area);  // checks the rectangle (error 1004)

  Worksheet& Sheet() const { return *sheet_; }
  const Rect& Area() const { return area_; }
  int32_t Row() const { return area_.row1; }
  int32_t Column() const { return area_.col1; }
  int32_t RowsCount() const { return area_.Rows(); }
  int32_t ColumnsCount() const { return area_.Columns(); }

  // Relative addressing, as the object model: Cells(1, 1) is the first cell.
  Range Cells(int32_t row, int32_t column) const;
  Range Rows(int32_t row) const;
  Range Columns(int32_t column) const;
  Range EntireRow() const;
  Range EntireColumn() const;
  Range CurrentRegion() const;

  // Value of the first cell; SetValue writes every cell of the range.
  const Value& GetValue() const;
  void SetValue(const Value& value) const;
  std::string FormulaR1C1() const;
  void SetFormulaR1C1(const std::string& formula) const;

  void Clear() const;
  // Copy to the clipboard, or with a destination (values, formulas, formats).
  void Copy() const;
  void Copy(const Range& destination) const;
  // Pastes the clipboard at this range's first cell; kPasteValues only.
  void PasteSpecial(int32_t paste) const;
  void Delete(int32_t shift) const;
  void Insert(int32_t shift) const;
  // Keys are cells (their column is the key); header kHeaderYes keeps row 1 of the range.
  void Sort(const Range& key1, int32_t order1, int32_t header) const;
  void Sort(const Range& key1, int32_t order1, const Range& key2, int32_t order2, int32_t header) const;
  bool Replace(const std::string& what, const std::string& replacement, int32_t lookAt) const;

  void AutoFit() const;  // of the range's columns
  double ColumnWidth() const;
  void SetColumnWidth(double width) const;
  double RowHeight() const;
  void SetRowHeight(double height) const;
  void Merge() const;
  void SetHorizontalAlignment(int32_t alignment) const;
  void SetVerticalAlignment(int32_t alignment) const;
  void SetNumberFormatLocal(const std::string& format) const;
  Font GetFont() const { return Font(*this); }
  Borders GetBorders(int32_t index = 0) const { return Borders(*this, index); }
  Interior GetInterior() const { return Interior(*this); }
  Validation GetValidation() const { return Validation(*this); }

 private:
  Worksheet* sheet_;
  Rect area_;
};

}  // namespace fenban::host
