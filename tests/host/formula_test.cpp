#include <gtest/gtest.h>

#include "host/formula.h"
#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::ColumnTexts;
using testing::FillSheet;

class FormulaTest : public HostTest {};

TEST_F(FormulaTest, RoundOfATotalSixColumnsLeft) {
  // Totals in column 9, formula in column 15: =ROUND(RC[-6],0).
  const std::vector<double> totals{84.5, 85.49, -2.5, 90, 0.5};
  for (size_t i = 0; i < totals.size(); ++i) sheet.SetCellValue(static_cast<int32_t>(i) + 2, 9, totals[i]);
  sheet.Cells(2, 15).Sheet().SetFormulaR1C1(Rect{2, 15, 6, 15}, "=ROUND(RC[-6],0)");
  EXPECT_EQ(ColumnTexts(sheet, 15, 2, 6), (std::vector<std::string>{"85", "85", "-3", "90", "1"}));
  EXPECT_EQ(sheet.CellFormulaR1C1(4, 15), "=ROUND(RC[-6],0)");
  // Writing the value back onto the cell leaves the number and drops the formula.
  sheet.SetCellValue(2, 15, sheet.CellValue(2, 15));
  EXPECT_EQ(sheet.CellValue(2, 15), Value(85.0));
  EXPECT_EQ(sheet.CellFormulaR1C1(2, 15), "");
}

TEST_F(FormulaTest, SumOfABlockFarAway) {
  for (int32_t r = 44; r <= 63; ++r) sheet.SetCellValue(r, 1, r - 43);  // 1..20
  sheet.SetCellValue(50, 1, "text is ignored");
  Range(sheet, Rect{1, 216, 1, 216}).SetFormulaR1C1("=SUM(R[43]C[-215]:R[62]C[-215])");
  EXPECT_EQ(sheet.CellValue(1, 216), Value(210.0 - 7));
}

TEST_F(FormulaTest, SubtotalCountsNonEmptyCellsDownToTheOwnRow) {
  FillSheet(sheet, {{"新班级", "序号"}, {1}, {1}, {1}, {2}, {2}});
  sheet.SetFormulaR1C1(Rect{2, 2, 4, 2}, "=SUBTOTAL(103,R2C[-1]:RC[-1])");
  sheet.SetFormulaR1C1(Rect{5, 2, 6, 2}, "=SUBTOTAL(103,R5C[-1]:RC[-1])");
  EXPECT_EQ(ColumnTexts(sheet, 2, 2, 6), (std::vector<std::string>{"1", "2", "3", "1", "2"}));
}

TEST_F(FormulaTest, MaxMinusMinOfTheTwelveCellsAbove) {
  for (int32_t r = 1; r <= 12; ++r) sheet.SetCellValue(r, 3, r * 3 % 7);
  sheet.SetFormulaR1C1(Rect{13, 3, 13, 3}, "=MAX(R[-12]C:R[-1]C)-MIN(R[-12]C:R[-1]C)");
  EXPECT_EQ(sheet.CellValue(13, 3), Value(6.0));
  // Empty ranges give 0.
  sheet.SetFormulaR1C1(Rect{13, 4, 13, 4}, "=MAX(R[-12]C:R[-1]C)-MIN(R[-12]C:R[-1]C)");
  EXPECT_EQ(sheet.CellValue(13, 4), Value(0.0));
}

TEST_F(FormulaTest, CellsOfTheAreaReadEachOther) {
  sheet.SetCellValue(1, 1, 5);
  // Each cell reads the one above it, which belongs to the same area.
  sheet.SetFormulaR1C1(Rect{2, 1, 5, 1}, "=R[-1]C+1");
  EXPECT_EQ(ColumnTexts(sheet, 1, 2, 5), (std::vector<std::string>{"6", "7", "8", "9"}));
  // And below: computed first when read.
  sheet.SetCellValue(10, 2, 100);
  sheet.SetFormulaR1C1(Rect{6, 2, 9, 2}, "=R[1]C*2");
  EXPECT_EQ(ColumnTexts(sheet, 2, 6, 9), (std::vector<std::string>{"1600", "800", "400", "200"}));
}

TEST_F(FormulaTest, ArithmeticAndErrorValues) {
  FillSheet(sheet, {{6, 0, "abc", "4"}});
  sheet.SetFormulaR1C1(Rect{2, 1, 2, 1}, "=(R1C1+2)*3-R1C1/2");
  EXPECT_EQ(sheet.CellValue(2, 1), Value(21.0));
  sheet.SetFormulaR1C1(Rect{2, 2, 2, 2}, "=R1C1/R1C2");
  EXPECT_EQ(sheet.CellValue(2, 2), Value(ErrorValue{"#DIV/0!"}));
  sheet.SetFormulaR1C1(Rect{2, 3, 2, 3}, "=R1C3+1");
  EXPECT_EQ(sheet.CellValue(2, 3), Value(ErrorValue{"#VALUE!"}));
  sheet.SetFormulaR1C1(Rect{2, 4, 2, 4}, "=-R1C4*2");
  EXPECT_EQ(sheet.CellValue(2, 4), Value(-8.0));
  sheet.SetFormulaR1C1(Rect{3, 1, 3, 1}, "=R2C2+1");
  EXPECT_EQ(sheet.CellValue(3, 1), Value(ErrorValue{"#DIV/0!"}));
}

TEST_F(FormulaTest, ReferencesOutsideTheSheetAndSyntaxErrorsAreRefused) {
  sheet.SetCellValue(1, 1, 7);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=R[-1]C"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 2, 3, 2}, "=RC[-2]"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 2, 1, 2}, "=ROUND(RC[-1]"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 2, 1, 2}, "=1+*2"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 2, 1, 2}, "=ROUND(1)"); }), kErrHost);
  EXPECT_EQ(sheet.CellValue(1, 1), Value(7.0));
  EXPECT_TRUE(sheet.CellValue(1, 2).IsEmpty());
}

TEST(RoundHalfAwayTest, HalvesGoAwayFromZero) {
  EXPECT_EQ(RoundHalfAway(2.5, 0), 3);
  EXPECT_EQ(RoundHalfAway(-2.5, 0), -3);
  EXPECT_EQ(RoundHalfAway(2.675, 2), 2.68);
  EXPECT_EQ(RoundHalfAway(1234.5, -2), 1200);
  EXPECT_EQ(RoundHalfAway(1250, -2), 1300);
  EXPECT_EQ(RoundHalfAway(0.049, 1), 0);
}

}  // namespace
}  // namespace fenban::host
