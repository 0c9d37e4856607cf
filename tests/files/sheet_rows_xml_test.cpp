// The rows the writer puts into sheet parts as its own text are the bytes
// libxlsxwriter's cell calls give: each workbook is written both ways and
// every part of the two packages compared (the creation time aside).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "files/files_test_support.h"
#include "files/xlsx_writer_internal.h"
#include "files/zip_archive.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::CellStyle;
using host::ModelWorkbook;
using host::ModelWorksheet;
using host::Rect;
using host::Value;
using testing::DataFile;
using testing::TempDir;

// The first part whose bytes differ between the two packages, with the
// text around the first difference; "" when all agree.
std::string FirstDifference(const std::string& ownPath, const std::string& libraryPath) {
  const ZipArchive own = ZipArchive::OpenFile(ownPath);
  const ZipArchive library = ZipArchive::OpenFile(libraryPath);
  if (own.Names() != library.Names()) return "the packages hold different parts";
  for (const std::string& name : own.Names()) {
    if (name == "docProps/core.xml") continue;  // holds the time of writing
    const std::string a = own.Read(name, uint64_t{1} << 30);
    const std::string b = library.Read(name, uint64_t{1} << 30);
    if (a == b) continue;
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const size_t from = at > 60 ? at - 60 : 0;
    return name + ": own \"" + a.substr(from, 120) + "\" library \"" + b.substr(from, 120) + "\"";
  }
  return "";
}

std::string CompareWritings(const ModelWorkbook& book, const TempDir& dir) {
  WriteXlsxFile(book, dir.File("own.xlsx"), RowWriting::Own);
  WriteXlsxFile(book, dir.File("library.xlsx"), RowWriting::Library);
  return FirstDifference(dir.File("own.xlsx"), dir.File("library.xlsx"));
}

TEST(SheetRowsXmlTest, ValuesOfEveryKindAsTheLibraryWritesThem) {
  TempDir dir;
  ModelWorkbook book("book.xlsx", dir.Path());
  ModelWorksheet& sheet = book.AppendSheet("数据表");
  const double numbers[] = {0, 85, -3, 85.5, 0.1, 1.0 / 3, -0.0, 1e-7, 1e15, 9999999999999998.0, 1e16, 1e20,
                            123456789012345678.0, -2.5e-300, 4.9e-324, std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(), std::nan("")};
  int32_t column = 1;
  for (const double number : numbers) sheet.SetCellValue(1, column++, number);
  const std::string texts[] = {"姓名", " leading", "trailing ", "\ttab", "line\n", "a<&>\"'b", "ctrl\x01\x1f\x7f",
                               "\x0b" "vertical", "cr\r", "literal _x0041_ stays", "😀"};
  column = 1;
  for (const std::string& text : texts) sheet.SetCellValue(2, column++, text);
  sheet.CellAt(2, column).value = Value(std::string(40000, 'x'));  // cut to what a cell holds
  sheet.SetCellValue(3, 1, Value::Boolean(true));
  sheet.SetCellValue(3, 2, Value::Boolean(false));
  sheet.SetCellValue(3, 3, host::ErrorValue{"#N/A"});
  sheet.SetCellValue(3, 4, host::ErrorValue{"#DIV/0!"});
  sheet.SetCellValue(3, 5, host::ErrorValue{"not an error literal"});
  sheet.CellAt(3, 6).value = Value(std::string());  // an empty text
  sheet.SetCellValue(3, 7, host::ErrorValue{""});
  sheet.SetCellValue(3, 8, host::ErrorValue{""});
  sheet.Format(Rect{3, 8, 3, 8}, [](CellStyle& s) { s.bold = true; });
  for (int32_t r = 5; r <= 8; ++r) sheet.SetCellValue(r, 1, r * 10);
  sheet.SetFormulaR1C1(Rect{5, 2, 8, 2}, "=ROUND(RC[-1]/3,1)");
  sheet.SetFormulaR1C1(Rect{9, 1, 9, 1}, "=SUM(R5C1:R[-1]C)&\"<\"");
  sheet.SetFormulaR1C1(Rect{9, 2, 9, 2}, "=IF(R5C1>0,\"a&b \",\"\")");
  sheet.SetCellValue(5000, 200, "far away");
  EXPECT_EQ(CompareWritings(book, dir), "");
}

TEST(SheetRowsXmlTest, RowsColumnsAndFormatsAsTheLibraryWritesThem) {
  TempDir dir;
  ModelWorkbook book("book.xlsx", dir.Path());
  ModelWorksheet& first = book.AppendSheet("格式");
  first.Format(Rect{1, 1, host::kMaxRows, host::kMaxColumns}, [](CellStyle& s) { s.fontSize = 9; });
  first.Format(Rect{1, 3, host::kMaxRows, 3}, [](CellStyle& s) { s.bold = true; });
  first.Format(Rect{2, 1, 2, host::kMaxColumns}, [](CellStyle& s) { s.fillColorIndex = 6; });
  first.Format(Rect{4, 2, 6, 4}, [](CellStyle& s) { s.borders = {1, 1, 1, 1}; });  // formatted empty cells
  first.SetCellValue(1, 1, "a");
  first.SetCellValue(2, 3, "row and column");
  first.SetCellValue(4, 5, 7);
  first.SetRowHeight(1, 1, 30);
  first.SetRowHeight(3, 3, 22.25);
  first.SetRowHeight(7, 7, 0);  // hidden
  first.SetRowHeight(8, 8, 15);
  first.SetRowHeight(9, 9, 12.3456789);
  first.Merge(Rect{10, 1, 11, 3});
  first.SetCellValue(10, 1, "merged");
  ModelWorksheet& second = book.AppendSheet("Second");
  second.DefaultRowHeight() = 18;
  second.SetRowHeight(2, 2, 15);
  second.SetCellValue(1, 2, "default height 18");
  second.Format(Rect{3, 1, 3, 1}, [](CellStyle& s) { s.fontColor = 255; });
  second.SetCellValue(3, 1, 1.5);
  book.AppendSheet("Empty");
  EXPECT_EQ(CompareWritings(book, dir), "");
}

// Workbooks made by other programs, read and written again; the largest
// sheet of a large one is written on a second thread into a package of its
// own, both ways.
TEST(SheetRowsXmlTest, WorkbooksFromOtherProgramsAndLargeOnes) {
  for (const char* name : {"handmade.xlsx", "openpyxl_styled.xlsx", "openpyxl_formulas.xlsx",
                           "libreoffice_resaved.xlsx", "shared_formulas.xlsx", "filtered.xlsx"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const auto book = ReadWorkbook(DataFile(name));
    EXPECT_EQ(CompareWritings(*book, dir), "");
  }
  TempDir dir;
  ModelWorkbook book("large.xlsx", dir.Path());
  for (const char* name : {"数据表", "分班表1"}) {
    ModelWorksheet& sheet = book.AppendSheet(name);
    for (int32_t r = 1; r <= 3000; ++r) {
      sheet.SetCellValue(r, 1, "学生" + std::to_string(r));
      for (int32_t c = 2; c <= 9; ++c) sheet.SetCellValue(r, c, (r * 37 + c * 11) % 150 + (c % 2) * 0.5);
    }
  }
  book.ModelSheetAt(2).Format(Rect{1, 1, 3000, 9}, [](CellStyle& s) { s.borders = {1, 1, 1, 1}; });
  EXPECT_EQ(CompareWritings(book, dir), "");
}

}  // namespace
}  // namespace fenban::files
