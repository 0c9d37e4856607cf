// The class count table: class labels and sizes, category counts and the
// total-score bands.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/errors.h"
#include "statistics/engine_data.h"
#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

TEST(BandCountTest, FollowsTheRowCountPerFiveStudentsOfEachClass) {
  EXPECT_EQ(BandCountFor(601, 12), 9);   // 601 \ 60 - 1
  EXPECT_EQ(BandCountFor(16, 3), 1);     // 16 \ 15 - 1 = 0, raised to 1
  EXPECT_EQ(BandCountFor(9, 1), 1);      // 9 \ 5 - 1 = 0
  EXPECT_EQ(BandCountFor(4, 2), 1);      // below zero, raised to 1
  EXPECT_EQ(BandCountFor(20, 2), 1);     // 10k: 20 \ 10 - 1 = 1 directly
  EXPECT_EQ(BandCountFor(29, 2), 1);     // 15k - 1
  EXPECT_EQ(BandCountFor(30, 2), 2);
  EXPECT_EQ(BandCountFor(1005, 1), 200); // exactly 200 stays
  EXPECT_EQ(BandCountFor(1010, 1), 150); // 201 becomes 150
  EXPECT_EQ(BandCountFor(1000000, 1), 150);
}

TEST(BandCountTest, NoClassesIsADivisionByZero) {
  try {
    BandCountFor(10, 0);
    FAIL() << "expected error 11";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrDivisionByZero);
  }
}

TEST_F(StatisticsTest, IntegerMarkTakesTheIntegerPartAndNamesACellItCannotRead) {
  host::Worksheet& sheet = Division();
  sheet.SetCellValue(1, 1, "总分");
  const std::vector<Value> marks{Value(85.7), Value(89.5), Value(90), Value(-0.5), Value(), Value("缺考"), Value(3e10)};
  for (size_t i = 0; i < marks.size(); ++i) sheet.SetCellValue(static_cast<int32_t>(i + 2), 1, marks[i]);
  EXPECT_EQ(IntegerMark(sheet, 2, 1), 85);
  EXPECT_EQ(IntegerMark(sheet, 3, 1), 89);
  EXPECT_EQ(IntegerMark(sheet, 4, 1), 90);
  EXPECT_EQ(IntegerMark(sheet, 5, 1), -1);
  EXPECT_EQ(IntegerMark(sheet, 6, 1), 0);
  try {
    IntegerMark(sheet, 7, 1);
    FAIL() << "expected error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrTypeMismatch);
    EXPECT_EQ(error.Description(), "类型不匹配：工作表“" + sheet.Name() + "”单元格 A7（“总分”列）的值“缺考”");
  }
  try {
    IntegerMark(sheet, 8, 1);
    FAIL() << "expected error 6";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrOverflow);
    EXPECT_EQ(error.Description(), "溢出：工作表“" + sheet.Name() + "”单元格 A8（“总分”列）的值 30000000000");
  }
}

TEST_F(StatisticsTest, CategoryCountsTheNamedValueNotEachClassesFirstValue) {
  // Class 2 has no 女: it counts 0 under "性别\n女", not its run of 男.
  WriteStudents(Division(), {{Value(1), "甲", "男", 90, 0, 0},
                             {Value(2), "乙", "男", 80, 0, 0},
                             {Value(1), "丙", "女", 70, 0, 0},
                             {Value(2), "丁", "男", 60, 0, 0},
                             {Value(2), "戊", "男", 50, 0, 0}});
  Build(2, 1, 1);
  EXPECT_EQ(StatsAt(2, 3), Value("性别\n女"));
  EXPECT_EQ(StatsAt(3, 3), Value(1));
  EXPECT_EQ(StatsAt(4, 3), Value(0));
  EXPECT_EQ(StatsAt(5, 3), Value(1));  // 最大差
  EXPECT_EQ(StatsAt(3, 2), Value(2));
  EXPECT_EQ(StatsAt(4, 2), Value(3));
}

// Headers 新班级 序号 姓名 [categories] 总分, one student per class.
void WriteWithCategories(host::Worksheet& sheet, const std::vector<std::string>& categories) {
  std::vector<std::string> headers{"新班级", "序号", "姓名"};
  headers.insert(headers.end(), categories.begin(), categories.end());
  headers.push_back("总分");
  std::vector<std::vector<Value>> rows;
  for (int32_t c = 1; c <= 2; ++c) {
    std::vector<Value> row{Value(c), Value(), Value(c == 1 ? "甲" : "乙")};
    for (size_t i = 0; i < categories.size(); ++i) row.push_back(Value(c == 1 ? "是" : "否"));
    row.push_back(Value(100 - c));
    rows.push_back(row);
  }
  StatisticsTest::WriteTable(sheet, headers, rows);
}

struct CategoryCase {
  std::vector<std::string> categories;
  int32_t firstBandColumn;
};

class BandColumnTest : public StatisticsTest, public ::testing::WithParamInterface<CategoryCase> {};

TEST_P(BandColumnTest, BandsFollowTheLastCategoryWritten) {
  const CategoryCase& param = GetParam();
  WriteWithCategories(Division(), param.categories);
  Build(2, 1, 1);
  // Fewer than five students per class: one band read from an empty row, 0.
  EXPECT_EQ(StatsAt(2, param.firstBandColumn), Value("总分\n≥0"));
  EXPECT_TRUE(StatsAt(2, param.firstBandColumn + 1).IsEmpty());
  EXPECT_EQ(StatsAt(3, param.firstBandColumn), Value(1));
  EXPECT_EQ(StatsAt(4, param.firstBandColumn), Value(1));
  for (int32_t col = 3; col < param.firstBandColumn; ++col) {
    const std::vector<std::string>& cats = param.categories;
    const char* category = col == 3 ? "性别" : col == 4 ? "住校" : "应届";
    const bool present = std::find(cats.begin(), cats.end(), category) != cats.end();
    if (present) {
      // The first student of class 1 names the value counted.
      EXPECT_EQ(StatsAt(2, col), Value(std::string(category) + "\n是")) << col;
      EXPECT_EQ(StatsAt(3, col), Value(1)) << col;
      EXPECT_EQ(StatsAt(4, col), Value(0)) << col;
    } else {
      EXPECT_TRUE(StatsAt(2, col).IsEmpty()) << col;
      EXPECT_TRUE(StatsAt(3, col).IsEmpty()) << col;
    }
    // An empty column inside the table still gets its frame and a 0 in 最大差.
    EXPECT_EQ(StatsAt(5, col), Value(present ? 1 : 0)) << col;
    EXPECT_EQ(Stats().CellFormat(3, col).borders[host::kSideTop], host::kLineContinuous) << col;
  }
  // The sheet title spans the class count table up to its band column.
  EXPECT_TRUE(HasMerge(Stats(), 1, 1, 1, param.firstBandColumn));
}

INSTANTIATE_TEST_SUITE_P(Categories, BandColumnTest,
                         ::testing::Values(CategoryCase{{}, 3}, CategoryCase{{"性别"}, 4},
                                           CategoryCase{{"住校"}, 5}, CategoryCase{{"性别", "住校"}, 5},
                                           CategoryCase{{"应届"}, 6}, CategoryCase{{"性别", "应届"}, 6},
                                           CategoryCase{{"性别", "住校", "应届"}, 6}),
                         [](const ::testing::TestParamInfo<CategoryCase>& caseInfo) {
                           return "BandsFromColumn" + std::to_string(caseInfo.param.firstBandColumn) + "Case" +
                                  std::to_string(caseInfo.index);
                         });

TEST_F(StatisticsTest, SixHundredStudentsInTwelveClassesGiveNineBands) {
  // Rank r has total 601 - r + 0.7 and sits in class (r - 1) mod 12 + 1.
  std::vector<std::vector<Value>> rows;
  for (int32_t r = 1; r <= 600; ++r) {
    rows.push_back({Value((r - 1) % 12 + 1), Value(), Value("生" + std::to_string(r)),
                    Value(601.0 - r + 0.7)});
  }
  WriteTable(Division(), {"新班级", "序号", "姓名", "总分"}, rows);
  SetSubjects({});
  Build(12, 5, 10);
  for (int32_t g = 1; g <= 9; ++g) {
    // Band g is the total of the student ranked 60g, integer part 601 - 60g.
    EXPECT_EQ(StatsAt(2, 2 + g), Value("总分\n≥" + std::to_string(601 - 60 * g))) << g;
    for (int32_t c = 1; c <= 12; ++c) EXPECT_EQ(StatsAt(2 + c, 2 + g), Value(5 * g)) << g << "," << c;
    EXPECT_EQ(StatsAt(15, 2 + g), Value(0));
  }
  EXPECT_TRUE(StatsAt(2, 12).IsEmpty());
  for (int32_t c = 1; c <= 12; ++c) EXPECT_EQ(StatsAt(2 + c, 2), Value(50));
}

TEST_F(StatisticsTest, BandScoreIsComparedAsItsIntegerPart) {
  const double totals[] = {99, 95, 92, 90, 85.7, 85.2, 80, 70, 60, 50};
  std::vector<Student> students;
  for (double total : totals) students.push_back({Value(1), "生" + std::to_string(students.size()), "男", total, 0, 0});
  WriteStudents(Division(), students);
  Build(1, 1, 1);
  // 11 rows: one band, from row 6 = the fifth total, 85.7 -> 85; 85.2 counts.
  EXPECT_EQ(StatsAt(2, 4), Value("总分\n≥85"));
  EXPECT_TRUE(StatsAt(2, 5).IsEmpty());
  EXPECT_EQ(StatsAt(3, 4), Value(6));
}

TEST_F(StatisticsTest, LabelsBeyondTheClassCountAreLeftOut) {
  WriteStudents(Division(), {{Value(3), "甲", "男", 90, 0, 0},
                             {Value(1), "乙", "男", 80, 0, 0},
                             {Value(2), "丙", "男", 70, 0, 0},
                             {Value(1), "丁", "男", 60, 0, 0}});
  Build(2, 1, 1);
  EXPECT_EQ(StatsAt(3, 1), Value(1));
  EXPECT_EQ(StatsAt(3, 2), Value(2));
  EXPECT_EQ(StatsAt(4, 1), Value(2));
  EXPECT_EQ(StatsAt(4, 2), Value(1));
  EXPECT_EQ(StatsAt(5, 1), Value("最大差"));
  EXPECT_EQ(StatsAt(5, 2), Value(1));
}

TEST_F(StatisticsTest, MissingClassesGetEmptyLabelsAndSizeZero) {
  WriteStudents(Division(), {{Value("一班"), "甲", "男", 90, 80, 0},
                             {Value("二班"), "乙", "男", 80, 70, 0},
                             {Value("一班"), "丙", "女", 70, 60, 0}});
  Build(3, 1, 1);
  EXPECT_EQ(StatsAt(3, 1), Value("一班"));
  EXPECT_EQ(StatsAt(4, 1), Value("二班"));
  EXPECT_TRUE(StatsAt(5, 1).IsEmpty());
  EXPECT_EQ(StatsAt(3, 2), Value(2));
  EXPECT_EQ(StatsAt(4, 2), Value(1));
  EXPECT_EQ(StatsAt(5, 2), Value(0));
  EXPECT_EQ(StatsAt(6, 2), Value(2));  // 最大差 of 2, 1, 0
  EXPECT_EQ(StatsAt(5, 3), Value(0));  // no 女 in a class without students
}

}  // namespace
}  // namespace fenban::statistics::test
