// What the writer puts in a sheet's rows: every cell names the format it
// shows, its own or else its row's, its column's or the sheet's, as a
// spreadsheet application reads a cell without a format as plain.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "files/files_test_support.h"
#include "files/zip_archive.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::CellStyle;
using host::Rect;
using testing::TempDir;

// The s attribute of cell `ref` in the sheet part, "" when it has none.
std::string StyleAttribute(const std::string& xml, const std::string& ref) {
  const std::regex cell("<c r=\"" + ref + "\"([^>]*)>");
  std::smatch match;
  if (!std::regex_search(xml, match, cell)) return "missing";
  const std::string attributes = match[1].str();
  const std::regex style(" s=\"([0-9]+)\"");
  std::smatch found;
  return std::regex_search(attributes, found, style) ? found[1].str() : "";
}

TEST(WriterRowsTest, CellsWithoutTheirOwnFormatNameTheFormatTheyShow) {
  TempDir dir;
  host::ModelWorkbook book("rows.xlsx", dir.Path());
  host::ModelWorksheet& sheet = book.AppendSheet("Sheet1");
  // A format for every column from C on, as a whole-sheet alignment gives,
  // one for column B and one for row 3.
  sheet.Format(Rect{1, 3, host::kMaxRows, host::kMaxColumns}, [](CellStyle& s) { s.horizontalAlignment = host::kAlignLeft; });
  sheet.Format(Rect{1, 2, host::kMaxRows, 2}, [](CellStyle& s) { s.bold = true; });
  sheet.Format(Rect{3, 1, 3, host::kMaxColumns}, [](CellStyle& s) { s.fontSize = 14; });
  sheet.SetCellValue(1, 1, "plain");
  sheet.SetCellValue(1, 2, "bold column");
  sheet.SetCellValue(1, 20, "left column");
  sheet.SetCellValue(3, 1, 42);
  WriteXlsx(book, dir.File("rows.xlsx"));

  const ZipArchive zip = ZipArchive::OpenFile(dir.File("rows.xlsx"));
  const std::string xml = zip.Read("xl/worksheets/sheet1.xml", uint64_t{1} << 20);
  EXPECT_EQ(StyleAttribute(xml, "A1"), "");
  EXPECT_NE(StyleAttribute(xml, "B1"), "");
  EXPECT_NE(StyleAttribute(xml, "T1"), "");
  EXPECT_NE(StyleAttribute(xml, "A3"), "");
  EXPECT_NE(StyleAttribute(xml, "B1"), StyleAttribute(xml, "T1"));
}

}  // namespace
}  // namespace fenban::files
