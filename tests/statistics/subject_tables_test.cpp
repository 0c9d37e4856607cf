// The subject count table and the subject average table: subject lookup,
// marks, counts and averages over each class's best totals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

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

namespace fenban::statistics::test {
namespace {

// The subject tables against the plain sequence of sorts they stand for: per
// block and subject a sort by class and subject, then one by class and total.
// Scores from a narrow range make ties common, so the order of tied students
// shows whether every left-out sort was accounted for.
class SubjectTablesOrderTest : public StatisticsTest {
 protected:
  static constexpr int32_t kColumns = 8;  // 新班级 序号 姓名 性别 总分 语文 数学 英语

  std::vector<std::vector<Value>> RandomStudents(std::mt19937& random, int32_t count, int32_t classCount) {
    std::vector<std::vector<Value>> rows;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t chinese = static_cast<int32_t>(random() % 4);
      const int32_t math = static_cast<int32_t>(random() % 3);
      const double english = static_cast<double>(random() % 5) / 2;
      // Every class has its first student early, so each label is present.
      const int32_t label = i < classCount ? i + 1 : static_cast<int32_t>(random() % static_cast<uint32_t>(classCount)) + 1;
      rows.push_back({Value(label), Value(),
                      Value("生" + std::to_string(i)), Value(random() % 2 == 0 ? "男" : "女"),
                      Value(chinese + math + static_cast<int32_t>(random() % 2)), Value(chinese), Value(math),
                      Value(english)});
    }
    return rows;
  }

  EngineData DataFor(host::Worksheet& statistics, int32_t classCount, int32_t excellent, int32_t pass) {
    EngineData data;
    data.app = &app;
    data.state = &state;
    data.division = &Division();
    data.statistics = &statistics;
    data.classCount = classCount;
    data.excellentQuota = excellent;
    data.passQuota = pass;
    data.nameColumn = 3;
    data.sexColumn = 4;
    data.totalColumn = 5;
    return data;
  }

  std::vector<std::vector<Value>> DivisionRows(int32_t count) {
    std::vector<std::vector<Value>> rows;
    for (int32_t r = 2; r <= count + 1; ++r) rows.push_back(Row(Division(), r, 1, kColumns));
    return rows;
  }

  // The mark of the student ranked `rank` by the column over all students
  // (0 past the last one), and per class the students at or above it.
  static std::vector<int32_t> ExpectedCounts(const std::vector<std::vector<Value>>& rows, size_t column,
                                             int32_t rank, int32_t classCount, int32_t& mark) {
    std::vector<double> scores;
    for (const auto& row : rows) scores.push_back(row[column].Number());
    std::sort(scores.rbegin(), scores.rend());
    mark = rank <= static_cast<int32_t>(scores.size()) ? static_cast<int32_t>(std::floor(scores[static_cast<size_t>(rank - 1)])) : 0;
    std::vector<int32_t> counts(static_cast<size_t>(classCount) + 1, 0);
    for (const auto& row : rows) {
      if (row[column].Number() >= mark) ++counts[static_cast<size_t>(row[0].ToDouble())];
    }
    return counts;
  }
};

TEST_F(SubjectTablesOrderTest, TiedStudentsEndAsAfterEverySubjectSort) {
  std::mt19937 random(20261207);
  const std::vector<std::vector<std::string>> subjectLists = {
      {"语文", "数学", "英语"}, {"英语", "语文"}, {"数学", "总分", "数学"}, {}, {"英语"}};
  dataWorkbook->AppendSheet("统计表2");
  for (int32_t round = 0; round < 40; ++round) {
    const auto& subjects = subjectLists[static_cast<size_t>(round) % subjectLists.size()];
    SetSubjects(subjects);
    const int32_t classCount = 2 + round % 5;
    const int32_t count = 10 + static_cast<int32_t>(random() % 150);
    const int32_t excellent = 1 + static_cast<int32_t>(random() % 8);
    const int32_t pass = excellent + static_cast<int32_t>(random() % 30);
    const auto students = RandomStudents(random, count, classCount);
    Division().Cells().Clear();
    Stats().Cells().Clear();
    WriteTable(Division(), {"新班级", "序号", "姓名", "性别", "总分", "语文", "数学", "英语"}, students);

    EngineData tables = DataFor(Stats(), classCount, excellent, pass);
    WriteClassCountTable(tables);
    WriteSubjectTables(tables);
    const auto ordered = DivisionRows(count);

    Division().Cells().Clear();
    WriteTable(Division(), {"新班级", "序号", "姓名", "性别", "总分", "语文", "数学", "英语"}, students);
    host::ModelWorksheet& scratch = Sheet(*dataWorkbook, "统计表2");
    scratch.Cells().Clear();
    EngineData plain = DataFor(scratch, classCount, excellent, pass);
    WriteClassCountTable(plain);
    for (int32_t block = 0; block < 2; ++block) {
      for (const int32_t column : tables.subjectColumn) SortDivision(plain, 1, host::kAscending, column, host::kDescending);
    }
    SortDivision(plain, 1, host::kAscending, 5, host::kDescending);
    ASSERT_EQ(ordered, DivisionRows(count)) << "round " << round;

    // Counts and averages against figures worked out from the rows alone.
    const int32_t subjectCount = tables.SubjectCount();
    for (int32_t block = 0; block < 2; ++block) {
      const int32_t quota = block == 0 ? excellent : pass;
      for (int32_t s = 0; s < subjectCount; ++s) {
        const int32_t column = 2 + block * subjectCount + s;
        int32_t mark = 0;
        const auto counts = ExpectedCounts(students, static_cast<size_t>(tables.subjectColumn[static_cast<size_t>(s)] - 1),
                                           classCount * quota, classCount, mark);
        EXPECT_EQ(StatsText(classCount + 5, column), tables.subjectName[static_cast<size_t>(s)] + "\n≥" +
                                                         std::to_string(mark)) << "round " << round;
        for (int32_t c = 1; c <= classCount; ++c) {
          const int32_t label = c;
          ASSERT_EQ(tables.classLabel[static_cast<size_t>(c)], Value(c));
          EXPECT_EQ(StatsAt(classCount + 5 + c, column), Value(counts[static_cast<size_t>(label)]))
              << "round " << round << " class " << label << " column " << column;
          // The average over the class's best totals, read from the ordered rows.
          std::vector<double> classScores;
          for (const auto& row : ordered) {
            if (row[0] == Value(label)) classScores.push_back(row[static_cast<size_t>(tables.subjectColumn[static_cast<size_t>(s)] - 1)].Number());
          }
          const size_t taken = std::min(static_cast<size_t>(quota), classScores.size());
          if (taken == 0) continue;
          double sum = 0;
          for (size_t i = 0; i < taken; ++i) sum += classScores[i];
          EXPECT_DOUBLE_EQ(StatsNumber(2 * classCount + 9 + c, column), sum / static_cast<double>(taken))
              << "round " << round << " class " << label;
        }
      }
    }
  }
}

}  // namespace
}  // namespace fenban::statistics::test
