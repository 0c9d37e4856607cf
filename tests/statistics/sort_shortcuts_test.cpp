// When the engine may leave its early sorts out: only where no two students
// of a class are tied in total and every subject, so that nothing it writes
// depends on the order those sorts leave them in.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "statistics/engine_data.h"
#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

class EarlySortsTest : public StatisticsTest {
 protected:
  // Whether the sorts matter for the division sheet as it stands, after the
  // engine's first step, the class list.
  bool MatterNow(int32_t classCount) {
    EngineData data;
    data.app = &app;
    data.state = &state;
    data.division = &Division();
    data.statistics = &Stats();
    data.classCount = classCount;
    data.totalColumn = 5;
    WriteClassList(data);
    return EarlySortsMatter(data);
  }
  bool Matter(const std::vector<Student>& students, int32_t classCount) {
    WriteStudents(Division(), students);
    return MatterNow(classCount);
  }
};

TEST_F(EarlySortsTest, TiesWithinAClassInTotalAndEverySubject) {
  std::vector<Student> students = ThreeClassesOfFive();
  EXPECT_FALSE(Matter(students, 3));
  // 张五 of class 1 now has 张三's marks.
  students[6] = {Value(1), "张五", "女", 220, 91, 60};
  EXPECT_TRUE(Matter(students, 3));
  // The same marks in another class order nothing.
  students[6].classLabel = Value(2);
  EXPECT_FALSE(Matter(students, 3));
  // Tied in total and 语文 but not in 数学.
  students[6] = {Value(1), "张五", "女", 220, 91, 61};
  EXPECT_FALSE(Matter(students, 3));
}

TEST_F(EarlySortsTest, OnlyTheSubjectsListedAreKeys) {
  std::vector<Student> students = ThreeClassesOfFive();
  students[6] = {Value(1), "张五", "女", 220, 91, 61};
  SetSubjects({"语文"});
  // 数学 is no subject now, so the two are tied in every key.
  EXPECT_TRUE(Matter(students, 3));
}

TEST_F(EarlySortsTest, KeysThatAreNotNumbersKeepTheSorts) {
  EXPECT_FALSE(Matter(ThreeClassesOfFive(), 3));
  Division().SetCellValue(4, 6, Value("缺考"));
  EXPECT_TRUE(MatterNow(3));
  Division().SetCellValue(4, 6, Value());
  EXPECT_TRUE(MatterNow(3));
}

TEST_F(StatisticsTest, StudentsTiedInEverythingButCategoryAreListedAsTheCategorySortLeftThem) {
  // Two 张三 of class 1 alike but for 性别, 男 first; the sort by class and
  // 性别 puts 女 first, and no later sort tells them apart.
  WriteStudents(Division(), {{Value(1), "张三", "男", 200, 100, 100},
                             {Value(2), "李四", "女", 210, 100, 110},
                             {Value(1), "张三", "女", 200, 100, 100},
                             {Value(2), "李五", "男", 190, 90, 100}});
  Build(2, 1, 1);
  host::ModelWorksheet& division = Division();
  // Row 1 is the title now, row 2 the header.
  EXPECT_EQ(division.CellValue(3, 3), Value("张三"));
  EXPECT_EQ(division.CellValue(3, 4), Value("女"));
  EXPECT_EQ(division.CellValue(4, 4), Value("男"));
  EXPECT_EQ(StatsAt(2, 3), Value("性别\n女"));
  EXPECT_EQ(StatsAt(3, 3), Value(1));
  EXPECT_EQ(StatsAt(4, 3), Value(1));
}

}  // namespace
}  // namespace fenban::statistics::test

namespace fenban::statistics::test {
namespace {

// One data workbook divided at random: classes of 20 students in shuffled
// order, marks from narrow ranges (many ties) or wide ones (few).
class RandomDivision : public StatisticsTest {
 public:
  void TestBody() override {}

  RandomDivision(uint32_t seed, bool narrow) {
    std::mt19937 random(seed);
    const auto draw = [&random](int32_t low, int32_t high) {
      return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    std::vector<std::vector<Value>> rows;
    for (int32_t i = 0; i < 60; ++i) {
      const int32_t chinese = narrow ? draw(8, 9) : draw(0, 150);
      const int32_t math = narrow ? draw(8, 9) : draw(0, 150);
      rows.push_back({Value(i % 3 + 1), Value(), Value(std::string(1, static_cast<char>('a' + draw(0, 3)))),
                      Value(draw(0, 1) == 0 ? "男" : "女"), Value(draw(0, 1) == 0 ? "是" : "否"),
                      Value(chinese + math + (narrow ? 0 : draw(0, 300))), Value(chinese), Value(math)});
    }
    std::shuffle(rows.begin(), rows.end(), random);
    WriteTable(Division(), {"新班级", "序号", "姓名", "性别", "住校", "总分", "语文", "数学"}, rows);
  }

  // The engine with every sort it was written with, as when ties forbid
  // leaving any out.
  void BuildWithEverySort() {
    EngineData data;
    data.app = &app;
    data.state = &state;
    data.classCount = 3;
    data.excellentQuota = 3;
    data.passQuota = 7;
    data.statisticsSheetName = "统计表1";
    data.division = &Division();
    data.statistics = &Stats();
    data.division->Activate();
    data.nameColumn = 3;
    data.sexColumn = 4;
    data.boardingColumn = 5;
    data.totalColumn = 6;
    WriteClassList(data);
    data.earlySortsMatter = true;
    WriteCategoryCounts(data);
    WriteScoreBands(data);
    CountBalanceColumns(data);
    WriteSubjectTables(data);
    ReportDuplicateNames(data);
    FinishDivisionSheet(data);
    FinishStatisticsSheet(data);
  }

  bool EarlySortsMatterHere() {
    EngineData data;
    data.app = &app;
    data.state = &state;
    data.division = &Division();
    data.statistics = &Stats();
    data.classCount = 3;
    data.totalColumn = 6;
    WriteClassList(data);
    return EarlySortsMatter(data);
  }
};

void ExpectSameSheets(host::ModelWorksheet& expected, host::ModelWorksheet& actual, const std::string& what) {
  for (int32_t row = 1; row <= 70; ++row) {
    for (int32_t column = 1; column <= 20; ++column) {
      ASSERT_EQ(actual.CellValue(row, column), expected.CellValue(row, column))
          << what << " row " << row << " column " << column;
    }
  }
  for (int32_t column = 1; column <= 20; ++column) {
    EXPECT_EQ(actual.ColumnWidth(column), expected.ColumnWidth(column)) << what << " column " << column;
  }
  EXPECT_EQ(actual.HPageBreaks(), expected.HPageBreaks()) << what;
}

TEST(EarlySortsLeftOut, SheetsAreThoseOfEverySort) {
  int32_t leftOut = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const bool narrow = seed % 2 == 0;
    RandomDivision shortcut(seed, narrow);
    RandomDivision everySort(seed, narrow);
    if (!RandomDivision(seed, narrow).EarlySortsMatterHere()) ++leftOut;
    shortcut.Build(3, 3, 7);
    everySort.BuildWithEverySort();
    ExpectSameSheets(everySort.Division(), shortcut.Division(), "division, seed " + std::to_string(seed));
    ExpectSameSheets(everySort.Stats(), shortcut.Stats(), "statistics, seed " + std::to_string(seed));
  }
  // Both ways were taken.
  EXPECT_GT(leftOut, 5);
  EXPECT_LT(leftOut, 40);
}

}  // namespace
}  // namespace fenban::statistics::test
