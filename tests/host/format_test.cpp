#include <gtest/gtest.h>

#include "host/display_text.h"
#include "host/style.h"
#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::FillSheet;

class FormatTest : public HostTest {};

TEST_F(FormatTest, BordersOfEveryCellAndOfOneEdge) {
  const Range block(sheet, Rect{2, 2, 3, 4});
  block.GetBorders().SetLineStyle(kLineContinuous);
  for (int32_t r = 2; r <= 3; ++r) {
    for (int32_t c = 2; c <= 4; ++c) {
      EXPECT_EQ(sheet.CellFormat(r, c).borders, (std::array<int32_t, 4>{1, 1, 1, 1}));
    }
  }
  EXPECT_EQ(sheet.CellFormat(1, 2).borders, (std::array<int32_t, 4>{0, 0, 0, 0}));
  block.GetBorders(kEdgeBottom).SetLineStyle(kLineDouble);
  EXPECT_EQ(sheet.CellFormat(3, 3).borders[kSideBottom], kLineDouble);
  EXPECT_EQ(sheet.CellFormat(2, 3).borders[kSideBottom], kLineContinuous);
  block.GetBorders(kEdgeRight).SetLineStyle(kLineNone);
  EXPECT_EQ(sheet.CellFormat(2, 4).borders[kSideRight], 0);
  EXPECT_EQ(sheet.CellFormat(2, 3).borders[kSideRight], kLineContinuous);
  EXPECT_EQ(ErrorNumberOf([&] { block.GetBorders(99).SetLineStyle(kLineContinuous); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { block.GetBorders().SetLineStyle(77); }), kErrHost);
}

TEST_F(FormatTest, InsideBordersTouchOnlyInnerEdges) {
  const Range block(sheet, Rect{1, 1, 2, 2});
  block.GetBorders(kInsideHorizontal).SetLineStyle(kLineContinuous);
  EXPECT_EQ(sheet.CellFormat(1, 1).borders, (std::array<int32_t, 4>{0, 0, 1, 0}));
  EXPECT_EQ(sheet.CellFormat(2, 2).borders, (std::array<int32_t, 4>{0, 1, 0, 0}));
  block.GetBorders(kInsideVertical).SetLineStyle(kLineContinuous);
  EXPECT_EQ(sheet.CellFormat(1, 1).borders, (std::array<int32_t, 4>{0, 0, 1, 1}));
  EXPECT_EQ(sheet.CellFormat(2, 2).borders, (std::array<int32_t, 4>{1, 1, 0, 0}));
}

TEST_F(FormatTest, FontInteriorAlignmentAndNumberFormat) {
  const Range cell = sheet.Cells(1, 1);
  cell.GetFont().SetSize(16);
  cell.GetFont().SetBold(true);
  cell.GetFont().SetColor(255);
  cell.GetInterior().SetColorIndex(35);
  cell.SetHorizontalAlignment(kAlignCenter);
  cell.SetVerticalAlignment(kAlignCenter);
  cell.SetNumberFormatLocal("0.0");
  const CellStyle style = sheet.CellFormat(1, 1);
  EXPECT_EQ(style.fontSize, 16);
  EXPECT_TRUE(style.bold);
  EXPECT_EQ(style.fontColor, 255);
  EXPECT_EQ(BgrToRgb(style.fontColor), 0xFF0000);
  EXPECT_EQ(style.fillColorIndex, 35);
  EXPECT_EQ(PaletteRgb(style.fillColorIndex), 0xCCFFCC);
  EXPECT_EQ(style.horizontalAlignment, kAlignCenter);
  EXPECT_EQ(style.verticalAlignment, kAlignCenter);
  EXPECT_EQ(style.numberFormat, "0.0");
  cell.SetNumberFormatLocal("G/通用格式");
  EXPECT_EQ(sheet.CellFormat(1, 1).numberFormat, "General");
  EXPECT_EQ(ErrorNumberOf([&] { cell.GetFont().SetSize(0); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { cell.GetInterior().SetColorIndex(57); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { cell.SetHorizontalAlignment(kAlignTop); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { cell.SetVerticalAlignment(kAlignLeft); }), kErrHost);
}

TEST_F(FormatTest, NumberFormatOfAnAreaIsOneFormatOrNone) {
  EXPECT_EQ(sheet.NumberFormatOf(Rect{1, 1, 50, 3}), std::optional<std::string>("General"));
  Range(sheet, Rect{2, 2, 9, 2}).SetNumberFormatLocal("yyyy-mm-dd");
  EXPECT_EQ(sheet.NumberFormatOf(Rect{2, 2, 9, 2}), std::optional<std::string>("yyyy-mm-dd"));
  EXPECT_EQ(sheet.NumberFormatOf(Rect{1, 2, 9, 2}), std::nullopt);  // row 1 is General
  EXPECT_EQ(sheet.NumberFormatOf(Rect{9, 2, 9, 2}), std::optional<std::string>("yyyy-mm-dd"));
}

TEST_F(FormatTest, WholeSheetColumnsAndRowsWithoutTouchingEveryCell) {
  sheet.SetCellValue(5, 5, "x");
  sheet.Format(Rect{5, 5, 5, 5}, [](CellStyle& s) { s.fontSize = 20; });
  sheet.Cells().SetHorizontalAlignment(kAlignLeft);
  EXPECT_EQ(sheet.CellFormat(kMaxRows, kMaxColumns).horizontalAlignment, kAlignLeft);
  EXPECT_EQ(sheet.CellFormat(5, 5).horizontalAlignment, kAlignLeft);
  EXPECT_EQ(sheet.CellFormat(5, 5).fontSize, 20);
  EXPECT_EQ(sheet.RowsData().size(), 5u);

  sheet.Columns(2).SetHorizontalAlignment(kAlignCenter);
  sheet.Rows(3).GetFont().SetBold(true);
  EXPECT_EQ(sheet.CellFormat(100000, 2).horizontalAlignment, kAlignCenter);
  EXPECT_EQ(sheet.CellFormat(3, 9000).horizontalAlignment, kAlignLeft);
  EXPECT_TRUE(sheet.CellFormat(3, 9000).bold);
  // The crossing cell has both changes.
  EXPECT_TRUE(sheet.CellFormat(3, 2).bold);
  EXPECT_EQ(sheet.CellFormat(3, 2).horizontalAlignment, kAlignCenter);
  // A column formatted after a row format still shows through the row.
  sheet.Columns(4).GetInterior().SetColorIndex(6);
  EXPECT_EQ(sheet.CellFormat(3, 4).fillColorIndex, 6);
  EXPECT_TRUE(sheet.CellFormat(3, 4).bold);
  EXPECT_FALSE(sheet.CellFormat(4, 4).bold);
}

TEST_F(FormatTest, StylePoolSharesEqualFormats) {
  StylePool pool;
  CellStyle bold;
  bold.bold = true;
  EXPECT_EQ(pool.Intern(CellStyle{}), 0u);
  const uint32_t index = pool.Intern(bold);
  EXPECT_NE(index, 0u);
  EXPECT_EQ(pool.Intern(bold), index);
  EXPECT_EQ(pool.Size(), 2u);
  EXPECT_EQ(pool.Get(index), bold);
}

TEST(PaletteTest, StandardColoursAndBgr) {
  EXPECT_EQ(PaletteRgb(1), 0x000000);
  EXPECT_EQ(PaletteRgb(3), 0xFF0000);
  EXPECT_EQ(PaletteRgb(6), 0xFFFF00);
  EXPECT_EQ(PaletteRgb(35), 0xCCFFCC);
  EXPECT_EQ(PaletteRgb(56), 0x333333);
  EXPECT_EQ(PaletteRgb(0), -1);
  EXPECT_EQ(PaletteRgb(57), -1);
  EXPECT_EQ(PaletteIndexOfRgb(0xCCFFCC), 35);
  EXPECT_EQ(PaletteIndexOfRgb(0x123456), 0);
  EXPECT_EQ(BgrToRgb(255), 0xFF0000);
  EXPECT_EQ(RgbToBgr(0x0000FF), 0xFF0000);
  EXPECT_EQ(RgbToBgr(0x112233), 0x332211);
}

TEST(DisplayTextTest, NumberFormats) {
  EXPECT_EQ(DisplayText(Value(85.25), "General"), "85.25");
  EXPECT_EQ(DisplayText(Value(256.0 / 3), "General"), "85.33333333");
  EXPECT_EQ(DisplayText(Value(-256.0 / 3), "General"), "-85.3333333");
  EXPECT_EQ(DisplayText(Value(12345678901.5), "General"), "12345678902");
  EXPECT_EQ(DisplayText(Value(123456789012345.0), "General"), "1.23457E+14");
  EXPECT_EQ(DisplayText(Value(0.000012345678), "General"), "1.23457E-05");
  EXPECT_EQ(DisplayText(Value(85.25), "0.0"), "85.3");
  EXPECT_EQ(DisplayText(Value(85.0), "0.00"), "85.00");
  EXPECT_EQ(DisplayText(Value(2.5), "0"), "3");
  EXPECT_EQ(DisplayText(Value(-2.5), "0"), "-3");
  EXPECT_EQ(DisplayText(Value(0.256), "0.0%"), "25.6%");
  EXPECT_EQ(DisplayText(Value(1234567.0), "#,##0"), "1,234,567");
  EXPECT_EQ(DisplayText(Value("文字"), "0.0"), "文字");
  EXPECT_EQ(DisplayText(Value::Boolean(true), "General"), "TRUE");
  EXPECT_EQ(DisplayText(Value(ErrorValue{"#N/A"}), "General"), "#N/A");
}

TEST(DisplayTextTest, DatesAndTimesShowAsTheirFormatSays) {
  EXPECT_EQ(DisplayText(Value(40385), "yyyy/m/d"), "2010/7/26");
  EXPECT_EQ(DisplayText(Value(40385), "yyyy-mm-dd"), "2010-07-26");
  EXPECT_EQ(DisplayText(Value(40385.75), "yyyy/m/d h:mm:ss"), "2010/7/26 18:00:00");
  EXPECT_EQ(DisplayText(Value(40385.75), "h:mm AM/PM"), "6:00 PM");
  EXPECT_EQ(DisplayText(Value(40385), "yyyy\"年\"m\"月\"d\"日\""), "2010年7月26日");
  EXPECT_EQ(DisplayText(Value(40385), "[$-804]dddd, mmmm d, yy"), "Monday, July 26, 10");
  EXPECT_EQ(DisplayText(Value(40385), "d-mmm"), "26-Jul");
  // Minutes after hours or before seconds, months elsewhere.
  EXPECT_EQ(DisplayText(Value(0.5 + 5.0 / 1440), "mm:ss"), "05:00");
  EXPECT_EQ(DisplayText(Value(0.5 + 5.0 / 1440), "hh:mm"), "12:05");
  // Around the 1900 system's 29 February, and the last day it knows.
  EXPECT_EQ(DisplayText(Value(59), "yyyy-mm-dd"), "1900-02-28");
  EXPECT_EQ(DisplayText(Value(60), "yyyy-mm-dd"), "1900-02-29");
  EXPECT_EQ(DisplayText(Value(61), "yyyy-mm-dd"), "1900-03-01");
  EXPECT_EQ(DisplayText(Value(2958465), "yyyy-mm-dd"), "9999-12-31");
  EXPECT_EQ(DisplayText(Value(-1), "yyyy-mm-dd"), "-1");
  // Letters in quotes are no date codes.
  EXPECT_EQ(DisplayText(Value(12.5), "0.0\" days\""), "12.5");
}

class AutoFitTest : public HostTest {};

TEST_F(AutoFitTest, WidestLineOfTheColumnWithWideCharacters) {
  FillSheet(sheet, {{"姓名", "abc"}, {"欧阳娜娜", "a"}, {"x", "line one\nlonger line two"}});
  sheet.AutoFit(1, 2);
  const double cjk = sheet.ColumnWidth(1);
  const double lines = sheet.ColumnWidth(2);
  EXPECT_GT(cjk, 8);   // 欧阳娜娜 is 8 columns wide
  EXPECT_LT(cjk, 11);
  EXPECT_GT(lines, 15);  // "longer line two"
  EXPECT_LT(lines, 18);
  sheet.SetCellValue(4, 1, "总分");
  sheet.AutoFit(1, 1);
  EXPECT_EQ(sheet.ColumnWidth(1), cjk);
}

TEST_F(AutoFitTest, NumberFormatsMergesAndEmptyColumns) {
  sheet.SetCellValue(1, 1, 1.23456);
  sheet.AutoFit(1, 1);
  const double general = sheet.ColumnWidth(1);
  sheet.Cells(1, 1).SetNumberFormatLocal("0.0");
  sheet.AutoFit(1, 1);
  EXPECT_LT(sheet.ColumnWidth(1), general);
  // A merged title does not widen its column.
  sheet.SetCellValue(3, 1, "一个很长很长很长很长的标题");
  sheet.Merge(Rect{3, 1, 3, 4});
  sheet.AutoFit(1, 1);
  EXPECT_LT(sheet.ColumnWidth(1), general);
  // An empty column keeps its width.
  sheet.SetColumnWidth(6, 6, 3);
  sheet.Columns(5, 6).AutoFit();
  EXPECT_EQ(sheet.ColumnWidth(6), 3);
  EXPECT_EQ(sheet.ColumnWidth(5), sheet.DefaultColumnWidth());
}

TEST_F(AutoFitTest, OneNumberInTwoFormatsTakesTheWiderText) {
  sheet.SetCellValue(1, 2, 1.23456);
  sheet.AutoFit(2, 2);
  const double general = sheet.ColumnWidth(2);
  // The same number, shown shorter first and in full below it.
  sheet.SetCellValue(1, 1, 1.23456);
  sheet.Cells(1, 1).SetNumberFormatLocal("0.0");
  sheet.SetCellValue(2, 1, 1.23456);
  sheet.AutoFit(1, 1);
  EXPECT_EQ(sheet.ColumnWidth(1), general);
}

TEST_F(AutoFitTest, LargerFontsNeedMoreRoom) {
  FillSheet(sheet, {{"标题文字", "标题文字"}});
  sheet.Cells(1, 2).GetFont().SetSize(22);
  sheet.AutoFit(1, 2);
  EXPECT_GT(sheet.ColumnWidth(2), sheet.ColumnWidth(1) * 1.5);
}

TEST_F(FormatTest, WidthsAndHeights) {
  sheet.Columns(2).SetColumnWidth(12.5);
  EXPECT_EQ(sheet.ColumnWidth(2), 12.5);
  sheet.Cells().SetColumnWidth(9);
  EXPECT_EQ(sheet.ColumnWidth(2), 9);
  EXPECT_EQ(sheet.ColumnWidth(kMaxColumns), 9);
  sheet.Rows(1).SetRowHeight(30);
  EXPECT_EQ(sheet.Cells(1, 5).RowHeight(), 30);
  EXPECT_EQ(sheet.RowHeight(2), 15);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetColumnWidth(1, 1, 256); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetRowHeight(1, 1, -1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.ColumnWidth(0); }), kErrHost);
}

TEST_F(FormatTest, EnteredLineFeedsWrapTheCellAndFitTheRow) {
  sheet.Cells(2, 3).SetValue(Value("性别\n女"));
  EXPECT_TRUE(sheet.CellFormat(2, 3).wrapText);
  EXPECT_FALSE(sheet.CellFormat(2, 4).wrapText);  // only the cell entered into
  EXPECT_EQ(sheet.RowHeight(2), 31.5);            // two lines of 11 points
  sheet.Cells(2, 4).SetValue(Value("a\nb\nc"));   // a taller text grows the row
  EXPECT_EQ(sheet.RowHeight(2), 46.5);
  sheet.Cells(2, 5).SetValue(Value("x\ny"));      // a shorter one does not shrink it
  EXPECT_EQ(sheet.RowHeight(2), 46.5);
  sheet.Cells(3, 1).SetValue(Value("one line"));
  EXPECT_FALSE(sheet.CellFormat(3, 1).wrapText);
  EXPECT_EQ(sheet.RowHeight(3), 15);
  // Larger fonts need taller lines; the cell's other formats stay.
  const Range big = sheet.Cells(4, 1);
  big.GetFont().SetSize(16);
  big.GetFont().SetBold(true);
  big.SetValue(Value("标题\n第二行"));  // "第二行" is wider than the column at 16 points: 3 lines
  EXPECT_EQ(sheet.RowHeight(4), 67.5);
  EXPECT_TRUE(sheet.CellFormat(4, 1).bold);
  EXPECT_TRUE(sheet.CellFormat(4, 1).wrapText);
}

TEST_F(FormatTest, FittedRowsFollowTheColumnWidths) {
  sheet.Cells(2, 2).SetValue(Value("语文阅读\n总分"));  // 8 units fit the standard column
  EXPECT_EQ(sheet.RowHeight(2), 31.5);
  sheet.Columns(2).SetColumnWidth(5);  // 5 units a line: the name takes two
  EXPECT_EQ(sheet.RowHeight(2), 46.5);
  sheet.Cells().SetColumnWidth(20);
  EXPECT_EQ(sheet.RowHeight(2), 31.5);
  sheet.Cells(3, 2).SetValue(Value("a\nb"));
  sheet.Rows(3).SetRowHeight(20);  // set rows are left alone
  sheet.Columns(2).SetColumnWidth(2);
  EXPECT_EQ(sheet.RowHeight(3), 20);
  EXPECT_EQ(sheet.RowHeight(2), 93);  // two units a line: 4 + 2 lines
  sheet.Columns(2).AutoFit();          // the widest line decides; back to two lines
  EXPECT_EQ(sheet.RowHeight(2), 31.5);
}

TEST_F(FormatTest, ARowWhoseHeightWasSetKeepsIt) {
  sheet.Rows(5).SetRowHeight(21);
  sheet.Cells(5, 1).SetValue(Value("a\nb\nc"));
  EXPECT_TRUE(sheet.CellFormat(5, 1).wrapText);
  EXPECT_EQ(sheet.RowHeight(5), 21);
  // A fitted row that is then set keeps the set height from then on.
  sheet.Cells(6, 1).SetValue(Value("a\nb"));
  sheet.Rows(6).SetRowHeight(18);
  sheet.Cells(6, 2).SetValue(Value("a\nb\nc"));
  EXPECT_EQ(sheet.RowHeight(6), 18);
  // A taller standard height leaves nothing to fit.
  sheet.Cells().SetRowHeight(50);
  sheet.Cells(7, 1).SetValue(Value("a\nb"));
  EXPECT_EQ(sheet.RowHeight(7), 50);
}

TEST_F(FormatTest, AFittedRowMovesWithItsCellsWhenRowsAreInserted) {
  sheet.Cells(1, 1).SetValue(Value("a\nb"));
  sheet.Rows(1).Insert(kShiftDown);
  EXPECT_EQ(sheet.RowHeight(2), 31.5);
  EXPECT_TRUE(sheet.CellFormat(2, 1).wrapText);
  EXPECT_EQ(sheet.RowHeight(1), 15);
}

TEST_F(FormatTest, MergeKeepsTheTopLeftValueAndReplacesOverlaps) {
  FillSheet(sheet, {{"title", "gone"}, {"x", "y"}});
  sheet.Merge(Rect{1, 1, 1, 3});
  EXPECT_EQ(sheet.CellValue(1, 1), Value("title"));
  EXPECT_TRUE(sheet.CellValue(1, 2).IsEmpty());
  sheet.Merge(Rect{1, 3, 2, 4});
  EXPECT_EQ(sheet.MergedAreas(), (std::vector<Rect>{Rect{1, 3, 2, 4}}));
  sheet.Merge(Rect{5, 5, 5, 5});
  EXPECT_EQ(sheet.MergedAreas().size(), 1u);
}

class ValidationTest : public HostTest {};

TEST_F(ValidationTest, AddSetAndDelete) {
  const Range cell = sheet.Cells(2, 3);
  EXPECT_EQ(ErrorNumberOf([&] { cell.GetValidation().SetIgnoreBlank(false); }), kErrHost);
  cell.GetValidation().Delete();  // nothing to delete is fine
  cell.GetValidation().Add(kValidateList, kValidAlertStop, kValidBetween, "是,否");
  cell.GetValidation().SetIgnoreBlank(false);
  cell.GetValidation().SetInputTitle("说明：");
  cell.GetValidation().SetInputMessage("填是或否");
  const ValidationRule* rule = sheet.ValidationAt(2, 3);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->area, (Rect{2, 3, 2, 3}));
  EXPECT_EQ(rule->type, kValidateList);
  EXPECT_EQ(rule->formula1, "是,否");
  EXPECT_FALSE(rule->ignoreBlank);
  EXPECT_EQ(rule->inputTitle, "说明：");
  EXPECT_EQ(rule->inputMessage, "填是或否");
  EXPECT_EQ(ErrorNumberOf([&] { cell.GetValidation().Add(kValidateList, 1, 1, "a,b"); }), kErrHost);
  cell.GetValidation().Delete();
  EXPECT_EQ(sheet.ValidationAt(2, 3), nullptr);
  cell.GetValidation().Add(kValidateList, kValidAlertStop, kValidBetween, "是,否");
  EXPECT_EQ(ErrorNumberOf([&] { cell.GetValidation().Add(kValidateList, 9, 1, "a"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Cells(9, 9).GetValidation().Add(kValidateList, 1, 1, ""); }), kErrHost);
}

TEST_F(ValidationTest, DeletingPartOfARuleKeepsTheRest) {
  ValidationRule rule;
  rule.area = Rect{1, 1, 5, 3};
  rule.type = kValidateList;
  rule.formula1 = "a,b";
  sheet.AddValidation(rule);
  sheet.DeleteValidation(Rect{2, 2, 3, 2});
  EXPECT_EQ(sheet.ValidationAt(2, 2), nullptr);
  EXPECT_EQ(sheet.ValidationAt(3, 2), nullptr);
  for (auto [r, c] : {std::pair{1, 1}, {1, 3}, {2, 1}, {2, 3}, {4, 2}, {5, 3}}) {
    ASSERT_NE(sheet.ValidationAt(r, c), nullptr) << r << "," << c;
    EXPECT_EQ(sheet.ValidationAt(r, c)->formula1, "a,b");
  }
}

}  // namespace
}  // namespace fenban::host
