// Preset classes through the program: presets that cannot be honoured end
// the division with a message naming the students, and save nothing; the
// others are all honoured.
#include <gtest/gtest.h>

#include <functional>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

using host::Value;
using Table = std::vector<std::vector<Value>>;

Table StudentsWithPresets(int32_t count, const std::function<Value(int32_t)>& presetOf) {
  Table table = {{"姓名", "性别", "总分", "预设班"}};
  for (int32_t i = 1; i <= count; ++i) {
    table.push_back({"学生" + std::to_string(i), i % 2 == 0 ? "男" : "女", 700 - i, presetOf(i)});
  }
  return table;
}

TEST(PresetClasses, PresetsOutsideTheClassesAreRefusedByRowAndNameAndNothingIsSaved) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // Before, 11 with 10 classes made an eleventh class of one student, and 0 and -1 were ignored silently.
  WriteDataBook(temp.Path() / "数据" / "预设.xlsx", StudentsWithPresets(40, [](int32_t i) -> Value {
                  if (i == 5) return 11;
                  if (i == 9) return -1;
                  if (i == 12) return "一班";
                  if (i == 20) return 0;  // 0 means none
                  return i == 30 ? Value(3) : Value();
                }));
  const auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "预设.xlsx", "--classes", "10"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("警告: 数据表“预设班”列有无效的班号"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("预设班应为 1 到 10 的整数"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("第6行 学生5：“11”\n第10行 学生9：“-1”\n第13行 学生12：“一班”"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("学生20"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("学生30"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("没有保存任何文件 nothing was saved"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(PresetClasses, MorePresetsThanAClassHoldsAreRefusedAndNothingIsSaved) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // Before, 300 students all preset to class 1 came out as 50 per class.
  WriteDataBook(temp.Path() / "数据" / "全一班.xlsx", StudentsWithPresets(300, [](int32_t) { return Value(1); }));
  const auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "全一班.xlsx", "--classes", "6", "--by-sex"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("第1班只有 50 人，预设到该班的却有 300 人：学生1 总分 699、学生2 总分 698"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(PresetClasses, AStudentAlreadyInItsPresetClassIsNotSwappedOut) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // Dealt 1, 2, 2, 1. The first student (class 1, preset 2) used to swap with
  // the second (already in its preset class 2), who then swapped back with the
  // first: the first student ended in class 1 without a word.
  WriteDataBook(temp.Path() / "数据" / "换班.xlsx", {{"姓名", "总分", "预设班"},
                                                     {"甲", 100, 2},
                                                     {"乙", 99, 2},
                                                     {"丙", 10, Value()},
                                                     {"丁", 5, Value()}});
  RunResult run = RunFenban(temp.Path(), {"divide", "换班.xlsx", "--classes", "2", "--no-by-sex"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "数据" / "换班.xlsx");
  host::Worksheet* division = book->FindSheet("分班表1");
  ASSERT_NE(division, nullptr);
  std::map<std::string, std::string> classes;
  for (int32_t r = 3; r <= 6; ++r) classes[division->CellValue(r, 3).ToText()] = division->CellValue(r, 1).ToText();
  EXPECT_EQ(classes, (std::map<std::string, std::string>{{"甲", "2"}, {"乙", "2"}, {"丙", "1"}, {"丁", "1"}}));
}

}  // namespace
}  // namespace fenban::clitest
