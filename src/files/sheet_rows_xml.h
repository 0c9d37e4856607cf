// The <row> and <c> elements of a sheet part, written as text straight
// into the file libxlsxwriter copies between <sheetData> and </sheetData>
// in its constant-memory mode. The text is the library's own, byte for
// byte (its attribute order, number format and escapes), so a workbook
// reads the same whichever of the two wrote its rows; what is saved is the
// library's formatted printing of every number and attribute.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace fenban::files {

// The cells' bounding rows and columns (0-based), kept the way the library
// keeps them: a cell widens both, a row with a height or format widens the
// rows and takes the first column seen so far (or column A).
struct SheetDimension {
  static constexpr uint32_t kNoRow = 1048576;
  static constexpr uint32_t kNoColumn = 16384;
  uint32_t rowMin = kNoRow, rowMax = 0;
  uint32_t columnMin = kNoColumn, columnMax = 0;
  void AddCell(uint32_t row, uint32_t column);
  void AddRow(uint32_t row);
};

class SheetRowsXml {
 public:
  // Text goes to `file` (the library's row file) in large blocks;
  // `dimension` is the sheet's as the library holds it before the rows.
  SheetRowsXml(std::FILE* file, const SheetDimension& dimension);
  ~SheetRowsXml();
  SheetRowsXml(const SheetRowsXml&) = delete;
  SheetRowsXml& operator=(const SheetRowsXml&) = delete;

  // Starts row `row` (0-based); the row before is closed first.
  void StartRow(uint32_t row);
  // The sheet's default row height, as worksheet_set_default_row sets it:
  // the library gives it to the first row it writes (the row it holds at
  // the time) and the plain 15 points to those after.
  void SetDefaultHeight(double height);
  // The row's own height (points), format (its index in the styles part,
  // -1 = none) and hidden flag, as the library's worksheet_set_row_opt
  // records them.
  void SetRowFormat(double height, int32_t xf, bool hidden);
  // Cells of the current row, left to right; `xf` is the format's index
  // in the styles part (0 = none).
  void Number(uint32_t column, int32_t xf, double number);
  void Text(uint32_t column, int32_t xf, std::string_view text);
  void Boolean(uint32_t column, int32_t xf, bool value);
  void Blank(uint32_t column, int32_t xf);
  // `formula` without its leading "=".
  void FormulaNumber(uint32_t column, int32_t xf, std::string_view formula, double result);
  void FormulaText(uint32_t column, int32_t xf, std::string_view formula, std::string_view result);
  // Closes the last row and writes what is left. Throws FormatError when
  // the file cannot be written.
  void Finish();
  const SheetDimension& Dimension() const { return dimension_; }

 private:
  void OpenCell(uint32_t column, int32_t xf);
  void RowTag(bool empty);
  void CloseRow();
  void Escaped(std::string_view text);
  void EscapedCharacter(char c);
  void PutNumber(double number);
  void PutUnsigned(uint64_t value);
  void FlushIfFull();
  void Flush();

  std::FILE* file_;
  std::string out_;
  SheetDimension dimension_;
  std::vector<std::string> columnNames_;  // "A", "B", ... as far as used
  std::string rowNumber_;                 // the current row's number, 1-based
  uint32_t row_ = 0;
  bool inRow_ = false, rowFormatted_ = false, rowOpen_ = false;
  double height_ = 15;
  double nextHeight_ = 15;  // the height of the next row written without one
  int32_t rowXf_ = -1;
  bool hidden_ = false;
};

}  // namespace fenban::files
