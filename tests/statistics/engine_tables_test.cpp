// The three tables of the statistics sheet for a small division worked out by hand:
// three classes of five students, subjects 语文 and 数学 listed, quotas 2 and 4.
#include <gtest/gtest.h>

#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

class ThreeClassesTest : public StatisticsTest {
 protected:
  void SetUp() override {
    WriteStudents(Division(), ThreeClassesOfFive());
    Build(3, 2, 4);
  }
};

TEST_F(ThreeClassesTest, ClassCountTableHoldsSizesCategoryAndBand) {
  // Row 1 is the sheet title; the class count table starts in row 2.
  EXPECT_EQ(StatsAt(2, 1), Value("新班级"));
  EXPECT_EQ(StatsAt(2, 2), Value("总人数"));
  EXPECT_EQ(StatsAt(2, 3), Value("性别\n女"));  // 女 sorts before 男
  // 16 rows: 16 \ 15 - 1 = 0, raised to one band read from row 16, the lowest total.
  EXPECT_EQ(StatsAt(2, 4), Value("总分\n≥150"));
  EXPECT_TRUE(StatsAt(2, 5).IsEmpty());
  const double expected[3][4] = {{1, 5, 2, 5}, {2, 5, 4, 5}, {3, 5, 1, 5}};
  for (int32_t c = 0; c < 3; ++c) {
    for (int32_t col = 0; col < 4; ++col) {
      EXPECT_EQ(StatsAt(3 + c, col + 1), Value(expected[c][col])) << "class " << c + 1 << " column " << col + 1;
    }
  }
  // Class labels stay numbers.
  EXPECT_TRUE(StatsAt(3, 1).IsNumber());
  EXPECT_EQ(StatsAt(6, 1), Value("最大差"));
  EXPECT_EQ(StatsAt(6, 2), Value(0));
  EXPECT_EQ(StatsAt(6, 3), Value(3));
  EXPECT_EQ(StatsAt(6, 4), Value(0));
  EXPECT_EQ(Stats().CellFormulaR1C1(6, 3), "");
}

TEST_F(ThreeClassesTest, SubjectCountTableUsesRankedMarks) {
  EXPECT_EQ(StatsAt(9, 1), Value("新班级"));
  const char* headers[] = {"总分\n≥240", "语文\n≥85", "数学\n≥80", "总分\n≥180", "语文\n≥58", "数学\n≥55"};
  for (int32_t j = 0; j < 6; ++j) EXPECT_EQ(StatsAt(9, j + 2), Value(headers[j])) << j;
  const double counts[3][6] = {{2, 3, 2, 4, 4, 4}, {2, 2, 2, 4, 4, 4}, {2, 1, 2, 4, 4, 4}};
  for (int32_t c = 0; c < 3; ++c) {
    EXPECT_EQ(StatsAt(10 + c, 1), Value(c + 1));
    for (int32_t j = 0; j < 6; ++j) {
      EXPECT_EQ(StatsAt(10 + c, j + 2), Value(counts[c][j])) << "class " << c + 1 << " column " << j + 2;
    }
  }
  EXPECT_EQ(StatsAt(13, 1), Value("最大差"));
  const double diffs[6] = {0, 2, 0, 0, 0, 0};
  for (int32_t j = 0; j < 6; ++j) EXPECT_EQ(StatsAt(13, j + 2), Value(diffs[j])) << j;
  EXPECT_TRUE(StatsAt(9, 8).IsEmpty());
}

TEST_F(ThreeClassesTest, AverageTableAveragesBestTotals) {
  EXPECT_TRUE(StatsAt(14, 1).IsEmpty());
  const char* headers[] = {"新班级", "总分", "语文", "数学", "总分", "语文", "数学"};
  for (int32_t j = 0; j < 7; ++j) EXPECT_EQ(StatsAt(16, j + 1), Value(headers[j])) << j;
  const double means[3][6] = {{265, 94, 87.5, 237.5, 86, 76.25},
                              {255, 87.75, 83.5, 232.5, 77.625, 75.5},
                              {252.5, 85, 91, 223.75, 75, 77.5}};
  for (int32_t c = 0; c < 3; ++c) {
    EXPECT_EQ(StatsAt(17 + c, 1), Value(c + 1));
    for (int32_t j = 0; j < 6; ++j) {
      EXPECT_DOUBLE_EQ(StatsNumber(17 + c, j + 2), means[c][j]) << "class " << c + 1 << " column " << j + 2;
    }
  }
  EXPECT_EQ(StatsAt(20, 1), Value("最大差"));
  const double diffs[6] = {12.5, 9, 7.5, 13.75, 11, 2};
  for (int32_t j = 0; j < 6; ++j) EXPECT_DOUBLE_EQ(StatsNumber(20, j + 2), diffs[j]) << j;
}

TEST_F(ThreeClassesTest, TitlesAndReport) {
  EXPECT_EQ(StatsAt(1, 1), Value("各项人数统计(统计表1)"));
  EXPECT_EQ(StatsAt(7, 1), Value("同班同名统计：无"));
  EXPECT_EQ(StatsAt(8, 1), Value("优秀人数统计(前2名)"));
  EXPECT_EQ(StatsAt(8, 5), Value("及格人数统计(前4名)"));
  EXPECT_EQ(StatsAt(15, 1), Value("平均分统计(前2名)"));
  EXPECT_EQ(StatsAt(15, 5), Value("平均分统计(前4名)"));
  EXPECT_TRUE(HasMerge(Stats(), 1, 1, 1, 4));
  EXPECT_TRUE(HasMerge(Stats(), 8, 1, 8, 4));
  EXPECT_TRUE(HasMerge(Stats(), 8, 5, 8, 7));
  EXPECT_TRUE(HasMerge(Stats(), 15, 1, 15, 4));
  EXPECT_TRUE(HasMerge(Stats(), 15, 5, 15, 7));
}

TEST_F(ThreeClassesTest, DivisionSheetIsSortedByClassThenTotal) {
  host::ModelWorksheet& division = Division();
  const char* names[] = {"张一", "张二", "张三", "张四", "张五", "李一", "李二", "李三",
                         "李四", "李五", "王一", "王二", "王三", "王四", "王五"};
  for (int32_t i = 0; i < 15; ++i) {
    EXPECT_EQ(division.CellValue(3 + i, 3), Value(names[i])) << i;
    EXPECT_EQ(division.CellValue(3 + i, 1), Value(i / 5 + 1)) << i;
    EXPECT_EQ(division.CellValue(3 + i, 2), Value(i % 5 + 1)) << i;
  }
  EXPECT_TRUE(division.CellValue(18, 1).IsEmpty());
  EXPECT_EQ(division.CellValue(2, 1), Value("新班级"));
  EXPECT_EQ(division.CellValue(2, 2), Value("序号"));
  EXPECT_EQ(division.CellFormulaR1C1(3, 2), "");
}

TEST_F(StatisticsTest, MissingTotalColumnShowsWarningAndChangesNothing) {
  WriteTable(Division(), {"新班级", "序号", "姓名", "成绩"}, {{Value(1), Value(), Value("甲"), Value(90)}});
  Build(1, 1, 1);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "分班表没有“总分”列，不能统计！");
  EXPECT_EQ(services.messages[0].style, 48);
  EXPECT_EQ(services.messages[0].title, "警告");
  EXPECT_TRUE(StatsAt(1, 1).IsEmpty());
  EXPECT_EQ(Division().CellValue(1, 1), Value("新班级"));
  EXPECT_EQ(Division().CellValue(2, 4), Value(90));
}

TEST_F(StatisticsTest, MissingNameColumnEndsAfterTheTablesWithAnError) {
  WriteTable(Division(), {"新班级", "序号", "总分"},
             {{Value(1), Value(), Value(90)}, {Value(2), Value(), Value(80)}});
  try {
    Build(2, 1, 1);
    FAIL() << "expected a run-time error";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrHost);
  }
  // The tables were written before the duplicate-name sort failed.
  EXPECT_EQ(StatsAt(1, 2), Value("总人数"));
  EXPECT_EQ(Division().CellValue(1, 1), Value("新班级"));
}

TEST_F(StatisticsTest, OneClassGivesZeroDifferencesEverywhere) {
  WriteStudents(Division(), {{Value(1), "甲", "男", 90, 80, 70},
                             {Value(1), "乙", "女", 85, 60, 90},
                             {Value(1), "丙", "男", 70, 75, 65}});
  Build(1, 1, 2);
  // k = 1: class row 3, 最大差 row 4; subject tables at rows 7..9 and 12..14.
  const int32_t lastColumns[3][2] = {{4, 4}, {9, 7}, {14, 7}};
  for (const auto& [diffRow, lastColumn] : lastColumns) {
    EXPECT_EQ(StatsAt(diffRow, 1), Value("最大差")) << diffRow;
    for (int32_t col = 2; col <= lastColumn; ++col) {
      EXPECT_EQ(StatsAt(diffRow, col), Value(0)) << diffRow << "," << col;
    }
  }
  // Averages of the single class over its best totals: 甲 (90), then 乙 (85).
  const double means[6] = {90, 80, 70, 87.5, 70, 80};
  for (int32_t j = 0; j < 6; ++j) EXPECT_DOUBLE_EQ(StatsNumber(13, j + 2), means[j]) << j;
}

}  // namespace
}  // namespace fenban::statistics::test
