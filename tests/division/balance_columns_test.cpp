// The "均衡列" in the division command: names the list lacks are refused
// before anything is written, a column of too many values is left out with
// a notice, and the refinement spreads the others and reports them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "division_world.h"

namespace fenban::division::testing {
namespace {

using host::Value;

// 120 students: 考号 (all different), 姓名, 性别, 总分, 毕业学校 (six schools,
// clustered by total so a deal by total leaves them uneven), one without.
Table SchoolList() {
  std::mt19937_64 engine(4);
  Table table = {{"考号", "姓名", "性别", "总分", "毕业学校"}};
  for (int32_t s = 0; s < 120; ++s) {
    const int32_t total = 300 + static_cast<int32_t>(engine() % 300);
    const std::string school = s == 7 ? "" : "学校" + std::to_string((total - 300) / 50);
    table.push_back({Value("K" + std::to_string(1000 + s)), Value("学生" + std::to_string(s)),
                     Value(engine() % 2 ? "男" : "女"), Value(total),
                     school.empty() ? Value() : Value(school)});
  }
  return table;
}

// Divides SchoolList with these 均衡列 into 4 classes.
void Divide(DivisionWorld& world, const std::string& balance, bool refine) {
  WriteTable(world.DataSheet(), SchoolList());
  world.form.txtFenBan.value = 4;
  world.form.txtYouXiu.value = 5;
  world.form.txtJiGe.value = 10;
  world.form.txtNMing.value = 0;
  world.form.chbYouHua.value = Value::Boolean(refine);
  world.form.txtJunHeng.value = Value(balance);
  world.state.NextSheetNo = 1;
  world.services.seed = 9;
  DivideClasses(world.app, world.form, world.state);
}

// The division showed exactly one message box.
void ExpectOneBox(const DivisionWorld& world, const std::string& prompt, const std::string& title) {
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt, prompt);
  EXPECT_EQ(world.services.messages[0].title, title);
}

TEST(BalanceColumnsDivision, ANameTheListLacksIsRefusedNamingTheHeadersFound) {
  DivisionWorld world;
  Divide(world, "毕业学校，原班级", true);
  ExpectOneBox(world,
               "数据表第 1 行没有“均衡列”写的“原班级”列，没有分班。数据表的列名有：考号、姓名、性别、总分、毕业学校。"
               "请在“均衡列”里写这些列名中的（几个列名用逗号或顿号分开），或者清空“均衡列”。",
               "警告");
  EXPECT_EQ(world.dataBook->FindSheet("分班表1"), nullptr);
  EXPECT_TRUE(world.WorkingSheetsClean());
}

TEST(BalanceColumnsDivision, TheRefinementSpreadsTheColumnAndAColumnOfTooManyValuesIsLeftOut) {
  DivisionWorld world;
  Divide(world, "考号、毕业学校", true);
  ExpectOneBox(world,
               "“考号”有 120 个不同的值，多于 60 个，没有按它均衡，统计表里也不列它的人数。"
               "\r“均衡列”适合值不多的列，如毕业学校、原班级。",
               "提示");
  ASSERT_NE(world.dataBook->FindSheet("分班表1"), nullptr);

  // Every school within one of its share per class (its students over 4 classes).
  const host::Worksheet& division = *world.dataBook->FindSheet("分班表1");
  const int32_t headerRow = DivisionWorld::HeaderRowOf(division);
  std::map<std::string, std::map<int32_t, int32_t>> counts;
  std::map<std::string, int32_t> students;
  for (int32_t r = headerRow + 1; !division.CellValue(r, 1).IsEmpty(); ++r) {
    const std::string school = division.CellValue(r, 7).ToText();
    if (school.empty()) continue;
    ++counts[school][division.CellValue(r, 1).ToLong()];
    ++students[school];
  }
  for (const auto& [school, perClass] : counts) {
    for (int32_t c = 1; c <= 4; ++c) {
      const int32_t count = perClass.count(c) > 0 ? perClass.at(c) : 0;
      EXPECT_GE(count, students[school] / 4) << school << " class " << c;
      EXPECT_LE(count, (students[school] + 3) / 4) << school << " class " << c;
    }
  }
  // The summary names the column's table and the value furthest apart.
  const auto& figures = world.state.LastRefinement;
  const auto table = std::find_if(figures.begin(), figures.end(),
                                  [](const form::BalanceFigure& f) { return f.name == "毕业学校人数统计"; });
  ASSERT_NE(table, figures.end());
  EXPECT_TRUE(table->sheetTable);
  EXPECT_GE(table->dealt, 2.0);
  EXPECT_LE(table->refined, 1.0);
  EXPECT_EQ(table->column.rfind("学校", 0), 0u);
  EXPECT_EQ(std::count_if(figures.begin(), figures.end(),
                          [](const form::BalanceFigure& f) { return f.name == "考号人数统计"; }),
            0);
}

TEST(BalanceColumnsDivision, WithoutTheRefinementANoticeSaysTheColumnsAreOnlyCounted) {
  DivisionWorld world;
  Divide(world, "毕业学校", false);
  ExpectOneBox(world,
               "“均衡列”的“毕业学校”只在勾选“优化均衡”时才会均衡，这次分班没有勾选“优化均衡”，统计表下方列出了各班的人数。"
               "要均衡它们，请勾选“优化均衡”后再分班。",
               "提示");
  EXPECT_NE(world.dataBook->FindSheet("统计表1"), nullptr);
}

}  // namespace
}  // namespace fenban::division::testing
