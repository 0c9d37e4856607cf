// R1C1 formulas as the model keeps them, translated to A1 for the file.
#include <gtest/gtest.h>

#include "files/r1c1_to_a1.h"

namespace fenban::files {
namespace {

std::string A1(const std::string& formula, int32_t row, int32_t column) {
  const auto result = R1C1ToA1(formula, row, column);
  return result ? *result : "(none)";
}

TEST(R1C1ToA1Test, AbsoluteRelativeAndMixedCells) {
  EXPECT_EQ(A1("=R2C3", 10, 10), "=$C$2");
  EXPECT_EQ(A1("=RC", 5, 4), "=D5");
  EXPECT_EQ(A1("=R[-1]C", 5, 4), "=D4");
  EXPECT_EQ(A1("=RC[-3]+R[2]C[1]", 5, 4), "=A5+E7");
  EXPECT_EQ(A1("=R1C[2]", 5, 1), "=C$1");
  EXPECT_EQ(A1("=R[1]C27", 5, 1), "=$AA6");
  EXPECT_EQ(A1("=r2c3*2", 1, 1), "=$C$2*2");
}

TEST(R1C1ToA1Test, RangesAndFunctions) {
  EXPECT_EQ(A1("=SUM(R2C3:R5C3)", 1, 1), "=SUM($C$2:$C$5)");
  EXPECT_EQ(A1("=ROUND(RC[-1]/3,1)", 2, 2), "=ROUND(A2/3,1)");
  EXPECT_EQ(A1("=SUBTOTAL(103,R2C1:R[-1]C1)", 30, 4), "=SUBTOTAL(103,$A$2:$A29)");
  EXPECT_EQ(A1("=MAX(R[-5]C:R[-1]C)-MIN(R[-5]C:R[-1]C)", 10, 2), "=MAX(B5:B9)-MIN(B5:B9)");
  EXPECT_EQ(A1("=COUNT(C1:C3)+SUM(R1:R2)", 4, 4), "=COUNT($A:$C)+SUM($1:$2)");
}

TEST(R1C1ToA1Test, WholeRowsAndColumnsStandAlone) {
  EXPECT_EQ(A1("=SUM(R1)", 3, 3), "=SUM($1:$1)");
  EXPECT_EQ(A1("=SUM(C[1])", 3, 3), "=SUM(D:D)");
  EXPECT_EQ(A1("=SUM(R)", 3, 3), "=SUM(3:3)");
}

TEST(R1C1ToA1Test, TextSheetNamesAndNamesStayAsTheyAre) {
  EXPECT_EQ(A1("=\"R1C1 text\"&RC[1]", 1, 1), "=\"R1C1 text\"&B1");
  EXPECT_EQ(A1("=\"say \"\"RC\"\"\"&R1C1", 2, 2), "=\"say \"\"RC\"\"\"&$A$1");
  EXPECT_EQ(A1("='R1C1 sheet'!R2C2", 1, 1), "='R1C1 sheet'!$B$2");
  EXPECT_EQ(A1("=ROUNDUP(RC1,0)+RC_total", 2, 2), "=ROUNDUP($A2,0)+RC_total");
  EXPECT_EQ(A1("=CEILING(RC[-1],1)", 2, 2), "=CEILING(A2,1)");
  EXPECT_EQ(A1("=#N/A", 2, 2), "=#N/A");
  EXPECT_EQ(A1("=IF(RC[-1]>0,TRUE,FALSE)", 2, 2), "=IF(A2>0,TRUE,FALSE)");
}

TEST(R1C1ToA1Test, ReferencesOutsideTheSheetGiveNothing) {
  EXPECT_EQ(A1("=R[-1]C", 1, 1), "(none)");
  EXPECT_EQ(A1("=RC[-2]", 1, 1), "(none)");
  EXPECT_EQ(A1("=R1048577C1", 1, 1), "(none)");
  EXPECT_EQ(A1("=RC[16384]", 1, 1), "(none)");
  EXPECT_EQ(A1("=R[1048575]C", 1, 1), "=A1048576");
}

}  // namespace
}  // namespace fenban::files
