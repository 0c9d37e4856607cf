// The class assignment on a prepared "FBB": ranking, serpentine dealing, the
// top block, balance groups with their leftovers, and the group limit.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "division/work_table.h"
#include "division_world.h"
#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::division::testing {
namespace {

using host::Value;

int32_t ColumnOf(host::Worksheet& sheet, const char* header) { return sheets::FindHeaderColumn(sheet, header); }

std::vector<int32_t> ClassColumn(host::Worksheet& sheet) {
  std::vector<int32_t> classes;
  const int32_t rows = sheet.CurrentRegion(1, 1).Rows();
  for (int32_t r = 2; r <= rows; ++r) classes.push_back(sheet.CellValue(r, 1).ToLong());
  return classes;
}

std::vector<double> TotalColumn(host::Worksheet& sheet) {
  std::vector<double> totals;
  const int32_t column = ColumnOf(sheet, "总分");
  const int32_t rows = sheet.CurrentRegion(1, 1).Rows();
  for (int32_t r = 2; r <= rows; ++r) totals.push_back(sheet.CellValue(r, column).ToDouble());
  return totals;
}

TEST(SerpentineDealing, RepeatsEachEndAndStartsFromEitherSide) {
  DivisionWorld world;
  host::Worksheet& sheet = world.Work();
  DealSerpentine(sheet, 2, 9, 3, true);
  std::vector<int32_t> upward;
  for (int32_t r = 2; r <= 9; ++r) upward.push_back(sheet.CellValue(r, 1).ToLong());
  EXPECT_EQ(upward, (std::vector<int32_t>{1, 2, 3, 3, 2, 1, 1, 2}));

  DealSerpentine(sheet, 2, 9, 3, false);
  std::vector<int32_t> downward;
  for (int32_t r = 2; r <= 9; ++r) downward.push_back(sheet.CellValue(r, 1).ToLong());
  EXPECT_EQ(downward, (std::vector<int32_t>{3, 2, 1, 1, 2, 3, 3, 2}));

  DealSerpentine(sheet, 2, 5, 1, false);
  for (int32_t r = 2; r <= 5; ++r) EXPECT_EQ(sheet.CellValue(r, 1).ToLong(), 1);
  EXPECT_TRUE(sheet.CellValue(1, 1).IsEmpty());
  EXPECT_EQ(sheet.CellValue(6, 1).ToLong(), 2) << "rows outside the range keep their numbers";
}

TEST(AssignClasses, SevenStudentsInThreeClassesAreDealtByRank) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "总分"},
                                            {"d", 70},
                                            {"a", 95},
                                            {"g", 40},
                                            {"c", 80},
                                            {"f", 50},
                                            {"b", 90},
                                            {"e", 60}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 3, 0, {}));
  EXPECT_EQ(TotalColumn(world.Work()), (std::vector<double>{95, 90, 80, 70, 60, 50, 40}));
  EXPECT_EQ(ClassColumn(world.Work()), (std::vector<int32_t>{1, 2, 3, 3, 2, 1, 1}));
  EXPECT_TRUE(world.Work().CellValue(1, table.spareColumn).IsEmpty()) << "the random keys are cleared";
  EXPECT_TRUE(world.Work().CellValue(2, table.spareColumn).IsEmpty());
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
  EXPECT_TRUE(NothingBelowRowOne(world.Leftovers()));
}

// The random keys go into the "序号" column, which is empty again
// afterwards; no column is added beside the table, so no row of a large
// table is widened while it is sorted.
TEST(AssignClasses, RandomKeysDoNotWidenTheRows) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "总分"}, {"a", 70}, {"b", 95}, {"c", 70}, {"d", 80}});
  auto& work = dynamic_cast<host::ModelWorksheet&>(world.Work());
  const auto roomOfRows = [&work] {
    size_t room = 0;
    for (const host::RowData& row : std::as_const(work).RowsData()) room += row.cells.capacity();
    return room;
  };
  const size_t before = roomOfRows();
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {}));
  EXPECT_EQ(roomOfRows(), before);
  EXPECT_EQ(work.CellValue(1, 2), Value("序号"));
  for (int32_t r = 2; r <= 5; ++r) EXPECT_TRUE(work.CellValue(r, 2).IsEmpty()) << r;
  EXPECT_EQ(TotalColumn(world.Work()), (std::vector<double>{95, 80, 70, 70}));
}

// The finished work table goes to the division sheet in blocks of rows,
// each cleared from the work sheet as it goes; formats go along.
TEST(MoveWorkTable, BlocksOfRowsArriveInOrderAndLeaveTheWorkSheetEmpty) {
  DivisionWorld world;
  host::Worksheet& work = world.Work();
  world.PrepareWork({{"姓名", "总分"}, {"a", 95}, {"b", 90}, {"c", 80}, {"d", 70}, {"e", 60}});
  work.Format(host::Rect{4, 4, 4, 4}, [](host::CellStyle& style) { style.bold = true; });
  host::Worksheet& destination = host::SheetsOf(world.app.ThisWorkbook()).Add();
  MoveWorkTable(work, destination, 2);
  EXPECT_TRUE(SheetIsEmpty(work));
  EXPECT_EQ(destination.CurrentRegion(1, 1), (host::Rect{1, 1, 6, 4}));
  EXPECT_EQ(TotalColumn(destination), (std::vector<double>{95, 90, 80, 70, 60}));
  EXPECT_EQ(destination.CellValue(1, 2), Value("序号"));
  EXPECT_TRUE(destination.CellFormat(4, 4).bold);

  world.PrepareWork({{"姓名", "总分"}, {"a", 95}, {"b", 90}, {"c", 80}});
  host::Worksheet& single = host::SheetsOf(world.app.ThisWorkbook()).Add();
  MoveWorkTable(work, single, 1);  // one row at a time, the header too
  EXPECT_EQ(TotalColumn(single), (std::vector<double>{95, 90, 80}));
  EXPECT_TRUE(SheetIsEmpty(work));
}

TEST(AssignClasses, FifthBoyIsCutAndDealtAsTheLastGroup) {
  DivisionWorld world;
  world.form.txtFenBan.value = 2;
  const WorkTable table = world.PrepareWork({{"姓名", "性别", "总分"},
                                            {"g1", "女", 95},
                                            {"b1", "男", 100},
                                            {"b5", "男", 60},
                                            {"g2", "女", 85},
                                            {"b2", "男", 90},
                                            {"g4", "女", 65},
                                            {"b3", "男", 80},
                                            {"g3", "女", 75},
                                            {"b4", "男", 70}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {.sex = true}));
  const std::map<std::string, int32_t> expected = {
      {"b1", 1}, {"b2", 2}, {"b3", 2}, {"b4", 1},  // 男 x4 upward
      {"g1", 2}, {"g2", 1}, {"g3", 1}, {"g4", 2},  // 女 x4 downward
      {"b5", 1},                                   // the leftover group, upward
  };
  EXPECT_EQ(ClassesByKey(world.Work(), 1, 3), expected);
  EXPECT_EQ(TotalColumn(world.Work()), (std::vector<double>{100, 95, 90, 85, 80, 75, 70, 65, 60}));
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
  EXPECT_TRUE(SheetIsEmpty(world.Leftovers())) << "SYB is cleared once the cut rows went back";
}

TEST(AssignClasses, SeveralCutsAreKeptInCutOrder) {
  // Three runs that each lose their lowest student: every cut must survive,
  // and the leftover group is dealt in the order the rows were cut.
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "住校", "总分"},
                                            {"x1", "是", 100},
                                            {"x2", "是", 90},
                                            {"x3", "是", 80},
                                            {"y1", "否", 99},
                                            {"y2", "否", 89},
                                            {"y3", "否", 79},
                                            {"z1", "走读", 98},
                                            {"z2", "走读", 88},
                                            {"z3", "走读", 78}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {.boarding = true}));
  // Descending text order of the boarding values: 走读 (U+8D70) > 是 (U+662F) > 否 (U+5426).
  const std::map<std::string, int32_t> expected = {
      {"z1", 1}, {"z2", 2},  // group 1 upward
      {"x1", 2}, {"x2", 1},  // group 2 downward
      {"y1", 1}, {"y2", 2},  // group 3 upward
      {"z3", 2}, {"x3", 1}, {"y3", 1},  // leftovers z3, x3, y3 as group 4, downward: 2, 1, 1
  };
  EXPECT_EQ(ClassesByKey(world.Work(), 1, 3), expected);
  EXPECT_EQ(world.Work().CurrentRegion(1, 1).Rows(), 10);
  EXPECT_TRUE(SheetIsEmpty(world.Leftovers()));
}

TEST(AssignClasses, TopBlockIsDealtByRankAloneAndComesBack) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "性别", "总分"},
                                            {"E", "男", 90},
                                            {"B", "女", 99},
                                            {"H", "女", 60},
                                            {"A", "男", 100},
                                            {"F", "男", 80},
                                            {"D", "男", 97},
                                            {"G", "女", 70},
                                            {"C", "女", 98}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 4, {.sex = true}));
  const std::map<std::string, int32_t> expected = {
      {"A", 1}, {"B", 2}, {"C", 2}, {"D", 1},  // the top block by rank
      {"E", 1}, {"F", 2},                      // 男 upward
      {"G", 2}, {"H", 1},                      // 女 downward
  };
  EXPECT_EQ(ClassesByKey(world.Work(), 1, 3), expected);
  EXPECT_EQ(TotalColumn(world.Work()), (std::vector<double>{100, 99, 98, 97, 90, 80, 70, 60}));
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
}

TEST(AssignClasses, TopBlockNeedsATickedBox) {
  DivisionWorld world;
  const WorkTable table =
      world.PrepareWork({{"姓名", "性别", "总分"}, {"a", "男", 4}, {"b", "女", 3}, {"c", "男", 2}, {"d", "女", 1}});
  // A top block of two would restart the dealing after it (1, 2, 1, 2).
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 2, {}));
  EXPECT_EQ(ClassColumn(world.Work()), (std::vector<int32_t>{1, 2, 2, 1}));
  EXPECT_EQ(world.Work().CurrentRegion(1, 1).Rows(), 5);
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
}

TEST(AssignClasses, TopBlockLargerThanTheClassTakesOnlyTheStudents) {
  DivisionWorld world;
  const WorkTable table =
      world.PrepareWork({{"姓名", "性别", "总分"}, {"a", "男", 90}, {"b", "女", 80}, {"c", "男", 70}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 10, {.sex = true}));
  EXPECT_EQ(world.Work().CurrentRegion(1, 1).Rows(), 4) << "no rows holding only a class number";
  EXPECT_EQ(ClassColumn(world.Work()), (std::vector<int32_t>{1, 2, 2}));
  EXPECT_TRUE(world.Work().CellValue(5, 1).IsEmpty());
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
}

TEST(AssignClasses, GroupOfWholeClassesNeedsNoCut) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "性别", "总分"},
                                            {"b1", "男", 90},
                                            {"b2", "男", 80},
                                            {"b3", "男", 70},
                                            {"b4", "男", 60},
                                            {"g1", "女", 85},
                                            {"g2", "女", 75}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {.sex = true}));
  EXPECT_EQ(world.Leftovers().CellValue(1, 1), Value("新班级")) << "the header row stays on SYB";
  EXPECT_EQ(world.Leftovers().CellValue(1, 5), Value("总分"));
  EXPECT_TRUE(NothingBelowRowOne(world.Leftovers()));
  const std::map<std::string, int32_t> expected = {{"b1", 1}, {"b2", 2}, {"b3", 2},
                                                   {"b4", 1}, {"g1", 2}, {"g2", 1}};
  EXPECT_EQ(ClassesByKey(world.Work(), 1, 3), expected);
}

TEST(AssignClasses, BoardingAndSexTogetherGroupByBoarding) {
  DivisionWorld world;
  // After the balance sorts the rows read (男,是) x4, (男,否) x4, (女,否) x4.
  const WorkTable table = world.PrepareWork({{"姓名", "性别", "住校", "总分"},
                                            {"mY1", "男", "是", 99},
                                            {"fN1", "女", "否", 98},
                                            {"mN1", "男", "否", 97},
                                            {"mY2", "男", "是", 96},
                                            {"fN2", "女", "否", 95},
                                            {"mN2", "男", "否", 94},
                                            {"mY3", "男", "是", 93},
                                            {"fN3", "女", "否", 92},
                                            {"mN3", "男", "否", 91},
                                            {"mY4", "男", "是", 90},
                                            {"fN4", "女", "否", 89},
                                            {"mN4", "男", "否", 88}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {.boarding = true, .sex = true}));
  const std::map<std::string, int32_t> expected = {
      {"mY1", 1}, {"mY2", 2}, {"mY3", 2}, {"mY4", 1},  // 是 x4, group 1 upward
      {"mN1", 2}, {"mN2", 1}, {"mN3", 1}, {"mN4", 2},  // 否 x8, group 2 downward ...
      {"fN1", 2}, {"fN2", 1}, {"fN3", 1}, {"fN4", 2},  // ... continuing through the girls
  };
  EXPECT_EQ(ClassesByKey(world.Work(), 1, 3), expected);
  EXPECT_TRUE(NothingBelowRowOne(world.Leftovers()));
}

TEST(AssignClasses, MissingBalanceColumnsShowTheirMessagesInOrder) {
  struct Case {
    BalanceFlags flags;
    Table data;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{.current = true, .boarding = true, .sex = true},
       {{"姓名", "总分"}, {"a", 1}},
       "数据表没有“应届”列，不应该勾选“应届”项！"},
      {{.boarding = true, .sex = true}, {{"姓名", "总分"}, {"a", 1}}, "数据表没有“住校”列，不应该勾选“住校”项！"},
      {{.current = true, .sex = true},
       {{"姓名", "应届", "总分"}, {"a", "是", 1}},
       "数据表没有“性别”列，不应该勾选“性别”项！"},
  };
  for (const Case& c : cases) {
    DivisionWorld world;
    const WorkTable table = world.PrepareWork(c.data);
    EXPECT_FALSE(AssignClasses(world.app, world.Work(), table, 2, 0, c.flags));
    ASSERT_EQ(world.services.messages.size(), 1u);
    EXPECT_EQ(world.services.messages[0].prompt, c.message);
    EXPECT_EQ(world.services.messages[0].title, "警告");
    EXPECT_EQ(world.services.messages[0].style, 48);
  }
}

Table RunsOfTwo(int32_t runCount, int32_t lastRunSize) {
  Table data = {{"姓名", "性别", "总分"}};
  int32_t total = 1000;
  for (int32_t run = 1; run <= runCount; ++run) {
    const int32_t size = run == runCount ? lastRunSize : 2;
    for (int32_t i = 0; i < size; ++i) {
      // Values that sort descending in run order: run 1 is "v9", run 9 is "v1".
      data.push_back({"s" + std::to_string(total), "v" + std::to_string(10 - run), total});
      --total;
    }
  }
  return data;
}

TEST(AssignClasses, NineGroupsFitTheGroupTable) {
  // Eight full runs and a run that starts at the last row: nine groups.
  DivisionWorld world;
  const WorkTable table = world.PrepareWork(RunsOfTwo(9, 1));
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 1, 0, {.sex = true}));
  for (int32_t c : ClassColumn(world.Work())) EXPECT_EQ(c, 1);
  EXPECT_EQ(world.Work().CurrentRegion(1, 1).Rows(), 18);
}

TEST(AssignClasses, MoreThanNineGroupsIsASubscriptError) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork(RunsOfTwo(9, 2));
  try {
    AssignClasses(world.app, world.Work(), table, 1, 0, {.sex = true});
    FAIL() << "expected run-time error 9";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), 9);
  }
}

TEST(AssignClasses, EqualTotalsComeOutInEitherOrderAndTheSeedRepeatsAnOrder) {
  std::map<std::string, int> firstSeen;
  std::vector<std::string> orderOfSeed7;
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    DivisionWorld world;
    world.services.seed = seed;
    const WorkTable table = world.PrepareWork({{"姓名", "总分"}, {"p", 80}, {"q", 80}, {"r", 90}});
    ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 2, 0, {}));
    EXPECT_EQ(world.Work().CellValue(2, 3), Value("r"));
    const std::string first = world.Work().CellValue(3, 3).ToText();
    ++firstSeen[first];
    if (seed == 7) orderOfSeed7 = {first, world.Work().CellValue(4, 3).ToText()};
  }
  EXPECT_GT(firstSeen["p"], 0);
  EXPECT_GT(firstSeen["q"], 0);

  DivisionWorld again;
  again.services.seed = 7;
  const WorkTable table = again.PrepareWork({{"姓名", "总分"}, {"p", 80}, {"q", 80}, {"r", 90}});
  ASSERT_TRUE(AssignClasses(again.app, again.Work(), table, 2, 0, {}));
  EXPECT_EQ(orderOfSeed7, (std::vector<std::string>{again.Work().CellValue(3, 3).ToText(),
                                                    again.Work().CellValue(4, 3).ToText()}));
}

TEST(AssignClasses, EmptyTableAssignsNothing) {
  DivisionWorld world;
  const WorkTable table = world.PrepareWork({{"姓名", "性别", "总分"}});
  ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, 3, 6, {.sex = true}));
  EXPECT_EQ(world.Work().CurrentRegion(1, 1).Rows(), 1);
  EXPECT_TRUE(world.Work().CellValue(2, 1).IsEmpty());
  EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
}

}  // namespace
}  // namespace fenban::division::testing
