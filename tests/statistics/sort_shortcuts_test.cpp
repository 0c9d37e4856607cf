// When the engine may leave its early sorts out: only where no two students
// of a class are tied in total and every subject, so that nothing it writes
// depends on the order those sorts leave them in.
#include <gtest/gtest.h>

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
