// The duplicate-name report and the finished division sheet: class pages,
// running numbers, title row, date, frozen panes and page layout.
#include <gtest/gtest.h>

#include "statistics/engine_data.h"
#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

class FinishedDivisionTest : public StatisticsTest {
 protected:
  void SetUp() override {
    WriteStudents(Division(), ThreeClassesOfFive());
    Build(3, 2, 4);
  }
};

TEST_F(FinishedDivisionTest, PageBreakBeforeEachLaterClassAndAfterTheLast) {
  // Classes in rows 3-7, 8-12 and 13-17 below the title and header rows.
  EXPECT_EQ(Division().HPageBreaks(), (std::vector<int32_t>{8, 13, 18}));
}

TEST_F(FinishedDivisionTest, TitleRowHoldsBookNameAndDate) {
  host::ModelWorksheet& division = Division();
  EXPECT_DOUBLE_EQ(division.RowHeight(1), 30);
  // Seven columns: the title merges columns 2 to 5, the date stands in column 7.
  EXPECT_TRUE(HasMerge(division, 1, 2, 1, 5));
  EXPECT_EQ(division.CellValue(1, 2), Value("高一新生"));
  const host::CellStyle title = division.CellFormat(1, 2);
  EXPECT_DOUBLE_EQ(title.fontSize, 16);
  EXPECT_TRUE(title.bold);
  EXPECT_EQ(title.horizontalAlignment, host::kAlignCenter);
  EXPECT_EQ(title.verticalAlignment, host::kAlignCenter);
  EXPECT_EQ(division.CellValue(1, 7), Value("2026.12.07"));
  EXPECT_EQ(division.CellFormat(1, 7).horizontalAlignment, host::kAlignRight);
  EXPECT_EQ(division.CellFormat(1, 7).verticalAlignment, host::kAlignBottom);
  EXPECT_TRUE(division.CellValue(1, 6).IsEmpty());
}

TEST_F(FinishedDivisionTest, HeaderRowUnderlinedAndColumnsAligned) {
  host::ModelWorksheet& division = Division();
  for (int32_t col = 1; col <= 7; ++col) {
    EXPECT_EQ(division.CellFormat(2, col).borders[host::kSideBottom], host::kLineContinuous) << col;
  }
  EXPECT_NE(division.CellFormat(2, 8).borders[host::kSideBottom], host::kLineContinuous);
  for (int32_t row : {3, 10, 17}) {
    EXPECT_EQ(division.CellFormat(row, 1).horizontalAlignment, host::kAlignCenter) << row;
    EXPECT_EQ(division.CellFormat(row, 2).horizontalAlignment, host::kAlignCenter) << row;
    for (int32_t col = 3; col <= 7; ++col) {
      EXPECT_EQ(division.CellFormat(row, col).horizontalAlignment, host::kAlignLeft) << row << "," << col;
    }
  }
}

TEST_F(FinishedDivisionTest, WindowFrozenBelowTheHeaderAndPageLayoutSet) {
  const host::SheetView& view = Division().View();
  EXPECT_EQ(view.scrollRow, 1);
  EXPECT_EQ(view.scrollColumn, 1);
  EXPECT_EQ(view.splitRow, 2);
  EXPECT_EQ(view.splitColumn, 0);
  EXPECT_TRUE(view.freezePanes);
  EXPECT_DOUBLE_EQ(dataWorkbook->TabRatio(), 0.9);

  const host::PageSetupData& setup = Division().PageSetupValues();
  EXPECT_EQ(setup.orientation, host::kPortrait);
  EXPECT_DOUBLE_EQ(setup.topMargin, 30);
  EXPECT_DOUBLE_EQ(setup.bottomMargin, 10);
  EXPECT_DOUBLE_EQ(setup.headerMargin, 5);
  EXPECT_DOUBLE_EQ(setup.footerMargin, 5);
  EXPECT_DOUBLE_EQ(setup.leftMargin, 5);
  EXPECT_DOUBLE_EQ(setup.rightMargin, 5);
  EXPECT_EQ(setup.centerFooter, "&P");
  EXPECT_EQ(setup.zoom, 80);
  EXPECT_TRUE(setup.centerHorizontally);
  EXPECT_EQ(setup.printTitleFirstRow, 1);
  EXPECT_EQ(setup.printTitleLastRow, 2);
}

TEST_F(StatisticsTest, DuplicateNamesAreListedPerAdjacentPairWithinAClass) {
  WriteStudents(Division(), {{Value(1), "张三", "男", 90, 0, 0},
                             {Value(2), "王五", "男", 85, 0, 0},
                             {Value(1), "王五", "男", 80, 0, 0},
                             {Value(1), "张三", "女", 75, 0, 0},
                             {Value(3), "李四", "女", 70, 0, 0},
                             {Value(2), "赵六", "男", 65, 0, 0},
                             {Value(1), "张三", "男", 60, 0, 0},
                             {Value(3), "李四", "男", 55, 0, 0}});
  Build(3, 1, 1);
  // 张三 three times in class 1 makes two pairs; class 1's last 王五 and class 2's
  // first 王五 are no pair.
  EXPECT_EQ(StatsAt(7, 1), Value("同班同名统计：1班 张三；1班 张三；3班 李四；"));
  const host::CellStyle report = Stats().CellFormat(7, 1);
  EXPECT_EQ(report.fontColor, 255);
  EXPECT_EQ(report.horizontalAlignment, host::kAlignLeft);
}

TEST_F(StatisticsTest, EqualTotalsKeepNameOrderAndSmallClassesGetOwnPage) {
  WriteStudents(Division(), {{Value(1), "甲", "男", 80, 0, 0},
                             {Value(2), "丙", "男", 70, 0, 0},
                             {Value(1), "乙", "女", 80, 0, 0},
                             {Value(1), "丁", "女", 90, 0, 0}});
  Build(2, 1, 1);
  host::ModelWorksheet& division = Division();
  // 乙 (U+4E59) sorts before 甲 (U+7532) in the name sort, and the total sort keeps it.
  const char* names[] = {"丁", "乙", "甲", "丙"};
  const int numbers[] = {1, 2, 3, 1};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(division.CellValue(3 + i, 3), Value(names[i])) << i;
    EXPECT_EQ(division.CellValue(3 + i, 2), Value(numbers[i])) << i;
  }
  EXPECT_EQ(division.HPageBreaks(), (std::vector<int32_t>{6, 7}));
}

TEST_F(StatisticsTest, NarrowTableAndOtherDateAndBookForms) {
  services.date = "2026/12/07";
  dataWorkbook->SetName("示例.xlsx");
  state.DataBookName = "示例.xlsx";
  WriteTable(Division(), {"新班级", "序号", "姓名", "总分", "语文"},
             {{Value(1), Value(), Value("甲"), Value(90), Value(80)}});
  Build(1, 1, 1);
  host::ModelWorksheet& division = Division();
  EXPECT_TRUE(HasMerge(division, 1, 2, 1, 3));
  EXPECT_EQ(division.CellValue(1, 2), Value("示例"));
  EXPECT_EQ(division.CellValue(1, 5), Value("2026/12/07"));
  EXPECT_EQ(division.CellValue(3, 2), Value(1));
  EXPECT_EQ(division.HPageBreaks(), (std::vector<int32_t>{4}));
}

TEST(DivisionHelpersTest, DateAndBookTitle) {
  EXPECT_EQ(DateText("2026-1-7"), "2026.1.7");
  EXPECT_EQ(DateText("2026/01/07"), "2026/01/07");
  EXPECT_EQ(BookTitle("高一新生.xls"), "高一新生");
  // The extension goes whatever its length; the old rule cut four
  // characters and left "示例." of "示例.xlsx".
  EXPECT_EQ(BookTitle("示例.xlsx"), "示例");
  EXPECT_EQ(BookTitle("名单.xlsm"), "名单");
  EXPECT_EQ(BookTitle("高一.2026届.xlsx"), "高一.2026届");
  EXPECT_EQ(BookTitle(".xls"), "");
  EXPECT_EQ(BookTitle("ab"), "ab");
  EXPECT_EQ(BookTitle("工作簿1"), "工作簿1");
}

TEST(FitReportToCellTest, ALongReportEndsAfterTheLastWholeEntryThatFits) {
  const std::string heading = "同班同名统计：";
  EXPECT_EQ(FitReportToCell(heading + "1班 张三；"), heading + "1班 张三；");
  std::string report = heading;
  while (host::CharCount(report) <= 40000) report += "12班 欧阳明；";
  const std::string fitted = FitReportToCell(report);
  EXPECT_LE(host::CharCount(fitted), 32767u);
  EXPECT_GT(host::CharCount(fitted), 32767u - 10);
  ASSERT_EQ(fitted.substr(fitted.size() - std::string("；……").size()), "；……");
  EXPECT_EQ(report.rfind(fitted.substr(0, fitted.size() - std::string("……").size()), 0), 0u);
}

}  // namespace
}  // namespace fenban::statistics::test
