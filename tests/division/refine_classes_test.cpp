// The refinement inside the division command: what it keeps, the
// constraints of "分开", "同班" and same names, the message for constraints
// that cannot be met, and a division without it staying as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>

#include "division/refine_classes.h"
#include "division_world.h"

namespace fenban::division::testing {
namespace {

using host::Value;

int32_t HeaderColumn(const host::Worksheet& sheet, int32_t headerRow, const std::string& header) {
  for (int32_t c = 1; c <= 64; ++c) {
    if (sheet.CellValue(headerRow, c).ToText() == header) return c;
  }
  return 0;
}

struct DividedStudent {
  int32_t classNo = 0;
  std::vector<std::string> data;  // the data sheet's columns, as text
};

// Every student of the division sheet keyed by 考号, with its class and data.
std::map<std::string, DividedStudent> DividedStudents(const host::Worksheet& sheet, int32_t dataColumns) {
  std::map<std::string, DividedStudent> students;
  const int32_t headerRow = DivisionWorld::HeaderRowOf(sheet);
  const int32_t idColumn = HeaderColumn(sheet, headerRow, "考号");
  for (int32_t r = headerRow + 1; !sheet.CellValue(r, idColumn).IsEmpty(); ++r) {
    DividedStudent student;
    student.classNo = sheet.CellValue(r, 1).ToLong();
    for (int32_t c = 3; c < 3 + dataColumns; ++c) student.data.push_back(sheet.CellValue(r, c).ToText());
    EXPECT_TRUE(students.emplace(sheet.CellValue(r, idColumn).ToText(), student).second) << "a student twice";
  }
  return students;
}

// A random list: 考号, 姓名 (a few repeated), 性别, 住校, 总分, 语文, 数学,
// 预设班 (a few), 分开 and 同班 groups that can all be met in k classes.
Table RandomList(int32_t n, int32_t k, uint64_t seed) {
  std::mt19937_64 engine(seed);
  Table table = {{"考号", "姓名", "性别", "住校", "总分", "语文", "数学", "预设班", "分开", "同班"}};
  for (int32_t s = 0; s < n; ++s) {
    const double chinese = static_cast<double>(engine() % 101), maths = static_cast<double>(engine() % 101);
    Row row = {Value("S" + std::to_string(1000 + s)), Value("学生" + std::to_string(s % (n - 4))),
               Value(engine() % 2 ? "男" : "女"), Value(engine() % 3 ? "否" : "是"), Value(chinese + maths),
               Value(chinese), Value(maths), Value(), Value(), Value()};
    table.push_back(row);
  }
  // Students 0..2 apart, 3..4 apart, 5..7 together, 8..9 together; 10 preset to class k, 11 to class 1.
  for (int32_t s : {0, 1, 2}) table[static_cast<size_t>(s) + 1][8] = Value("甲组");
  for (int32_t s : {3, 4}) table[static_cast<size_t>(s) + 1][8] = Value("乙组");
  for (int32_t s : {5, 6, 7}) table[static_cast<size_t>(s) + 1][9] = Value("丙组");
  for (int32_t s : {8, 9}) table[static_cast<size_t>(s) + 1][9] = Value("丁组");
  table[11][7] = Value(k);
  table[12][7] = Value(1);
  return table;
}

void PrepareRefinedWorld(DivisionWorld& world, const Table& list, int32_t k, bool refine) {
  WriteTable(world.DataSheet(), list);
  world.Template().SetCellValue(2, 1, "语文");
  world.Template().SetCellValue(3, 1, "数学");
  world.form.txtFenBan.value = k;
  world.form.txtYouXiu.value = 3;
  world.form.txtJiGe.value = 5;
  world.form.txtNMing.value = 1;
  world.Tick(true, false, false);
  world.form.chbYouHua.value = Value::Boolean(refine);
  world.state.NextSheetNo = 1;
}

TEST(RefineClasses, RandomListsKeepEveryStudentSizesPresetsAndMeetEveryConstraint) {
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    const int32_t k = 3 + static_cast<int32_t>(seed);
    const int32_t n = 10 * k + static_cast<int32_t>(seed);
    const Table list = RandomList(n, k, seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    DivisionWorld dealt, refined;
    dealt.services.seed = refined.services.seed = seed;
    PrepareRefinedWorld(dealt, list, k, false);
    PrepareRefinedWorld(refined, list, k, true);
    DivideClasses(dealt.app, dealt.form, dealt.state);
    DivideClasses(refined.app, refined.form, refined.state);
    ASSERT_TRUE(refined.services.messages.empty()) << refined.services.messages[0].prompt;
    ASSERT_TRUE(refined.WorkingSheetsClean());

    const auto before = DividedStudents(*dealt.dataBook->FindSheet("分班表1"), 10);
    const auto after = DividedStudents(*refined.dataBook->FindSheet("分班表1"), 10);
    ASSERT_EQ(after.size(), static_cast<size_t>(n));
    std::map<int32_t, int> sizesBefore, sizesAfter;
    for (const auto& [id, student] : before) ++sizesBefore[student.classNo];
    for (const auto& [id, student] : after) ++sizesAfter[student.classNo];
    EXPECT_EQ(sizesAfter, sizesBefore) << "class sizes stay as dealt";
    for (size_t r = 1; r < list.size(); ++r) {
      const DividedStudent& student = after.at(list[r][0].ToText());
      for (size_t c = 0; c < list[r].size(); ++c) EXPECT_EQ(student.data[c], list[r][c].ToText()) << "data unchanged";
    }
    EXPECT_EQ(after.at("S1010").classNo, k) << "preset class";
    EXPECT_EQ(after.at("S1011").classNo, 1) << "preset class";
    EXPECT_EQ(std::set<int32_t>({after.at("S1000").classNo, after.at("S1001").classNo, after.at("S1002").classNo}).size(),
              3u);
    EXPECT_NE(after.at("S1003").classNo, after.at("S1004").classNo);
    EXPECT_EQ(after.at("S1005").classNo, after.at("S1006").classNo);
    EXPECT_EQ(after.at("S1005").classNo, after.at("S1007").classNo);
    EXPECT_EQ(after.at("S1008").classNo, after.at("S1009").classNo);
    // 姓名 repeats every n - 4 students: 学生0..学生3 each appear twice.
    for (int32_t s = 0; s < 4; ++s) {
      EXPECT_NE(after.at("S" + std::to_string(1000 + s)).classNo, after.at("S" + std::to_string(1000 + s + n - 4)).classNo)
          << "same name " << s;
    }

    const auto& figures = refined.state.LastRefinement;
    const auto total = std::find_if(figures.begin(), figures.end(),
                                    [](const form::BalanceFigure& f) { return !f.sheetTable && f.name == "总分"; });
    ASSERT_NE(total, figures.end());
    EXPECT_LE(total->refined, total->dealt);
    EXPECT_TRUE(dealt.state.LastRefinement.empty());
  }
}

TEST(RefineClasses, TheSameSeedRepeatsTheRefinedDivision) {
  const Table list = RandomList(40, 4, 3);
  std::map<std::string, int32_t> runs[2];
  for (auto& run : runs) {
    DivisionWorld world;
    world.services.seed = 77;
    PrepareRefinedWorld(world, list, 4, true);
    DivideClasses(world.app, world.form, world.state);
    for (const auto& [id, student] : DividedStudents(*world.dataBook->FindSheet("分班表1"), 10)) run[id] = student.classNo;
  }
  EXPECT_EQ(runs[0], runs[1]);
}

// Six students for two classes: 甲 (S1) and 丁 apart, 甲 (S1) and 丙
// together, and two students named 甲.
Table SixWithGroups() {
  return {{"考号", "姓名", "总分", "分开", "同班"},
                      {"S1", "甲", 90, "x", "y"},
                      {"S2", "乙", 80, "", ""},
                      {"S3", "丙", 70, "", "y"},
                      {"S4", "丁", 60, "x", ""},
                      {"S5", "甲", 50, "", ""},
                      {"S6", "己", 40, "", ""}};
}

// Without the refinement the "分开"/"同班" entries are not used, and a
// notice says so while the division goes on.
void ExpectGroupsNotice(const DivisionWorld& world) {
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt,
            "数据表的“分开”和“同班”只在勾选“优化均衡”时才会照顾，这次分班没有勾选“优化均衡”，没有按它们分。"
            "要照顾它们，请勾选“优化均衡”后再分班。");
  EXPECT_EQ(world.services.messages[0].style, host::kMsgInformation);
  EXPECT_EQ(world.services.messages[0].title, "提示");
  EXPECT_EQ(world.services.beeps.size(), 1u);
}

TEST(RefineClasses, WithoutTheBoxTheGroupColumnsAreIgnoredAndTheDealStands) {
  // The serpentine deal of six students into two classes is 1, 2, 2, 1, 1, 2
  // from the best down; "分开" and "同班" would change it if they were read.
  const Table list = SixWithGroups();
  for (const Value& box : {Value(), Value::Boolean(false)}) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), list);
    world.state.NextSheetNo = 1;
    world.form.chbYouHua.value = box;
    DivideClasses(world.app, world.form, world.state);
    ExpectGroupsNotice(world);
    std::map<std::string, int32_t> classes;
    for (const auto& [id, student] : DividedStudents(*world.dataBook->FindSheet("分班表1"), 5)) classes[id] = student.classNo;
    EXPECT_EQ(classes, (std::map<std::string, int32_t>{{"S1", 1}, {"S2", 2}, {"S3", 2}, {"S4", 1}, {"S5", 1}, {"S6", 2}}));
    EXPECT_TRUE(world.state.LastRefinement.empty());
  }
}

// A user form from before the refinement: it has no "chbYouHua" and says so
// as a real form does, with error 438.
class FormWithoutRefineBox : public form::FormModel {
 public:
  host::Value ControlValue(const std::string& control) override {
    if (control == "chbYouHua") host::Raise(438);
    return form::FormModel::ControlValue(control);
  }
};

TEST(RefineClasses, AFormWithoutTheBoxDividesAsBefore) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), SixWithGroups());
  world.state.NextSheetNo = 1;
  FormWithoutRefineBox oldForm;
  oldForm.ltbBiao = world.form.ltbBiao;
  for (const char* box : {"txtFenBan", "txtYouXiu", "txtJiGe", "txtNMing", "chbXingBie", "chbZuXiao", "chbYingJie"}) {
    oldForm.SetControlValue(box, world.form.ControlValue(box));
  }
  DivideClasses(world.app, oldForm, world.state);
  ExpectGroupsNotice(world);
  std::map<std::string, int32_t> classes;
  for (const auto& [id, student] : DividedStudents(*world.dataBook->FindSheet("分班表1"), 5)) classes[id] = student.classNo;
  EXPECT_EQ(classes, (std::map<std::string, int32_t>{{"S1", 1}, {"S2", 2}, {"S3", 2}, {"S4", 1}, {"S5", 1}, {"S6", 2}}));
}

TEST(RefineClasses, SmallHandWorkedConstraints) {
  // Same deal as above; with the box ticked 甲 and 丁 ("分开" x) part, 甲
  // and 丙 ("同班" y) share a class, and the two 甲 part.
  const Table list = SixWithGroups();
  DivisionWorld world;
  WriteTable(world.DataSheet(), list);
  world.state.NextSheetNo = 1;
  world.form.chbYouHua.value = Value::Boolean(true);
  DivideClasses(world.app, world.form, world.state);
  ASSERT_TRUE(world.services.messages.empty()) << world.services.messages[0].prompt;
  std::map<std::string, int32_t> classes;
  for (const auto& [id, student] : DividedStudents(*world.dataBook->FindSheet("分班表1"), 5)) classes[id] = student.classNo;
  EXPECT_NE(classes["S1"], classes["S4"]);
  EXPECT_EQ(classes["S1"], classes["S3"]);
  EXPECT_NE(classes["S1"], classes["S5"]);
  std::map<int32_t, int> sizes;
  for (const auto& [id, classNo] : classes) ++sizes[classNo];
  EXPECT_EQ(sizes, (std::map<int32_t, int>{{1, 3}, {2, 3}}));
  // S2 or S6 joins {S1, S3}: 90 + 70 + 40 = 200 against 80 + 60 + 50 = 190
  // is closer than 240 against 150.
  EXPECT_EQ(classes["S6"], classes["S1"]);
}

TEST(RefineClasses, GroupsThePresetsLeaveNoWayForAreNamedAndTheDivisionGoesOn) {
  struct Case {
    const char* name;
    Table list;
    std::vector<std::string> mentioned;
  };
  const std::vector<Case> cases = {
      // 乙 cannot both join 丙 in class 1 and part from 甲, preset there:
      // whichever wish the division keeps, the other is named.
      {"apart or together",
       {{"姓名", "总分", "分开", "同班", "预设班"},
        {"甲", 90, "a", Value(), 1},
        {"乙", 80, "a", "t", Value()},
        {"丙", 70, Value(), "t", 1},
        {"丁", 60, Value(), Value(), Value()},
        {"戊", 50, Value(), Value(), Value()},
        {"己", 40, Value(), Value(), Value()}},
       {"没能把“", "乙"}},
      // Class 1 holds two preset students and no room for 乙.
      {"together",
       {{"姓名", "总分", "同班", "预设班"}, {"甲", 90, "t", 1}, {"乙", 80, "t", Value()}, {"丙", 70, Value(), 1},
        {"丁", 60, Value(), Value()}},
       {"没能把“同班”为“t”", "甲", "乙"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DivisionWorld world;
    WriteTable(world.DataSheet(), c.list);
    world.state.NextSheetNo = 1;
    world.form.txtFenBan.value = 2;
    world.form.chbYouHua.value = Value::Boolean(true);
    DivideClasses(world.app, world.form, world.state);
    ASSERT_TRUE(world.services.messages.empty()) << world.services.messages[0].prompt;
    ASSERT_NE(world.dataBook->FindSheet("分班表1"), nullptr);
    ASSERT_EQ(world.state.LastRefinementNotes.size(), 1u);
    for (const std::string& text : c.mentioned) {
      EXPECT_NE(world.state.LastRefinementNotes[0].find(text), std::string::npos) << world.state.LastRefinementNotes[0];
    }
    // The statistics sheet says so below its tables.
    const host::Worksheet& stats = *world.dataBook->FindSheet("统计表1");
    const int32_t last = stats.UsedRect().row2;
    EXPECT_EQ(stats.CellValue(last, 1).ToText(), world.state.LastRefinementNotes[0]);
    EXPECT_GT(last, 3 * 2 + 11) << "below the tables";
  }
}

TEST(RefineClasses, APresetOfNoneLeavesTheStudentFree) {
  // Every student's "预设班" is 0, which means none: the refinement must
  // still move students (were 0 a class, every student would be pinned and
  // the division would stay the deal).
  Table list = RandomList(60, 3, 9);
  for (size_t row = 1; row < list.size(); ++row) list[row][7] = Value(0);
  std::map<std::string, int32_t> classes[2];
  for (bool refine : {false, true}) {
    DivisionWorld world;
    world.services.seed = 5;
    PrepareRefinedWorld(world, list, 3, refine);
    DivideClasses(world.app, world.form, world.state);
    // Without the refinement the list's group columns only earn a notice.
    for (const auto& message : world.services.messages) {
      ASSERT_EQ(message.style, host::kMsgInformation) << message.prompt;
    }
    ASSERT_NE(world.dataBook->FindSheet("分班表1"), nullptr);
    for (const auto& [id, student] : DividedStudents(*world.dataBook->FindSheet("分班表1"), 10)) {
      classes[refine][id] = student.classNo;
    }
  }
  int32_t moved = 0;
  for (const auto& [id, classNo] : classes[1]) moved += classNo != classes[0].at(id) ? 1 : 0;
  EXPECT_GE(moved, 4);
}

TEST(RefineClasses, ImpossibleConstraintsStopBeforeAnySheetIsWritten) {
  struct Case {
    const char* name;
    Table list;
    std::vector<std::string> mentioned;
  };
  const std::vector<Case> cases = {
      {"apart group larger than the class count",
       {{"姓名", "总分", "分开"}, {"甲", 90, "a"}, {"乙", 80, "a"}, {"丙", 70, "a"}, {"丁", 60, Value()}},
       {"“分开”为“a”", "甲", "乙", "丙"}},
      {"together group larger than a class",
       {{"姓名", "总分", "同班"}, {"甲", 90, "t"}, {"乙", 80, "t"}, {"丙", 70, "t"}, {"丁", 60, Value()}},
       {"“同班”为“t”", "甲", "乙", "丙"}},
      {"preset classes split a together group",
       {{"姓名", "总分", "同班", "预设班"}, {"甲", 90, "t", 1}, {"乙", 80, "t", 2}, {"丙", 70, Value(), Value()}, {"丁", 60, Value(), Value()}},
       {"预设了不同的班", "甲", "乙"}},
      {"preset classes join an apart group",
       {{"姓名", "总分", "分开", "预设班"}, {"甲", 90, "a", 2}, {"乙", 80, "a", 2}, {"丙", 70, Value(), Value()}, {"丁", 60, Value(), Value()}},
       {"预设了同一个班", "甲", "乙"}},
      {"apart and together at once",
       {{"姓名", "总分", "分开", "同班"}, {"甲", 90, "a", "t"}, {"乙", 80, "a", "t"}, {"丙", 70, Value(), Value()}, {"丁", 60, Value(), Value()}},
       {"又要同班", "甲", "乙"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DivisionWorld world;
    WriteTable(world.DataSheet(), c.list);
    world.state.NextSheetNo = 1;
    world.form.chbYouHua.value = Value::Boolean(true);
    DivideClasses(world.app, world.form, world.state);
    ASSERT_EQ(world.services.messages.size(), 1u);
    EXPECT_EQ(world.services.messages[0].title, "警告");
    for (const std::string& text : c.mentioned) {
      EXPECT_NE(world.services.messages[0].prompt.find(text), std::string::npos) << world.services.messages[0].prompt;
    }
    EXPECT_EQ(world.dataBook->SheetCount(), 1) << "no division sheet";
    EXPECT_EQ(world.state.NextSheetNo, 1);
    EXPECT_TRUE(world.Settings().CellValue(3, 1).IsEmpty());
    EXPECT_TRUE(world.services.beeps.empty());
    EXPECT_TRUE(world.WorkingSheetsClean());
  }
}

}  // namespace
}  // namespace fenban::division::testing
