// The finished statistics sheet: frames, fills, double lines, number format,
// bold "最大差" rows, titles, column widths, zoom and page layout.
#include <gtest/gtest.h>

#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

// Three classes, subjects 总分 语文 数学: tableWidth 4, topWidth 4, subjectWidth 7.
// Rows after the title row: class count table 2-6, report 7, subject count
// table 8 (titles) and 9-13, average table 15 (titles) and 16-20.
class StatisticsSheetTest : public StatisticsTest {
 protected:
  void SetUp() override {
    WriteStudents(Division(), ThreeClassesOfFive());
    Build(3, 2, 4);
  }
  host::CellStyle Format(int32_t row, int32_t column) { return Stats().CellFormat(row, column); }
};

TEST_F(StatisticsSheetTest, EveryTableCellIsFramed) {
  const int32_t tables[3][3] = {{2, 6, 4}, {9, 13, 7}, {16, 20, 7}};
  for (const auto& [first, last, width] : tables) {
    for (int32_t row = first; row <= last; ++row) {
      for (int32_t col = 1; col <= width; ++col) {
        const host::CellStyle style = Format(row, col);
        EXPECT_EQ(style.borders[host::kSideTop], host::kLineContinuous) << row << "," << col;
        EXPECT_EQ(style.borders[host::kSideBottom], host::kLineContinuous) << row << "," << col;
        EXPECT_EQ(style.borders[host::kSideLeft], host::kLineContinuous) << row << "," << col;
        if (col != 4 || first == 2) {
          EXPECT_EQ(style.borders[host::kSideRight], host::kLineContinuous) << row << "," << col;
        }
      }
      EXPECT_EQ(Format(row, width + 1).borders[host::kSideTop], 0) << row;
    }
  }
  EXPECT_EQ(Format(7, 2).borders[host::kSideBottom], 0);  // the report row is not framed
}

TEST_F(StatisticsSheetTest, DoubleLineSeparatesTheHalvesOfTheSubjectTables) {
  for (int32_t row = 9; row <= 13; ++row) EXPECT_EQ(Format(row, 4).borders[host::kSideRight], host::kLineDouble) << row;
  for (int32_t row = 16; row <= 20; ++row) EXPECT_EQ(Format(row, 4).borders[host::kSideRight], host::kLineDouble) << row;
  for (int32_t row = 2; row <= 6; ++row) EXPECT_EQ(Format(row, 4).borders[host::kSideRight], host::kLineContinuous) << row;
  EXPECT_NE(Format(10, 3).borders[host::kSideRight], host::kLineDouble);
}

TEST_F(StatisticsSheetTest, HeaderAndDifferenceRowsFilledAndDifferenceRowsBold) {
  const int32_t rows[3][3] = {{2, 6, 4}, {9, 13, 7}, {16, 20, 7}};
  for (const auto& [header, diff, width] : rows) {
    for (int32_t col = 1; col <= width; ++col) {
      EXPECT_EQ(Format(header, col).fillColorIndex, 35) << header << "," << col;
      EXPECT_EQ(Format(diff, col).fillColorIndex, 35) << diff << "," << col;
      EXPECT_EQ(Format(header + 1, col).fillColorIndex, host::kColorIndexNone) << header + 1 << "," << col;
      EXPECT_TRUE(Format(diff, col).bold) << diff << "," << col;
      EXPECT_FALSE(Format(header + 1, col).bold) << header + 1 << "," << col;
    }
    EXPECT_EQ(Format(header, width + 1).fillColorIndex, host::kColorIndexNone) << header;
    EXPECT_TRUE(Format(diff, width + 3).bold) << diff;  // the whole row is bold
    EXPECT_EQ(Stats().CellFormulaR1C1(diff, 2), "") << diff;
  }
}

TEST_F(StatisticsSheetTest, AveragesShownWithOneDecimal) {
  for (int32_t row = 16; row <= 20; ++row) {
    for (int32_t col = 2; col <= 7; ++col) EXPECT_EQ(Format(row, col).numberFormat, "0.0") << row << "," << col;
    EXPECT_NE(Format(row, 1).numberFormat, "0.0") << row;
  }
  EXPECT_NE(Format(10, 2).numberFormat, "0.0");
  EXPECT_DOUBLE_EQ(StatsNumber(18, 3), 87.75);  // stored with every digit
}

TEST_F(StatisticsSheetTest, TitlesReportWidthsAndView) {
  for (int32_t row : {1, 8, 15}) EXPECT_DOUBLE_EQ(Stats().RowHeight(row), 21) << row;
  for (const auto& [row, col] : {std::pair{1, 1}, std::pair{8, 1}, std::pair{8, 5}, std::pair{15, 1}, std::pair{15, 5}}) {
    EXPECT_DOUBLE_EQ(Format(row, col).fontSize, 14) << row << "," << col;
    EXPECT_TRUE(Format(row, col).bold) << row << "," << col;
  }
  EXPECT_EQ(StatsAt(7, 1), Value("同班同名统计：无"));
  EXPECT_EQ(Format(7, 1).fontColor, 255);
  EXPECT_EQ(Format(7, 1).horizontalAlignment, host::kAlignLeft);
  EXPECT_EQ(Format(3, 2).horizontalAlignment, host::kAlignCenter);

  const double width = Stats().ColumnWidth(2);
  for (int32_t col : {1, 3, 7, 40}) EXPECT_DOUBLE_EQ(Stats().ColumnWidth(col), width) << col;

  EXPECT_EQ(&dataWorkbook->ActiveSheet(), static_cast<host::Worksheet*>(&Stats()));
  EXPECT_EQ(Stats().View().zoom, 90);

  const host::PageSetupData& setup = Stats().PageSetupValues();
  EXPECT_EQ(setup.orientation, host::kLandscape);
  EXPECT_DOUBLE_EQ(setup.topMargin, 30);
  EXPECT_DOUBLE_EQ(setup.bottomMargin, 10);
  EXPECT_DOUBLE_EQ(setup.headerMargin, 5);
  EXPECT_DOUBLE_EQ(setup.footerMargin, 5);
  EXPECT_DOUBLE_EQ(setup.leftMargin, 5);
  EXPECT_DOUBLE_EQ(setup.rightMargin, 5);
  EXPECT_EQ(setup.centerFooter, "&P");
  EXPECT_EQ(setup.zoom, 90);
  EXPECT_TRUE(setup.centerHorizontally);
  EXPECT_EQ(setup.printTitleFirstRow, 0);
}

}  // namespace
}  // namespace fenban::statistics::test
