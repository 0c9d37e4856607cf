// The subject count table and the subject average table: subject lookup,
// marks, counts and averages over each class's best totals.
#include <gtest/gtest.h>

#include "host/errors.h"
#include "statistics/engine_data.h"
#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

std::vector<Value> Row(host::Worksheet& sheet, int32_t row, int32_t firstColumn, int32_t lastColumn) {
  std::vector<Value> values;
  for (int32_t c = firstColumn; c <= lastColumn; ++c) values.push_back(sheet.CellValue(row, c));
  return values;
}

TEST_F(StatisticsTest, QuotasBeyondAClassCountEveryoneAndAverageOverOwnStudents) {
  WriteStudents(Division(), {{Value(1), "甲", "男", 90, 80, 10},
                             {Value(2), "丁", "男", 80, 70, 40},
                             {Value(1), "乙", "女", 70, 60, 20},
                             {Value(2), "戊", "女", 60, 90, 50},
                             {Value(1), "丙", "男", 50, 40, 30}});
  Build(2, 3, 2);
  // Subject count table: header row 8 (k + 6 with the title row), classes 9 and 10.
  // Excellent: rank 6 is past the last student, so the marks are 0.
  // Pass: rank 4 gives 总分 60, 语文 60, 数学 20.
  EXPECT_EQ(Row(Stats(), 8, 2, 7), (std::vector<Value>{Value("总分\n≥0"), Value("语文\n≥0"), Value("数学\n≥0"),
                                                       Value("总分\n≥60"), Value("语文\n≥60"),
                                                       Value("数学\n≥20")}));
  EXPECT_EQ(Row(Stats(), 9, 2, 7), (std::vector<Value>{Value(3), Value(3), Value(3), Value(2), Value(2), Value(2)}));
  EXPECT_EQ(Row(Stats(), 10, 2, 7), (std::vector<Value>{Value(2), Value(2), Value(2), Value(2), Value(2), Value(2)}));
  EXPECT_EQ(Row(Stats(), 11, 2, 7), (std::vector<Value>{Value(1), Value(1), Value(1), Value(0), Value(0), Value(0)}));
  // Averages: class 2 has two students, so its top-3 means are over two.
  const double means[2][6] = {{70, 60, 20, 80, 70, 15}, {70, 80, 45, 70, 80, 45}};
  for (int32_t c = 0; c < 2; ++c) {
    for (int32_t j = 0; j < 6; ++j) EXPECT_DOUBLE_EQ(StatsNumber(15 + c, 2 + j), means[c][j]) << c << "," << j;
  }
  EXPECT_EQ(StatsAt(14, 1), Value("新班级"));
  EXPECT_EQ(StatsAt(13, 1), Value("平均分统计(前3名)"));
  EXPECT_EQ(StatsAt(13, 5), Value("平均分统计(前2名)"));
}

TEST_F(StatisticsTest, UnknownSubjectsAndEmptySlotsAreSkipped) {
  SetSubjects({"物理", "", "数学"});
  WriteStudents(Division(), ThreeClassesOfFive());
  Build(3, 2, 4);
  EXPECT_EQ(Row(Stats(), 9, 1, 6), (std::vector<Value>{Value("新班级"), Value("总分\n≥240"), Value("数学\n≥80"),
                                                       Value("总分\n≥180"), Value("数学\n≥55"), Value()}));
  EXPECT_EQ(Row(Stats(), 16, 1, 6),
            (std::vector<Value>{Value("新班级"), Value("总分"), Value("数学"), Value("总分"), Value("数学"), Value()}));
  EXPECT_DOUBLE_EQ(StatsNumber(19, 3), 91);    // class 3, 数学 over its two best totals
  EXPECT_DOUBLE_EQ(StatsNumber(17, 5), 76.25); // class 1, 数学 over its four best totals
  EXPECT_TRUE(HasMerge(Stats(), 8, 1, 8, 3));
  EXPECT_TRUE(HasMerge(Stats(), 8, 4, 8, 5));
}

TEST_F(StatisticsTest, TotalListedAgainAppearsTwiceInBothTables) {
  SetSubjects({"总分", "语文"});
  WriteStudents(Division(), ThreeClassesOfFive());
  Build(3, 2, 4);
  EXPECT_EQ(Row(Stats(), 9, 2, 8),
            (std::vector<Value>{Value("总分\n≥240"), Value("总分\n≥240"), Value("语文\n≥85"), Value("总分\n≥180"),
                                Value("总分\n≥180"), Value("语文\n≥58"), Value()}));
  EXPECT_EQ(Row(Stats(), 16, 2, 7), (std::vector<Value>{Value("总分"), Value("总分"), Value("语文"), Value("总分"),
                                                        Value("总分"), Value("语文")}));
  EXPECT_DOUBLE_EQ(StatsNumber(17, 2), 265);
  EXPECT_DOUBLE_EQ(StatsNumber(17, 3), 265);
  EXPECT_DOUBLE_EQ(StatsNumber(17, 4), 94);
}

TEST_F(StatisticsTest, NoListedSubjectsLeavesOnlyTheTotal) {
  SetSubjects({});
  WriteStudents(Division(), ThreeClassesOfFive());
  Build(3, 2, 4);
  EXPECT_EQ(Row(Stats(), 9, 1, 4),
            (std::vector<Value>{Value("新班级"), Value("总分\n≥240"), Value("总分\n≥180"), Value()}));
  EXPECT_EQ(Row(Stats(), 16, 1, 4), (std::vector<Value>{Value("新班级"), Value("总分"), Value("总分"), Value()}));
  // topWidth 2, subjectWidth 3: the excellent title spans A:B, the pass title stands in C alone.
  EXPECT_TRUE(HasMerge(Stats(), 8, 1, 8, 2));
  EXPECT_EQ(StatsAt(8, 3), Value("及格人数统计(前4名)"));
  for (const host::Rect& merge : Stats().MergedAreas()) EXPECT_FALSE(merge.Contains(8, 3));
  for (int32_t row = 9; row <= 13; ++row) {
    EXPECT_EQ(Stats().CellFormat(row, 2).borders[host::kSideRight], host::kLineDouble) << row;
  }
}

TEST_F(StatisticsTest, QuotaZeroEndsTheEngineWithARunTimeError) {
  WriteStudents(Division(), ThreeClassesOfFive());
  EXPECT_THROW(Build(3, 0, 4), host::RuntimeError);
}

TEST_F(StatisticsTest, TopAverageTakesAtMostTheClassSize) {
  host::ModelWorksheet& sheet = Division();
  WriteTable(sheet, {"总分"}, {{Value(90)}, {Value(80)}, {Value("缺考")}, {Value(70)}});
  EXPECT_EQ(TopAverage(sheet, 2, 5, 1, 2), Value(85));
  // Text counts as a row but adds nothing, as a sum over the cells does.
  EXPECT_EQ(TopAverage(sheet, 2, 5, 1, 3), Value(170.0 / 3));
  EXPECT_EQ(TopAverage(sheet, 2, 5, 1, 10), Value(240.0 / 4));
  EXPECT_EQ(TopAverage(sheet, 4, 3, 1, 2), Value());  // a class without students
  try {
    TopAverage(sheet, 2, 5, 1, 0);
    FAIL() << "expected error 11";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrDivisionByZero);
  }
}

}  // namespace
}  // namespace fenban::statistics::test
