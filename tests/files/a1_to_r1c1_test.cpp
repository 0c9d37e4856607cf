// A1 formulas as files store them, translated to the model's R1C1 text.
#include <gtest/gtest.h>

#include "files/a1_to_r1c1.h"
#include "files/r1c1_to_a1.h"

namespace fenban::files {
namespace {

std::string R1C1(const std::string& formula, int32_t row, int32_t column) {
  const auto result = A1ToR1C1(formula, row, column);
  return result ? *result : "(none)";
}

TEST(A1ToR1C1Test, RelativeAbsoluteAndMixedCells) {
  EXPECT_EQ(R1C1("D5", 5, 4), "=RC");
  EXPECT_EQ(R1C1("D4", 5, 4), "=R[-1]C");
  EXPECT_EQ(R1C1("A5+E7", 5, 4), "=RC[-3]+R[2]C[1]");
  EXPECT_EQ(R1C1("$C$2", 10, 10), "=R2C3");
  EXPECT_EQ(R1C1("C$1", 5, 1), "=R1C[2]");
  EXPECT_EQ(R1C1("$AA6", 5, 1), "=R[1]C27");
  EXPECT_EQ(R1C1("c2*2", 1, 1), "=R[1]C[2]*2");
  EXPECT_EQ(R1C1("XFD1048576", 1, 1), "=R[1048575]C[16383]");
}

TEST(A1ToR1C1Test, RangesAndFunctions) {
  EXPECT_EQ(R1C1("SUM(F2:N2)", 2, 15), "=SUM(RC[-9]:RC[-1])");
  EXPECT_EQ(R1C1("SUM($C$2:$E$2)", 7, 6), "=SUM(R2C3:R2C5)");
  EXPECT_EQ(R1C1("ROUND(A2/3,1)", 2, 2), "=ROUND(RC[-1]/3,1)");
  EXPECT_EQ(R1C1("SUBTOTAL(103,$A$2:$A29)", 30, 4), "=SUBTOTAL(103,R2C1:R[-1]C1)");
  EXPECT_EQ(R1C1("MAX(B5:B9)-MIN(B5:B9)", 10, 2), "=MAX(R[-5]C:R[-1]C)-MIN(R[-5]C:R[-1]C)");
  EXPECT_EQ(R1C1("AVERAGE(C2:E2) ^ 2 >= 1.5E+3", 2, 6), "=AVERAGE(RC[-3]:RC[-1]) ^ 2 >= 1.5E+3");
  EXPECT_EQ(R1C1("LOG10(A1)", 1, 2), "=LOG10(RC[-1])");
  EXPECT_EQ(R1C1("IF(A1>0,TRUE,false)", 1, 2), "=IF(RC[-1]>0,TRUE,FALSE)");
  EXPECT_EQ(R1C1("_xlfn.STDEV.S(A1:A3)", 4, 1), "=_xlfn.STDEV.S(R[-3]C:R[-1]C)");
}

TEST(A1ToR1C1Test, WholeRowsAndColumns) {
  EXPECT_EQ(R1C1("SUM(A:C)", 4, 2), "=SUM(C[-1]:C[1])");
  EXPECT_EQ(R1C1("SUM($A:$C)", 4, 2), "=SUM(C1:C3)");
  EXPECT_EQ(R1C1("SUM(B:B)", 4, 2), "=SUM(C:C)");
  EXPECT_EQ(R1C1("SUM(2:3)", 4, 2), "=SUM(R[-2]:R[-1])");
  EXPECT_EQ(R1C1("SUM($1:$2)+SUM(4:4)", 4, 2), "=SUM(R1:R2)+SUM(R:R)");
}

TEST(A1ToR1C1Test, TextStaysAsItIs) {
  EXPECT_EQ(R1C1("\"A1 text\"&B1", 1, 1), "=\"A1 text\"&RC[1]");
  EXPECT_EQ(R1C1("\"say \"\"A1\"\"\"&$A$1", 2, 2), "=\"say \"\"A1\"\"\"&R1C1");
  EXPECT_EQ(R1C1("\"Sheet1!A1 'x' [y]\"", 2, 2), "=\"Sheet1!A1 'x' [y]\"");
  EXPECT_EQ(R1C1("IF(A1=\"\",\"\",A1)", 1, 2), "=IF(RC[-1]=\"\",\"\",RC[-1])");
  EXPECT_EQ(R1C1("#N/A", 2, 2), "=#N/A");
  EXPECT_EQ(R1C1("IFERROR(A1,#DIV/0!)", 2, 2), "=IFERROR(R[-1]C[-1],#DIV/0!)");
  EXPECT_EQ(R1C1("SUM(A1,\n B1)", 1, 3), "=SUM(RC[-2],  RC[-1])");
}

TEST(A1ToR1C1Test, OtherSheetsNamesAndTablesAreRefused) {
  EXPECT_EQ(R1C1("Sheet1!A1", 1, 1), "(none)");
  EXPECT_EQ(R1C1("SUM('数据 表'!C2:E2)", 1, 1), "(none)");
  EXPECT_EQ(R1C1("SUM(Sheet1:Sheet3!A1)", 1, 1), "(none)");
  EXPECT_EQ(R1C1("[1]Sheet1!$A$1", 1, 1), "(none)");
  EXPECT_EQ(R1C1("SUM(Table1[总分])", 1, 1), "(none)");
  EXPECT_EQ(R1C1("总分*2", 1, 1), "(none)");
  EXPECT_EQ(R1C1("rate*A1", 1, 2), "(none)");
  EXPECT_EQ(R1C1("XFE1", 1, 1), "(none)");
  EXPECT_EQ(R1C1("A1048577", 1, 1), "(none)");
  EXPECT_EQ(R1C1("SUM(A1:C)", 1, 5), "(none)");
  EXPECT_EQ(R1C1("$SUM(A1)", 1, 5), "(none)");
}

TEST(A1ToR1C1Test, NestingAndOperatorsWithinWhatASpreadsheetProgramWrites) {
  const auto nested = [](int depth) { return std::string(static_cast<size_t>(depth), '(') + "A1" +
                                             std::string(static_cast<size_t>(depth), ')'); };
  EXPECT_EQ(R1C1(nested(64), 1, 2), "=" + nested(64).replace(64, 2, "RC[-1]"));
  EXPECT_EQ(R1C1(nested(65), 1, 2), "(none)");
  std::string sum = "1";
  for (int i = 0; i < 1023; ++i) sum += "+1";
  EXPECT_EQ(R1C1(sum + "-\"+-*\"", 1, 1), "=" + sum + "-\"+-*\"");  // operators in text do not count
  EXPECT_EQ(R1C1(sum + "+1+1", 1, 1), "(none)");
}

TEST(A1ToR1C1Test, RoundTripThroughTheWriter) {
  struct Case {
    const char* formula;
    int32_t row, column;
  };
  const Case cases[] = {
      {"SUM(F2:N2)", 2, 15},
      {"ROUND(AVERAGE($C2:E$9)*100,0)/100", 7, 3},
      {"SUBTOTAL(103,$A$2:$A29)+MAX(B:B)-MIN($1:3)", 30, 4},
      {"IF(A1=\"R1C1 \"\"q\"\"\",XFD1048576,-A1%)", 1, 2},
      {"COUNT(A1:XFD1048576)&\"A1\"", 500000, 9000},
  };
  for (const Case& c : cases) {
    const auto r1c1 = A1ToR1C1(c.formula, c.row, c.column);
    ASSERT_TRUE(r1c1.has_value()) << c.formula;
    const auto a1 = R1C1ToA1(*r1c1, c.row, c.column);
    ASSERT_TRUE(a1.has_value()) << *r1c1;
    EXPECT_EQ(*a1, std::string("=") + c.formula) << *r1c1;
  }
}

}  // namespace
}  // namespace fenban::files
