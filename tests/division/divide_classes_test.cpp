// The division command end to end: messages, rounding, sheet numbering and
// placement, the counter in "DTB", and the working sheets it leaves behind.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "division_world.h"
#include "host/errors.h"

namespace fenban::division::testing {
namespace {

using host::Value;

Table SixStudents() {
  return {{"姓名", "性别", "总分", "语文"},
          {"甲", "男", 91, 90},
          {"乙", "女", 85, 80},
          {"丙", "男", 77, 70},
          {"丁", "女", 66, 60},
          {"戊", "男", 58, 50},
          {"己", "女", 49, 40}};
}

int32_t HeaderColumn(const host::Worksheet& sheet, int32_t headerRow, const std::string& header) {
  for (int32_t c = 1; c <= 64; ++c) {
    if (sheet.CellValue(headerRow, c).ToText() == header) return c;
  }
  return 0;
}

// name -> (class, total) of every student row of a division sheet.
std::map<std::string, std::pair<int32_t, double>> Students(const host::Worksheet& sheet) {
  std::map<std::string, std::pair<int32_t, double>> students;
  const int32_t headerRow = DivisionWorld::HeaderRowOf(sheet);
  if (headerRow == 0) return students;
  const int32_t nameColumn = HeaderColumn(sheet, headerRow, "姓名");
  const int32_t totalColumn = HeaderColumn(sheet, headerRow, "总分");
  for (int32_t r = headerRow + 1; !sheet.CellValue(r, nameColumn).IsEmpty(); ++r) {
    students[sheet.CellValue(r, nameColumn).ToText()] = {sheet.CellValue(r, 1).ToLong(),
                                                        sheet.CellValue(r, totalColumn).ToDouble()};
  }
  return students;
}

std::vector<std::string> SheetNames(host::Workbook& book) {
  std::vector<std::string> names;
  for (int32_t i = 1; i <= book.SheetCount(); ++i) names.push_back(book.SheetAt(i).Name());
  return names;
}

int32_t IndexOfSheet(host::Workbook& book, const std::string& name) {
  for (int32_t i = 1; i <= book.SheetCount(); ++i) {
    if (book.SheetAt(i).Name() == name) return i;
  }
  return 0;
}

TEST(DivideClassesMessages, NoChoiceShowsTheHintAndTouchesNoSheet) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.Work().SetCellValue(5, 5, "留");
  world.form.ltbBiao.SetListIndex(-1);
  DivideClasses(world.app, world.form, world.state);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt, "应选择数据表！");
  EXPECT_EQ(world.services.messages[0].title, "提示");
  EXPECT_EQ(world.services.messages[0].style, 0);
  EXPECT_EQ(world.Work().CellValue(5, 5), Value("留"));
  EXPECT_EQ(world.dataBook->SheetCount(), 1);
  EXPECT_TRUE(world.services.beeps.empty());
}

TEST(DivideClassesMessages, MissingDataSheetIsReported) {
  DivisionWorld world(false);
  world.Work().SetCellValue(5, 5, "留");
  DivideClasses(world.app, world.form, world.state);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt, "缺少 数据表，请检查！");
  EXPECT_EQ(world.services.messages[0].title, "提示");
  EXPECT_EQ(world.services.messages[0].style, 0);
  EXPECT_EQ(SheetNames(*world.dataBook), (std::vector<std::string>{"Sheet1"}));
  EXPECT_EQ(world.Work().CellValue(5, 5), Value("留"));
}

TEST(DivideClassesMessages, NoTotalColumnStopsWithEmptyWorkingSheets) {
  // "总分" right of an empty header cell is not read; the message says where
  // it is instead of saying that there is none.
  const std::vector<std::pair<Table, std::string>> tables = {
      {{{"姓名", "语文"}, {"甲", 90}},
       "数据表没有“总分”列，不能分班！第 1 行的表头：A1 姓名、B1 语文。请在第 1 行加一列“总分”，或在“总分列”里填总分那一列"
       "的表头（命令行 --total-column 表头），再分班。"},
      {{{"姓名", Value(), "总分"}, {"甲", 1, 90}},
       "数据表的“总分”在 C1，但读不到：表头只读到第一个空的表头单元格 B1 为止。请给 B1 填上表头（或删除这一列），再分班。"},
  };
  for (const auto& [data, message] : tables) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), data);
    world.form.txtFenBan.value = 1;
    world.state.NextSheetNo = 4;
    DivideClasses(world.app, world.form, world.state);
    ASSERT_EQ(world.services.messages.size(), 1u);
    EXPECT_EQ(world.services.messages[0].prompt, message);
    EXPECT_EQ(world.services.messages[0].title, "警告");
    EXPECT_EQ(world.services.messages[0].style, 48);
    EXPECT_TRUE(world.WorkingSheetsClean());
    EXPECT_EQ(world.dataBook->SheetCount(), 1);
    EXPECT_EQ(world.state.NextSheetNo, 4);
    EXPECT_TRUE(world.Settings().CellValue(3, 1).IsEmpty());
    EXPECT_TRUE(world.services.beeps.empty());
  }
}

TEST(DivideClassesMessages, BalanceBoxWithoutItsColumnLeavesNoTopBlockBehind) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.form.txtNMing.value = 1;  // T = 2: the top block is on "JZB" when the check fails
  world.Tick(true, true, false);
  DivideClasses(world.app, world.form, world.state);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt, "数据表没有“住校”列，不应该勾选“住校”项！");
  EXPECT_EQ(world.services.messages[0].title, "警告");
  EXPECT_EQ(world.services.messages[0].style, 48);
  EXPECT_TRUE(world.WorkingSheetsClean());
  EXPECT_EQ(world.dataBook->SheetCount(), 1);
}

TEST(DivideClasses, CompleteDivisionPlacesBothSheetsAndRecordsTheNextNumber) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.Template().SetCellValue(2, 1, "语文");
  world.state.NextSheetNo = 1;
  DivideClasses(world.app, world.form, world.state);
  EXPECT_TRUE(world.services.messages.empty()) << world.services.messages[0].prompt;
  EXPECT_EQ(SheetNames(*world.dataBook), (std::vector<std::string>{"分班表1", "统计表1", "数据表"}));
  EXPECT_EQ(world.state.NextSheetNo, 2);
  EXPECT_EQ(world.Settings().CellValue(3, 1).ToLong(), 2) << "row ListIndex + 2";
  EXPECT_TRUE(world.Settings().CellValue(3, 2).IsEmpty());
  EXPECT_TRUE(world.WorkingSheetsClean());
  ASSERT_EQ(world.services.beeps.size(), 1u);
  EXPECT_EQ(world.services.beeps[0], std::make_pair(360, 36));

  host::Worksheet& division = *world.dataBook->FindSheet("分班表1");
  const int32_t headerRow = DivisionWorld::HeaderRowOf(division);
  ASSERT_NE(headerRow, 0);
  EXPECT_EQ(division.CellValue(headerRow, 2), Value("序号"));
  const auto students = Students(division);
  ASSERT_EQ(students.size(), 6u);
  std::map<int32_t, int> sizes;
  for (const auto& [name, student] : students) ++sizes[student.first];
  EXPECT_EQ(sizes, (std::map<int32_t, int>{{1, 3}, {2, 3}}));
  EXPECT_EQ(students.at("甲"), std::make_pair(1, 91.0));
  EXPECT_EQ(students.at("乙"), std::make_pair(2, 85.0));
  EXPECT_EQ(students.at("丙"), std::make_pair(2, 77.0));
  EXPECT_EQ(students.at("丁"), std::make_pair(1, 66.0));
}

TEST(DivideClasses, SkippedNumberIsPassedOnce) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.state.NextSheetNo = 3;
  world.state.SkipSheetNo = 3;
  world.Settings().SetCellValue(3, 2, 3);
  DivideClasses(world.app, world.form, world.state);
  EXPECT_NE(world.dataBook->FindSheet("分班表4"), nullptr);
  EXPECT_NE(world.dataBook->FindSheet("统计表4"), nullptr);
  EXPECT_EQ(world.dataBook->FindSheet("分班表3"), nullptr);
  EXPECT_EQ(world.state.NextSheetNo, 5);
  EXPECT_EQ(world.state.SkipSheetNo, 3);
  EXPECT_EQ(world.Settings().CellValue(3, 1).ToLong(), 5);
  EXPECT_EQ(world.Settings().CellValue(3, 2).ToLong(), 3);

  DivideClasses(world.app, world.form, world.state);
  EXPECT_NE(world.dataBook->FindSheet("分班表5"), nullptr);
  EXPECT_EQ(world.state.NextSheetNo, 6);
}

TEST(DivideClasses, AnExistingPairIsNeverReplacedAndTheStatisticsSheetFollowsItsDivision) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  host::Worksheet& oldDivision = world.dataBook->AppendSheet("分班表2");
  oldDivision.SetCellValue(1, 1, "旧");
  world.dataBook->AppendSheet("统计表2").SetCellValue(1, 1, "旧");
  world.dataBook->AppendSheet("统计表3");  // a statistics sheet alone also holds its number
  world.dataBook->AppendSheet("备注");
  world.dataBook->SetActiveSheetIndex(5);  // "备注"
  world.state.NextSheetNo = 2;
  DivideClasses(world.app, world.form, world.state);
  EXPECT_EQ(SheetNames(*world.dataBook),
            (std::vector<std::string>{"数据表", "分班表2", "统计表2", "统计表3", "分班表4", "统计表4", "备注"}));
  EXPECT_EQ(world.dataBook->FindSheet("分班表2")->CellValue(1, 1), Value("旧"));
  EXPECT_EQ(world.dataBook->FindSheet("统计表2")->CellValue(1, 1), Value("旧"));
  EXPECT_EQ(Students(*world.dataBook->FindSheet("分班表4")).size(), 6u);
  EXPECT_EQ(IndexOfSheet(*world.dataBook, "统计表4"), IndexOfSheet(*world.dataBook, "分班表4") + 1);
  EXPECT_EQ(world.state.NextSheetNo, 5);
  EXPECT_EQ(world.Settings().CellValue(3, 1), Value(5));
}

TEST(DivideClasses, SheetsGoToTheDataWorkbookEvenWhenTheHostIsActive) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.app.SetActiveWorkbook(*world.hostBook);
  const int32_t hostSheets = world.hostBook->SheetCount();
  DivideClasses(world.app, world.form, world.state);
  EXPECT_EQ(world.hostBook->SheetCount(), hostSheets);
  EXPECT_NE(world.dataBook->FindSheet("分班表1"), nullptr);
  EXPECT_NE(world.dataBook->FindSheet("统计表1"), nullptr);
  EXPECT_EQ(Students(*world.dataBook->FindSheet("分班表1")).size(), 6u);
}

TEST(DivideClasses, TotalsAreRoundedOnlyWhenTheTemplateSaysYes) {
  struct Case {
    std::string choice;
    double first, second, third;
  };
  // Halves go away from zero: 88.5 becomes 89.
  const std::vector<Case> cases = {
      {"是", 90, 90, 89}, {"否", 89.5, 90.4, 88.5}, {"", 89.5, 90.4, 88.5}, {"是的", 89.5, 90.4, 88.5}};
  for (const auto& [choice, first, second, third] : cases) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), {{"姓名", "总分"}, {"甲", 89.5}, {"乙", 90.4}, {"丙", 88.5}});
    if (!choice.empty()) world.Template().SetCellValue(2, 3, choice);
    else world.Template().Clear(host::Rect{2, 3, 2, 3});
    DivideClasses(world.app, world.form, world.state);
    const auto students = Students(*world.dataBook->FindSheet("分班表1"));
    ASSERT_EQ(students.size(), 3u) << choice;
    EXPECT_EQ(students.at("甲").second, first) << choice;
    EXPECT_EQ(students.at("乙").second, second) << choice;
    EXPECT_EQ(students.at("丙").second, third) << choice;
    EXPECT_EQ(world.DataSheet().CellValue(2, 2).ToDouble(), 89.5) << "the data sheet keeps its totals";
    EXPECT_TRUE(world.WorkingSheetsClean());
  }
}

TEST(DivideClasses, LeftoversOnTheWorkingSheetsDoNotReachTheDivision) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  WriteTable(world.Work(), {{"x", "y"}, {1, 2}});
  WriteTable(world.TopSheet(), {{1, Value(), "旧生", "男", 100, 100}});
  WriteTable(world.Leftovers(), {{"新班级"}, {Value(), Value(), "旧生2", "女", 99}});
  world.form.txtNMing.value = 1;
  world.Tick(true, false, false);
  DivideClasses(world.app, world.form, world.state);
  const auto students = Students(*world.dataBook->FindSheet("分班表1"));
  EXPECT_EQ(students.size(), 6u);
  EXPECT_EQ(students.count("旧生"), 0u);
  EXPECT_EQ(students.count("旧生2"), 0u);
  EXPECT_TRUE(world.WorkingSheetsClean());
}

TEST(DivideClasses, RunTimeErrorsLeaveEmptyWorkingSheets) {
  struct Case {
    Table data;
    int32_t expectedError;
  };
  Table tenRuns = {{"姓名", "性别", "总分"}};
  for (int32_t i = 0; i < 20; ++i) tenRuns.push_back({"s" + std::to_string(i), "v" + std::to_string(i / 2), 100 - i});
  const std::vector<Case> cases = {
      {tenRuns, 9},
      // A text preset ends with a message that names it (0: a message, no error).
      {{{"姓名", "性别", "总分", "预设班"}, {"甲", "男", 90, "一班"}, {"乙", "女", 80}}, 0},
  };
  for (const Case& c : cases) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), c.data);
    world.form.txtFenBan.value = 1;
    world.state.NextSheetNo = 7;
    world.Tick(true, false, false);
    try {
      DivideClasses(world.app, world.form, world.state);
      if (c.expectedError != 0) {
        ADD_FAILURE() << "expected run-time error " << c.expectedError;
      } else {
        EXPECT_EQ(world.services.messages.size(), 1u);
      }
    } catch (const host::RuntimeError& error) {
      EXPECT_EQ(error.Number(), c.expectedError);
    }
    EXPECT_TRUE(world.WorkingSheetsClean());
    EXPECT_EQ(world.dataBook->SheetCount(), 1);
    EXPECT_EQ(world.state.NextSheetNo, 7);
  }
}

TEST(DivideClasses, OptionsAreReadFromTheForm) {
  // Three classes from the form; a non-numeric class count is a type mismatch.
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixStudents());
  world.form.txtFenBan.value = "3";
  DivideClasses(world.app, world.form, world.state);
  std::map<int32_t, int> sizes;
  for (const auto& [name, student] : Students(*world.dataBook->FindSheet("分班表1"))) ++sizes[student.first];
  EXPECT_EQ(sizes, (std::map<int32_t, int>{{1, 2}, {2, 2}, {3, 2}}));

  DivisionWorld broken;
  WriteTable(broken.DataSheet(), SixStudents());
  broken.form.txtFenBan.value = "三";
  try {
    DivideClasses(broken.app, broken.form, broken.state);
    ADD_FAILURE() << "expected run-time error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), 13);
  }
  EXPECT_EQ(broken.dataBook->SheetCount(), 1);
}

}  // namespace
}  // namespace fenban::division::testing
