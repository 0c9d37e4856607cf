// Reading a file we wrote gives back the same model: one test per kind of
// content, and one workbook with everything at once.
#include <gtest/gtest.h>

#include <cmath>

#include "files/files_test_support.h"
#include "files/model_compare.h"
#include "files/xlsx_conversions.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::CellStyle;
using host::ModelWorkbook;
using host::ModelWorksheet;
using host::Rect;
using host::Value;
using testing::DiffText;
using testing::RoundTrip;
using testing::TempDir;

class RoundTripTest : public ::testing::Test {
 protected:
  RoundTripTest() : book("book.xlsx", dir.Path()) {}

  // Writes, reads back, and checks the two models agree.
  std::unique_ptr<ModelWorkbook> Check() {
    auto back = RoundTrip(book, dir);
    EXPECT_EQ(DiffText(book, *back), "");
    return back;
  }

  TempDir dir;
  ModelWorkbook book;
};

TEST_F(RoundTripTest, ValuesOfEveryKind) {
  ModelWorksheet& sheet = book.AppendSheet("数据表");
  sheet.SetCellValue(1, 1, "姓名");
  sheet.SetCellValue(1, 2, 85);
  sheet.SetCellValue(1, 3, 85.5);
  sheet.SetCellValue(1, 4, -0.1);
  sheet.SetCellValue(1, 5, 1e-300);
  sheet.SetCellValue(1, 6, 123456789012345.0);
  sheet.SetCellValue(2, 1, Value::Boolean(true));
  sheet.SetCellValue(2, 2, Value::Boolean(false));
  sheet.SetCellValue(2, 3, host::ErrorValue{"#N/A"});
  sheet.SetCellValue(2, 4, host::ErrorValue{"#DIV/0!"});
  sheet.CellAt(2, 5).value = Value(std::string());  // empty text, not an empty cell
  sheet.SetCellValue(2, 6, " 前后空格 ");
  sheet.SetCellValue(3, 1, "two\nlines");
  sheet.SetCellValue(3, 2, "literal _x0041_ stays");
  sheet.SetCellValue(3, 3, "<&>\"'");
  sheet.SetCellValue(3, 4, "😀 outside the basic plane");
  sheet.SetCellValue(3, 5, 256.0 / 3.0);
  sheet.SetCellValue(5000, 200, "far away");
  auto back = Check();
  ModelWorksheet& read = back->ModelSheetAt(1);
  EXPECT_TRUE(read.CellValue(2, 5).IsText());
  EXPECT_TRUE(read.CellValue(2, 3).IsError());
  EXPECT_EQ(read.CellValue(3, 2).Text(), "literal _x0041_ stays");
  EXPECT_TRUE(read.CellValue(4, 1).IsEmpty());
  EXPECT_EQ(read.CellValue(5000, 200).Text(), "far away");
}

TEST_F(RoundTripTest, FormulasKeepTheirComputedValues) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  for (int32_t r = 1; r <= 4; ++r) sheet.SetCellValue(r, 1, r * 10);
  sheet.SetFormulaR1C1(Rect{1, 2, 4, 2}, "=ROUND(RC[-1]/3,1)");
  sheet.SetFormulaR1C1(Rect{5, 1, 5, 1}, "=SUM(R1C1:R[-1]C)");
  sheet.SetFormulaR1C1(Rect{6, 1, 6, 1}, "=MAX(R1C1:R4C1)-MIN(R1C1:R4C1)");
  ASSERT_TRUE(sheet.CellValue(5, 1).IsNumber());
  auto back = Check();
  EXPECT_EQ(back->ModelSheetAt(1).CellValue(5, 1), Value(100));
  EXPECT_EQ(back->ModelSheetAt(1).CellValue(2, 2), Value(6.7));
  EXPECT_EQ(back->ModelSheetAt(1).CellValue(6, 1), Value(30));
}

TEST_F(RoundTripTest, CellFormats) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  sheet.SetCellValue(1, 1, "bold 14 red");
  sheet.Format(Rect{1, 1, 1, 1}, [](CellStyle& s) {
    s.bold = true;
    s.fontSize = 14;
    s.fontColor = 255;
  });
  sheet.SetCellValue(2, 1, 1.25);
  sheet.Format(Rect{2, 1, 2, 1}, [](CellStyle& s) {
    s.fillColorIndex = 35;
    s.numberFormat = "0.0";
    s.horizontalAlignment = host::kAlignCenter;
    s.verticalAlignment = host::kAlignCenter;
  });
  sheet.Format(Rect{3, 1, 4, 3}, [](CellStyle& s) {
    s.borders = {host::kLineContinuous, host::kLineContinuous, host::kLineContinuous, host::kLineContinuous};
  });
  sheet.Format(Rect{3, 2, 4, 2}, [](CellStyle& s) { s.borders[host::kSideRight] = host::kLineDouble; });
  sheet.SetCellValue(5, 1, "wrapped text, left, top, black font");
  sheet.Format(Rect{5, 1, 5, 1}, [](CellStyle& s) {
    s.wrapText = true;
    s.horizontalAlignment = host::kAlignLeft;
    s.verticalAlignment = host::kAlignTop;
    s.fontColor = 0;
    s.fontSize = 10.5;
  });
  sheet.Format(Rect{6, 1, 6, 1}, [](CellStyle& s) { s.horizontalAlignment = host::kAlignRight; });
  sheet.SetCellValue(7, 1, 0.5);
  sheet.Format(Rect{7, 1, 7, 1}, [](CellStyle& s) { s.numberFormat = "0.00%"; });
  auto back = Check();
  const CellStyle red = back->ModelSheetAt(1).CellFormat(1, 1);
  EXPECT_TRUE(red.bold);
  EXPECT_EQ(red.fontSize, 14);
  EXPECT_EQ(red.fontColor, 255);
  EXPECT_EQ(back->ModelSheetAt(1).CellFormat(2, 1).fillColorIndex, 35);
  EXPECT_EQ(back->ModelSheetAt(1).CellFormat(3, 2).borders[host::kSideRight], host::kLineDouble);
  EXPECT_EQ(back->ModelSheetAt(1).CellFormat(5, 1).fontColor, 0);
}

TEST_F(RoundTripTest, RowColumnAndSheetFormats) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  sheet.Format(Rect{1, 1, host::kMaxRows, host::kMaxColumns}, [](CellStyle& s) { s.fontSize = 9; });
  sheet.Format(Rect{1, 3, host::kMaxRows, 3}, [](CellStyle& s) { s.bold = true; });
  sheet.Format(Rect{2, 1, 2, host::kMaxColumns}, [](CellStyle& s) { s.fillColorIndex = 6; });
  sheet.SetCellValue(1, 1, "a");
  sheet.SetCellValue(2, 3, "row and column");
  sheet.SetCellValue(4, 5, "sheet only");
  sheet.Format(Rect{4, 5, 4, 5}, [](CellStyle& s) { s.fontColor = 255; });
  auto back = Check();
  ModelWorksheet& read = back->ModelSheetAt(1);
  EXPECT_EQ(read.CellFormat(100, 100).fontSize, 9);
  EXPECT_TRUE(read.CellFormat(100, 3).bold);
  EXPECT_EQ(read.CellFormat(2, 100).fillColorIndex, 6);
}

TEST_F(RoundTripTest, WidthsAndHeights) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  sheet.SetCellValue(1, 1, "x");
  sheet.SetColumnWidth(1, 1, 20);
  sheet.SetColumnWidth(2, 3, 4.5);
  sheet.SetColumnWidth(5, 5, 12.5);  // not a whole pixel: snapped
  sheet.SetColumnWidth(6, 6, 0);
  sheet.SetRowHeight(1, 1, 30);
  sheet.SetRowHeight(3, 4, 22.5);
  sheet.SetRowHeight(6, 6, 0);
  auto back = Check();
  ModelWorksheet& read = back->ModelSheetAt(1);
  EXPECT_DOUBLE_EQ(read.ColumnWidth(1), 20);
  EXPECT_DOUBLE_EQ(read.ColumnWidth(5), SavedColumnWidth(12.5));
  EXPECT_DOUBLE_EQ(read.ColumnWidth(6), 0);
  EXPECT_DOUBLE_EQ(read.RowHeight(3), 22.5);
  EXPECT_DOUBLE_EQ(read.RowHeight(6), 0);
  EXPECT_DOUBLE_EQ(read.RowHeight(2), 15);
}

TEST_F(RoundTripTest, DefaultWidthAndHeightOfTheSheet) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  sheet.SetColumnWidth(1, host::kMaxColumns, 11);
  sheet.SetColumnWidth(2, 2, 30);
  sheet.SetRowHeight(1, host::kMaxRows, 20);
  sheet.SetRowHeight(2, 2, 40);
  sheet.SetCellValue(3, 3, 1);
  auto back = Check();
  EXPECT_DOUBLE_EQ(back->ModelSheetAt(1).ColumnWidth(5000), 11);
  EXPECT_DOUBLE_EQ(back->ModelSheetAt(1).RowHeight(7), 20);
}

TEST_F(RoundTripTest, MergesKeepValuesAndFormats) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  sheet.SetCellValue(1, 1, "一班 学生名单");
  sheet.Format(Rect{1, 1, 1, 4}, [](CellStyle& s) {
    s.horizontalAlignment = host::kAlignCenter;
    s.borders[host::kSideBottom] = host::kLineContinuous;
  });
  sheet.Merge(Rect{1, 1, 1, 4});
  sheet.SetCellValue(3, 2, 42);
  sheet.Merge(Rect{3, 2, 5, 3});
  auto back = Check();
  EXPECT_EQ(back->ModelSheetAt(1).MergedAreas().size(), 2u);
  EXPECT_EQ(back->ModelSheetAt(1).CellFormat(1, 4).borders[host::kSideBottom], host::kLineContinuous);
  EXPECT_EQ(back->ModelSheetAt(1).CellValue(3, 2), Value(42));
}

TEST_F(RoundTripTest, PageBreaksAndPageSetup) {
  ModelWorksheet& division = book.AppendSheet("分班表1");
  ModelWorksheet& statistics = book.AppendSheet("统计表1");
  division.SetCellValue(1, 1, "title");
  for (int32_t row : {12, 40, 77}) division.AddHPageBreak(row);
  host::PageSetup& page = division.GetPageSetup();
  page.SetOrientation(host::kPortrait);
  page.SetTopMargin(30);
  page.SetBottomMargin(10);
  page.SetHeaderMargin(5);
  page.SetFooterMargin(5);
  page.SetLeftMargin(5);
  page.SetRightMargin(5);
  page.SetCenterFooter("&P");
  page.SetZoom(80);
  page.SetCenterHorizontally(true);
  page.SetPrintTitleRows("$1:$2");
  host::PageSetup& stats = statistics.GetPageSetup();
  stats.SetOrientation(host::kLandscape);
  stats.SetZoom(90);
  stats.SetCenterFooter("第&P页");
  auto back = Check();
  ModelWorksheet& read = back->ModelSheetAt(1);
  EXPECT_EQ(read.HPageBreaks(), (std::vector<int32_t>{12, 40, 77}));
  EXPECT_EQ(read.PageSetupValues().printTitleFirstRow, 1);
  EXPECT_EQ(read.PageSetupValues().printTitleLastRow, 2);
  EXPECT_EQ(read.PageSetupValues().centerFooter, "&P");
  EXPECT_NEAR(read.PageSetupValues().topMargin, 30, 1e-9);
  EXPECT_EQ(back->ModelSheetAt(2).PageSetupValues().orientation, host::kLandscape);
  EXPECT_EQ(back->ModelSheetAt(2).PageSetupValues().printTitleFirstRow, 0);
}

TEST_F(RoundTripTest, AutoFiltersAndPrintAreas) {
  ModelWorksheet& list = book.AppendSheet("名单");
  list.SetCellValue(1, 1, "姓名");
  list.SetCellValue(401, 16, 1);
  list.AutoFilterArea() = Rect{1, 1, 401, 16};
  list.PrintArea() = Rect{1, 1, 401, 16};
  ModelWorksheet& quoted = book.AppendSheet("Class 'B' 1");
  quoted.AutoFilterArea() = Rect{3, 2, 3, 2};  // a filter on one header cell
  quoted.PrintArea() = Rect{2, 3, 9, 5};
  ModelWorksheet& columns = book.AppendSheet("Columns");
  columns.PrintArea() = Rect{1, 2, host::kMaxRows, 4};  // entire columns B:D
  ModelWorksheet& rows = book.AppendSheet("Rows");
  rows.PrintArea() = Rect{5, 1, 20, host::kMaxColumns};  // entire rows 5:20
  book.AppendSheet("Plain").SetCellValue(1, 1, 1);
  auto back = Check();
  EXPECT_EQ(back->ModelSheetAt(1).AutoFilterArea(), (Rect{1, 1, 401, 16}));
  EXPECT_EQ(back->ModelSheetAt(1).PrintArea(), (Rect{1, 1, 401, 16}));
  EXPECT_EQ(back->ModelSheetAt(2).AutoFilterArea(), (Rect{3, 2, 3, 2}));
  EXPECT_EQ(back->ModelSheetAt(2).PrintArea(), (Rect{2, 3, 9, 5}));
  EXPECT_EQ(back->ModelSheetAt(3).PrintArea(), (Rect{1, 2, host::kMaxRows, 4}));
  EXPECT_EQ(back->ModelSheetAt(4).PrintArea(), (Rect{5, 1, 20, host::kMaxColumns}));
  EXPECT_FALSE(back->ModelSheetAt(5).AutoFilterArea());
  EXPECT_FALSE(back->ModelSheetAt(5).PrintArea());
  EXPECT_TRUE(back->FileOrigin().unkeptParts.empty());
}

TEST_F(RoundTripTest, DataValidation) {
  ModelWorksheet& sheet = book.AppendSheet("登记表");
  host::ValidationRule list;
  list.area = Rect{2, 3, 2, 3};
  list.type = host::kValidateList;
  list.formula1 = "是,否";
  list.inputTitle = "总分取整";
  list.inputMessage = "选择“是”或“否”";
  sheet.AddValidation(list);
  host::ValidationRule whole;
  whole.area = Rect{5, 1, 9, 2};
  whole.type = 1;
  whole.op = host::kValidBetween;
  whole.formula1 = "1";
  whole.formula2 = "60";
  whole.alertStyle = 2;
  whole.ignoreBlank = false;
  whole.showInput = false;
  whole.errorTitle = "超出范围";
  whole.errorMessage = "请输入 1 到 60";
  sheet.AddValidation(whole);
  host::ValidationRule greater;
  greater.area = Rect{10, 1, 10, 1};
  greater.type = 2;
  greater.op = 5;
  greater.formula1 = "=$A$1";
  sheet.AddValidation(greater);
  auto back = Check();
  ASSERT_EQ(back->ModelSheetAt(1).Validations().size(), 3u);
  EXPECT_EQ(back->ModelSheetAt(1).Validations()[0].formula1, "是,否");
}

// Excel's limits: 32 characters of title, 255 of message; the rule itself stays.
TEST_F(RoundTripTest, OverlongValidationTextsAreCutNotDropped) {
  ModelWorksheet& sheet = book.AppendSheet("S");
  host::ValidationRule rule;
  rule.area = Rect{1, 1, 1, 1};
  rule.type = host::kValidateList;
  rule.formula1 = "是,否";
  for (int i = 0; i < 40; ++i) rule.inputTitle += "标";
  for (int i = 0; i < 300; ++i) rule.inputMessage += "m";
  sheet.AddValidation(rule);
  auto back = RoundTrip(book, dir);
  ASSERT_EQ(back->ModelSheetAt(1).Validations().size(), 1u);
  const host::ValidationRule& read = back->ModelSheetAt(1).Validations()[0];
  EXPECT_EQ(read.inputTitle, rule.inputTitle.substr(0, 32 * 3));
  EXPECT_EQ(read.inputMessage, rule.inputMessage.substr(0, 255));
  EXPECT_EQ(read.formula1, "是,否");
}

TEST_F(RoundTripTest, SheetViews) {
  ModelWorksheet& frozen = book.AppendSheet("frozen");
  frozen.View().splitRow = 2;
  frozen.View().freezePanes = true;
  frozen.View().zoom = 90;
  ModelWorksheet& scrolled = book.AppendSheet("scrolled");
  scrolled.View().scrollRow = 30;
  scrolled.View().scrollColumn = 3;
  ModelWorksheet& split = book.AppendSheet("split");
  split.View().splitRow = 3;
  split.View().splitColumn = 2;
  ModelWorksheet& both = book.AppendSheet("both");
  both.View().splitRow = 1;
  both.View().splitColumn = 1;
  both.View().freezePanes = true;
  both.View().scrollRow = 10;
  both.View().scrollColumn = 4;
  book.SetTabRatio(0.9);
  auto back = Check();
  EXPECT_TRUE(back->ModelSheetAt(1).View().freezePanes);
  EXPECT_EQ(back->ModelSheetAt(1).View().splitRow, 2);
  EXPECT_EQ(back->ModelSheetAt(2).View().scrollRow, 30);
  EXPECT_NEAR(back->TabRatio(), 0.9, 1e-9);
}

TEST_F(RoundTripTest, SheetOrderVisibilityAndActiveSheet) {
  for (const char* name : {"DTB", "FBB", "JZB", "SYB", "登记表"}) book.AppendSheet(name).SetCellValue(1, 1, name);
  book.ModelSheetAt(2).SetVisible(host::kSheetHidden);
  book.ModelSheetAt(3).SetVisible(host::kSheetVeryHidden);
  book.SetActiveSheetIndex(5);
  book.Date1904() = true;
  auto back = Check();
  EXPECT_EQ(back->ModelSheetAt(3).Visible(), host::kSheetVeryHidden);
  EXPECT_EQ(back->ActiveSheetIndex(), 5);
  EXPECT_TRUE(back->Date1904());
}

TEST_F(RoundTripTest, EverythingTogetherIsStableOverTwoSaves) {
  ModelWorksheet& sheet = book.AppendSheet("分班表3");
  for (int32_t r = 1; r <= 60; ++r) {
    sheet.SetCellValue(r, 1, r % 6 + 1);
    sheet.SetCellValue(r, 2, "学生" + std::to_string(r));
    sheet.SetCellValue(r, 3, 300.5 + r);
  }
  sheet.Format(Rect{1, 1, 1, 3}, [](CellStyle& s) { s.bold = true; });
  sheet.Merge(Rect{61, 1, 61, 3});
  sheet.AddHPageBreak(31);
  sheet.GetPageSetup().SetPrintTitleRows("$1:$1");
  sheet.View().splitRow = 1;
  sheet.View().freezePanes = true;
  book.AppendSheet("统计表3").SetCellValue(1, 1, "最大差");
  auto first = Check();
  auto second = RoundTrip(*first, dir, "again.xlsx");
  EXPECT_EQ(DiffText(*first, *second), "");
}

TEST_F(RoundTripTest, EmptyWorkbookSheetRoundTrips) {
  book.AppendSheet("Sheet1");
  auto back = Check();
  EXPECT_EQ(back->SheetCount(), 1);
  EXPECT_TRUE(back->FileOrigin().unkeptParts.empty());
  EXPECT_FALSE(back->FileOrigin().fromXls);
}

}  // namespace
}  // namespace fenban::files
