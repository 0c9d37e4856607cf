// What the writer puts in a sheet's rows: every cell names the format it
// shows, its own or else its row's, its column's or the sheet's, as a
// spreadsheet application reads a cell without a format as plain.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "files/files_test_support.h"
#include "files/model_compare.h"
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

namespace fenban::files {
namespace {

// A sheet of rows x columns numbers, every tenth row a text.
void FillLarge(host::ModelWorksheet& sheet, int32_t rows, int32_t columns) {
  for (int32_t r = 1; r <= rows; ++r) {
    for (int32_t c = 1; c <= columns; ++c) {
      if (r % 10 == 0 && c == 2) {
        sheet.SetCellValue(r, c, "名" + std::to_string(r));
      } else {
        sheet.SetCellValue(r, c, r * 100 + c);
      }
    }
  }
}

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Two large sheets are written at once, the larger into a package of its
// own whose part then replaces its stand-in: the file reads back the same,
// with one selected sheet, whichever sheet is active.
class LargeWorkbookTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(LargeWorkbookTest, TwoLargeSheetsReadBackTheSame) {
  TempDir dir;
  host::ModelWorkbook book("large.xlsx", dir.Path());
  host::ModelWorksheet& small = book.AppendSheet("统计表1");
  small.SetCellValue(1, 1, "新班级");
  small.Merge(Rect{3, 1, 3, 4});
  // Formats made before the large sheets' ones: both packages must number them alike.
  small.Format(Rect{1, 1, 1, 1}, [](CellStyle& s) { s.fontSize = 16; });
  small.Format(Rect{2, 1, 2, 1}, [](CellStyle& s) { s.wrapText = true; });
  host::ModelWorksheet& larger = book.AppendSheet("分班表1");
  FillLarge(larger, 16000, 18);
  larger.Format(Rect{1, 3, host::kMaxRows, 30}, [](CellStyle& s) { s.horizontalAlignment = host::kAlignLeft; });
  larger.Format(Rect{2, 1, 2, 18}, [](CellStyle& s) { s.bold = true; });
  larger.Merge(Rect{1, 2, 1, 16});
  larger.AddHPageBreak(40);
  larger.GetPageSetup().SetPrintTitleRows("$1:$2");
  larger.View().splitRow = 2;
  larger.View().freezePanes = true;
  larger.AutoFilterArea() = Rect{2, 1, 16000, 18};
  host::ModelWorksheet& data = book.AppendSheet("数据表");
  FillLarge(data, 14000, 16);
  data.View().scrollRow = 30;  // a scroll position without panes, patched in afterwards
  book.SetActiveSheetIndex(GetParam());
  WriteXlsx(book, dir.File("large.xlsx"));

  auto back = ReadWorkbook(dir.File("large.xlsx"));
  EXPECT_EQ(testing::DiffText(book, *back), "");
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("large.xlsx"));
  int selected = 0;
  for (int32_t i = 1; i <= 3; ++i) {
    selected += CountOf(zip.Read("xl/worksheets/sheet" + std::to_string(i) + ".xml", uint64_t{1} << 30), "tabSelected=\"1\"");
  }
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(CountOf(zip.Read("xl/worksheets/sheet2.xml", uint64_t{1} << 30), "tabSelected=\"1\""), GetParam() == 2 ? 1 : 0);
  EXPECT_EQ(std::vector<std::string>(zip.Names()).size(), 11u);
  std::error_code ignored;
  EXPECT_FALSE(std::filesystem::exists(dir.File("large.xlsx.sheet"), ignored));
}

INSTANTIATE_TEST_SUITE_P(ActiveSheet, LargeWorkbookTest, ::testing::Values(2, 3));

}  // namespace
}  // namespace fenban::files
