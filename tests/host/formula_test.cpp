#include <gtest/gtest.h>

#include <limits>

#include "host/formula.h"
#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::ColumnTexts;
using testing::FillSheet;

class FormulaTest : public HostTest {
 protected:
  std::vector<std::string> ReadRow(int32_t row) {
    std::vector<std::string> texts;
    for (int32_t c = 1; c <= 3; ++c) texts.push_back(sheet.CellValue(row, c).ToText());
    return texts;
  }
};

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

namespace fenban::host {
namespace {

TEST_F(FormulaTest, WholeColumnsAndRowsOnlyVisitStoredCells) {
  FillSheet(sheet, {{1, 2}, {3, "x"}, {Value(), 4}});
  sheet.SetFormulaR1C1(Rect{1, 5, 1, 5}, "=SUM(C1:C2)");
  EXPECT_EQ(sheet.CellValue(1, 5), Value(10.0));
  sheet.SetFormulaR1C1(Rect{2, 5, 2, 5}, "=COUNTA(R1)");
  // Row 1 holds 1, 2 and the formula result of (1,5).
  EXPECT_EQ(sheet.CellValue(2, 5), Value(3.0));
  // Rows 1 to 3 hold six values, and the cell itself reads 0 as a circular reference.
  sheet.SetFormulaR1C1(Rect{2, 5, 2, 5}, "=COUNTA(R1:R3)");
  EXPECT_EQ(sheet.CellValue(2, 5), Value(7.0));
}

TEST_F(FormulaTest, MoreFunctionsAndOperators) {
  FillSheet(sheet, {{4, 8, "a"}, {Value(), 3, Value::Boolean(true)}});
  auto value = [&](const std::string& formula) {
    sheet.SetFormulaR1C1(Rect{10, 1, 10, 1}, formula);
    return sheet.CellValue(10, 1);
  };
  EXPECT_EQ(value("=AVERAGE(R1C1:R2C2)"), Value(5.0));
  EXPECT_EQ(value("=COUNT(R1C1:R2C3)"), Value(3.0));
  EXPECT_EQ(value("=COUNTA(R1C1:R2C3)"), Value(5.0));
  EXPECT_EQ(value("=SUBTOTAL(9,R1C1:R2C3)"), Value(15.0));
  EXPECT_EQ(value("=SUBTOTAL(1,R2C1)"), Value(ErrorValue{"#DIV/0!"}));
  EXPECT_EQ(value("=SUBTOTAL(8,R1C1)"), Value(ErrorValue{"#VALUE!"}));
  EXPECT_EQ(value("=IF(R1C1>3,\"big\",\"small\")"), Value("big"));
  EXPECT_EQ(value("=IF(R1C1<>4,1)"), Value::Boolean(false));
  EXPECT_EQ(value("=R1C3&R1C1&\"\"\"\""), Value("a4\""));
  EXPECT_EQ(value("=2^3*-1"), Value(-8.0));
  EXPECT_EQ(value("=round(r1c2/3, 1)"), Value(2.7));
  EXPECT_EQ(value("=ABS(-2.5)+INT(-1.5)"), Value(0.5));
  EXPECT_EQ(value("=SUM(1,\"2\",TRUE)"), Value(4.0));
  EXPECT_EQ(value("=SUM(\"x\")"), Value(ErrorValue{"#VALUE!"}));
  EXPECT_EQ(value("=NOSUCH(1)"), Value(ErrorValue{"#NAME?"}));
  EXPECT_EQ(value("=MAX(R1C1:R2C2,20)"), Value(20.0));
  EXPECT_EQ(value("=MIN(R1C3:R2C3)"), Value(0.0));
  EXPECT_EQ(value("=1/0+SUM(R1C1)"), Value(ErrorValue{"#DIV/0!"}));
}

TEST_F(FormulaTest, SubtotalSkipsOtherSubtotals) {
  FillSheet(sheet, {{1}, {2}});
  sheet.SetFormulaR1C1(Rect{3, 1, 3, 1}, "=SUBTOTAL(9,R1C:R[-1]C)");
  sheet.SetFormulaR1C1(Rect{4, 1, 4, 1}, "=SUBTOTAL(9,R1C:R[-1]C)");
  EXPECT_EQ(sheet.CellValue(3, 1), Value(3.0));
  EXPECT_EQ(sheet.CellValue(4, 1), Value(3.0));
  sheet.SetFormulaR1C1(Rect{5, 1, 5, 1}, "=SUM(R1C:R[-1]C)");
  EXPECT_EQ(sheet.CellValue(5, 1), Value(9.0));
}

TEST_F(FormulaTest, ACircularReferenceReadsZero) {
  sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=RC+1");
  EXPECT_EQ(sheet.CellValue(1, 1), Value(1.0));
  sheet.SetFormulaR1C1(Rect{1, 2, 2, 2}, "=R1C2+R2C2+1");
  EXPECT_TRUE(sheet.CellValue(1, 2).IsNumber());
  EXPECT_TRUE(sheet.CellValue(2, 2).IsNumber());
}

TEST_F(FormulaTest, TextWithoutEqualsSignIsAConstant) {
  sheet.SetFormulaR1C1(Rect{1, 1, 2, 1}, "85");
  EXPECT_EQ(sheet.CellValue(2, 1), Value(85.0));
  EXPECT_EQ(sheet.CellFormulaR1C1(2, 1), "");
  sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "总分");
  EXPECT_EQ(sheet.CellValue(1, 1), Value("总分"));
  sheet.SetFormulaR1C1(Rect{1, 1, 2, 1}, "");
  EXPECT_TRUE(sheet.CellValue(2, 1).IsEmpty());
  EXPECT_EQ(Range(sheet, Rect{1, 1, 1, 1}).FormulaR1C1(), "");
}

TEST_F(FormulaTest, ReferencesWithAbsoluteAndMixedParts) {
  FillSheet(sheet, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  sheet.SetFormulaR1C1(Rect{5, 1, 5, 3}, "=R2C+R[-2]C3*10");
  EXPECT_EQ(ReadRow(5), (std::vector<std::string>{"94", "95", "96"}));
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=R0C1"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=R1C16385"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=R1C1:C2"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=R[1"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=\"open"); }), kErrHost);
}

TEST_F(FormulaTest, NonFiniteResultsAndNumbersBecomeNumErrors) {
  sheet.SetFormulaR1C1(Rect{1, 1, 1, 1}, "=10^400");
  EXPECT_EQ(sheet.CellValue(1, 1), Value(ErrorValue{"#NUM!"}));
  sheet.SetCellValue(2, 1, std::numeric_limits<double>::infinity());
  EXPECT_EQ(sheet.CellValue(2, 1), Value(ErrorValue{"#NUM!"}));
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetCellValue(3, 1, std::string(32768, 'x')); }), kErrHost);
  sheet.SetCellValue(3, 1, std::string(32767, 'x'));
  EXPECT_EQ(sheet.CellValue(3, 1).Text().size(), 32767u);
}

}  // namespace
}  // namespace fenban::host
