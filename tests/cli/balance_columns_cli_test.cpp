// The "均衡列" through the program: --balance stored in fenban.xlsx, the
// table below the statistics read back with openpyxl (the sheet's own tables
// where they were), the counts in the terminal's summary, and a name the
// list lacks refused with nothing saved.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// Adds a "毕业学校" column of six schools of uneven size (every 23rd
// student without one) to the example list.
constexpr const char* kAddSchools = R"(
import sys, random, openpyxl
random.seed(5)
book = openpyxl.load_workbook(sys.argv[1])
sheet = book['数据表']
column = sheet.max_column + 1
sheet.cell(1, column, '毕业学校')
for r in range(2, sheet.max_row + 1):
    if r % 23 != 0:
        sheet.cell(r, column, random.choices(['一中', '二中', '实验', '外国语', '八中', '十中'], [8, 5, 3, 2, 1, 1])[0])
book.save(sys.argv[1])
)";

// Checks 统计表N of a division of k classes: the sheet's own tables where
// they stand without the option, then the school table below them, whose
// counts must be those of 分班表N; prints its largest "最大差" and K2 of DTB.
constexpr const char* kCheckTable = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
host = openpyxl.load_workbook(sys.argv[2])
number, k = sys.argv[3], int(sys.argv[4])
stats, division = book['统计表' + number], book['分班表' + number]
a = lambda r: stats.cell(r, 1).value
assert a(1) == '各项人数统计(统计表%s)' % number, a(1)
assert a(2) == '新班级' and a(k + 3) == '最大差', (a(2), a(k + 3))
assert a(k + 5) == '优秀人数统计(前20名)', a(k + 5)
assert a(k + 6) == '新班级' and a(2 * k + 7) == '最大差'
assert a(2 * k + 9) == '平均分统计(前20名)', a(2 * k + 9)
assert a(2 * k + 10) == '新班级' and a(3 * k + 11) == '最大差'
assert a(3 * k + 12) is None
assert a(3 * k + 13) == '毕业学校人数统计', a(3 * k + 13)
header = 3 * k + 14
assert a(header) == '新班级'
schools = []
c = 2
while stats.cell(header, c).value is not None:
    schools.append(stats.cell(header, c).value.replace('\n', ''))
    c += 1
assert schools == sorted(schools), schools
# Counts from the division sheet (header in row 2 under its title).
columns = [division.cell(2, c).value for c in range(1, division.max_column + 1)]
school = columns.index('毕业学校') + 1
counted = {}
for r in range(3, division.max_row + 1):
    label, value = division.cell(r, 1).value, division.cell(r, school).value
    if label is None or label == '新班级' or not isinstance(label, (int, float)):
        continue
    if value is not None:
        counted[(int(label), value)] = counted.get((int(label), value), 0) + 1
for i in range(k):
    row = header + 1 + i
    assert stats.cell(row, 1).value == i + 1
    for j, name in enumerate(schools):
        assert stats.cell(row, 2 + j).value == counted.get((i + 1, name), 0), (i + 1, name)
diff = [stats.cell(header + k + 1, 2 + j).value for j in range(len(schools))]
assert a(header + k + 1) == '最大差'
for j, name in enumerate(schools):
    per = [counted.get((i + 1, name), 0) for i in range(k)]
    assert diff[j] == max(per) - min(per), name
print(len(schools), 'schools, largest', max(diff), '|', host['DTB']['K2'].value)
)";

TEST(BalanceColumnsCli, RefinedSchoolsComeWithinOneAndTheirTableStandsBelowTheStatistics) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  InitWithExample(temp.Path(), 200);
  const fs::path book = temp.Path() / "数据" / "示例.xlsx", host = temp.Path() / "fenban.xlsx";
  ASSERT_EQ(RunPython(temp.Path(), kAddSchools, {book.string()}), "");

  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "5", "--refine", "--balance",
                                          "毕业学校，", "--seed", "4"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("  均衡列 balance 毕业学校\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("毕业学校人数统计:\n新班级"), std::string::npos) << "counts per class in the summary";
  EXPECT_NE(run.out.find("\n毕业学校人数统计  "), std::string::npos) << "dealt and refined in the refinement's summary";
  const std::string refined = RunPython(temp.Path(), kCheckTable, {book.string(), host.string(), "1", "5"});
  EXPECT_EQ(refined, "6 schools, largest 1 | 毕业学校\n");

  // 统计 rebuilds the table with the stored option; "" clears it.
  run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(RunPython(temp.Path(), kCheckTable, {book.string(), host.string(), "1", "5"}), refined);
  run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--no-refine", "--balance", "", "--seed", "4"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(run.out.find("毕业学校人数统计"), std::string::npos);
}

TEST(BalanceColumnsCli, ANameTheListLacksIsRefusedAndNothingIsSaved) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 60);
  const auto before = Snapshot(temp.Path());
  const RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--refine", "--balance", "原班级、性别"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("警告: 数据表第 1 行没有“均衡列”写的“原班级”列，没有分班。数据表的列名有：考号、姓名、性别、"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("(a column --balance names is not in the header row of 数据表, whose headers are listed; nothing was divided)"),
            std::string::npos);
  EXPECT_NE(run.err.find("没有保存任何文件 nothing was saved."), std::string::npos);
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

}  // namespace
}  // namespace fenban::clitest
