// Lists as schools keep them: title rows above the headers, merged header
// cells, the total under another header or missing. The division asks before
// it changes the list, changes it only as confirmed, and then divides as it
// divides the same list laid out plainly.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "division/list_layout.h"
#include "division/total_column.h"
#include "division_world.h"
#include "form/form_routines.h"
#include "sheets/workbook_layout.h"

namespace fenban::division::testing {
namespace {

using host::Value;

// Twelve students with marks; the total is the sum of the three subjects.
Table PlainList(const std::string& totalHeader = "总分") {
  Table table = {{"姓名", "性别", "语文", "数学", "英语", totalHeader}};
  for (int32_t i = 1; i <= 12; ++i) {
    const int32_t chinese = 60 + (i * 7) % 40, maths = 50 + (i * 11) % 50, english = 70 + (i * 5) % 30;
    table.push_back({"学生" + std::to_string(i), i % 2 == 0 ? "男" : "女", chinese, maths, english,
                     chinese + maths + english});
  }
  return table;
}

// Each student's class in the division sheet `分班表1`, by name.
std::map<std::string, int32_t> DividedClasses(DivisionWorld& world) {
  const host::Worksheet* division = world.dataBook->FindSheet("分班表1");
  if (division == nullptr) return {};
  const int32_t headerRow = sheets::DivisionHeaderRow(*division);
  return ClassesByKey(*division, headerRow, 3);
}

// A header of the division sheet "分班表1".
Value DivisionHeader(DivisionWorld& world, int32_t column) {
  const host::Worksheet* division = world.dataBook->FindSheet("分班表1");
  if (division == nullptr) return Value("（没有分班表1）");
  return division->CellValue(sheets::DivisionHeaderRow(*division), column);
}

void Divide(DivisionWorld& world) {
  world.form.txtFenBan.value = 3;
  world.state.NextSheetNo = 1;
  world.Template().SetCellValue(2, 1, "语文");
  world.Template().SetCellValue(3, 1, "数学");
  world.Template().SetCellValue(4, 1, "英语");
  DivideClasses(world.app, world.form, world.state);
}

std::map<std::string, int32_t> PlainDivision() {
  DivisionWorld world;
  WriteTable(world.DataSheet(), PlainList());
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  return DividedClasses(world);
}

Table WithTitles(Table list, int32_t titles) {
  Table titled;
  for (int32_t i = 1; i <= titles; ++i) titled.push_back({"2026级高一新生名单（第" + std::to_string(i) + "行）"});
  titled.insert(titled.end(), list.begin(), list.end());
  return titled;
}

TEST(ListLayout, TitleRowsAreRemovedOnlyOnceTheHeaderRowIsConfirmed) {
  const std::map<std::string, int32_t> plain = PlainDivision();
  ASSERT_EQ(plain.size(), 12u);
  // Before: "数据表没有“总分”列，不能分班！" for every one of these.
  DivisionWorld world;
  WriteTable(world.DataSheet(), WithTitles(PlainList(), 2));
  world.DataSheet().Merge(host::Rect{1, 1, 1, 6});
  Divide(world);
  ASSERT_EQ(world.services.messages.size(), 1u);
  const std::string question = world.services.messages[0].prompt;
  EXPECT_NE(question.find("第 3 行像是表头（F3 是“总分”），上面 2 行是标题"), std::string::npos) << question;
  EXPECT_NE(question.find("第 3 行：A3 姓名、B3 性别、C3 语文、D3 数学、E3 英语、F3 总分。"), std::string::npos) << question;
  EXPECT_NE(question.find("命令行 --header-row 3"), std::string::npos) << question;
  EXPECT_EQ(world.state.AskedHeaderRow, 3);
  EXPECT_EQ(world.DataSheet().CellValue(1, 1), Value("2026级高一新生名单（第1行）"));
  EXPECT_EQ(world.dataBook->SheetCount(), 1);

  // A wrong row changes nothing and says which row was found.
  world.services.messages.clear();
  world.form.txtBiaoTouHang.value = 2;
  Divide(world);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_NE(world.services.messages[0].prompt.find("你给的表头行是第 2 行，与找到的第 3 行不符，没有改动。"),
            std::string::npos);
  EXPECT_EQ(world.DataSheet().MergedAreas().size(), 1u);

  world.services.messages.clear();
  world.form.txtBiaoTouHang.value = 3;
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty()) << world.services.messages[0].prompt;
  EXPECT_EQ(ReadBlock(world.DataSheet(), 1, 1, 1, 6), (Table{{"姓名", "性别", "语文", "数学", "英语", "总分"}}));
  EXPECT_TRUE(world.DataSheet().MergedAreas().empty());
  EXPECT_EQ(world.state.AskedHeaderRow, 0);
  EXPECT_EQ(world.state.ListNotes,
            (std::vector<std::string>{"数据表：删去了表头上面的 2 行标题（“2026级高一新生名单（第1行）”、"
                                      "“2026级高一新生名单（第2行）”），取消了 1 个合并单元格，表头现在在第 1 行。"}));
  EXPECT_EQ(DividedClasses(world), plain);
}

TEST(ListLayout, TwoHeaderRowsUnderMergedCellsBecomeOne) {
  // 姓名, 性别 and 总分 merged down over two rows, "成绩" across the subjects.
  Table list = PlainList();
  Table layout = {{"名单"},
                  {"姓名", "性别", "成绩", Value(), Value(), "总分"},
                  {Value(), Value(), "语文", "数学", "英语", Value()}};
  layout.insert(layout.end(), list.begin() + 1, list.end());
  DivisionWorld world;
  WriteTable(world.DataSheet(), layout);
  host::Worksheet& data = world.DataSheet();
  for (const host::Rect& area : {host::Rect{2, 1, 3, 1}, host::Rect{2, 2, 3, 2}, host::Rect{2, 3, 2, 5},
                                 host::Rect{2, 6, 3, 6}}) {
    data.Merge(area);
  }
  Divide(world);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_NE(world.services.messages[0].prompt.find("第 2 到 3 行像是两行合并的表头（F2 是“总分”），上面 1 行是标题"),
            std::string::npos)
      << world.services.messages[0].prompt;
  world.services.messages.clear();
  world.form.txtBiaoTouHang.value = 3;
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_EQ(ReadBlock(data, 1, 2, 1, 6), (Table{list[0], list[1]}));
  EXPECT_EQ(DividedClasses(world), PlainDivision());
}

TEST(ListLayout, AListBelowATitleAndABlankRowLosesItsSpacesOnceItStandsInRowOne) {
  Table list = PlainList();
  list[1][0] = "学 生1";
  Table layout = {{"名单"}, {}};
  layout.insert(layout.end(), list.begin(), list.end());
  DivisionWorld world;
  WriteTable(world.DataSheet(), layout);
  world.form.txtBiaoTouHang.value = 3;
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_EQ(world.DataSheet().CellValue(2, 1), Value("学生1"));
  EXPECT_EQ(DividedClasses(world), PlainDivision());
}

TEST(ListLayout, RowsAboveThatAreNotTitlesAreNoLayout) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), {{"甲", "乙"}, {"姓名", "总分"}, {"丙", 1}});
  EXPECT_FALSE(FindHeaderLayout(world.DataSheet(), WellKnownTotalHeaders(), {}));
  // A plain list is none either, and neither is a list found by nothing.
  DivisionWorld plain;
  WriteTable(plain.DataSheet(), PlainList());
  EXPECT_FALSE(FindHeaderLayout(plain.DataSheet(), WellKnownTotalHeaders(), {}));
  EXPECT_FALSE(FindHeaderLayout(plain.DataSheet(), {"中考总分"}, {}));
  // Without a total column, two subjects of the entry template show the row.
  Table noTotal = WithTitles(PlainList("备注"), 1);
  DivisionWorld titled;
  WriteTable(titled.DataSheet(), noTotal);
  const std::optional<HeaderLayout> layout = FindHeaderLayout(titled.DataSheet(), WellKnownTotalHeaders(), {"语文", "数学"});
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->lastHeaderRow, 2);
  EXPECT_EQ(layout->markerAddress, "C2");
}

TEST(TotalColumn, ATotalUnderAnotherHeaderIsOfferedButOnlyUsedWhenNamed) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), PlainList("中考总分"));
  Divide(world);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt,
            "数据表没有“总分”列，不能分班！第 1 行的表头：A1 姓名、B1 性别、C1 语文、D1 数学、E1 英语、F1 中考总分。"
            "第 1 行有“中考总分”：要用它作总分，请在“总分列”里填“中考总分”（命令行 --total-column 中考总分），再分班。");
  EXPECT_EQ(world.dataBook->SheetCount(), 1);

  world.services.messages.clear();
  world.form.txtZongFenLie.value = " 中考总分 ";
  form::TotalColumnAfterUpdate(world.app, world.form);
  EXPECT_EQ(world.Settings().CellValue(2, sheets::kTotalColumnOptionColumn), Value("中考总分"));
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_EQ(DivisionHeader(world, 8), Value("总分"));
  EXPECT_EQ(DividedClasses(world), PlainDivision());
  // The list itself keeps its header.
  EXPECT_EQ(world.DataSheet().CellValue(1, 6), Value("中考总分"));

  // A named column the list lacks is refused with the headers there are.
  DivisionWorld missing;
  WriteTable(missing.DataSheet(), PlainList());
  missing.form.txtZongFenLie.value = "合计";
  Divide(missing);
  ASSERT_EQ(missing.services.messages.size(), 1u);
  EXPECT_EQ(missing.services.messages[0].prompt.rfind("数据表没有“总分列”指定的“合计”列，不能分班！第 1 行的表头：A1 姓名", 0), 0u)
      << missing.services.messages[0].prompt;
}

TEST(TotalColumn, ANamedTotalBesideAColumnCalledTotalRanksByTheNamedOne) {
  // "总分" here ranks the other way round; the option's column decides.
  Table list = PlainList("中考总分");
  list[0].push_back("总分");
  for (size_t r = 1; r < list.size(); ++r) list[r].push_back(1000 - list[r][5].ToDouble());
  DivisionWorld world;
  WriteTable(world.DataSheet(), list);
  world.form.txtZongFenLie.value = "中考总分";
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_EQ(DivisionHeader(world, 8), Value("总分"));
  EXPECT_EQ(DivisionHeader(world, 9), Value("原总分"));
  EXPECT_EQ(DividedClasses(world), PlainDivision());
}

TEST(TotalColumn, AMissingTotalIsAddedUpFromTheSubjectsOnRequest) {
  Table list = PlainList();
  for (Row& row : list) row.pop_back();
  DivisionWorld refused;
  WriteTable(refused.DataSheet(), list);
  Divide(refused);
  ASSERT_EQ(refused.services.messages.size(), 1u);
  EXPECT_NE(refused.services.messages[0].prompt.find(
                "第 1 行有登记表的学科“语文”、“数学”、“英语”：要用各科成绩之和作总分，请勾选“用各科成绩算总分”"
                "（命令行 --total-from-subjects）"),
            std::string::npos)
      << refused.services.messages[0].prompt;

  DivisionWorld world;
  WriteTable(world.DataSheet(), list);
  world.form.chbSuanZongFen.value = Value::Boolean(true);
  Divide(world);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_EQ(world.DataSheet().CellValue(1, 6), Value("总分"));
  EXPECT_EQ(world.DataSheet().CellValue(2, 6), PlainList()[1][5]);
  EXPECT_EQ(DividedClasses(world), PlainDivision());

  // Blanks and marks that are no number count as 0 and are named.
  DivisionWorld blanks;
  WriteTable(blanks.DataSheet(), {{"姓名", "语文", "数学"}, {"甲", 90, Value()}, {"乙", "缺考", 80}, {"丙", 70, 60}});
  const ComputedTotal computed = AddTotalFromSubjects(blanks.DataSheet(), {"语文", "数学", "物理"});
  EXPECT_TRUE(computed.done);
  EXPECT_EQ(computed.message,
            "数据表：按登记表的学科算出了每名学生的总分（语文+数学），写在新的“总分”列 D 列（数值，不是公式）。"
            "空着或不是数的成绩按 0 分算，共 2 处：甲 数学（C2）、乙 语文“缺考”（B3）。");
  EXPECT_EQ(ReadBlock(blanks.DataSheet(), 1, 4, 4, 4), (Table{{"总分"}, {90}, {80}, {130}}));
  // Asked again, the column is there already.
  const ComputedTotal again = AddTotalFromSubjects(blanks.DataSheet(), {"语文"});
  EXPECT_FALSE(again.done);
  EXPECT_EQ(again.message.rfind("数据表已经有“总分”列（D1），不用再算。", 0), 0u);
}

}  // namespace
}  // namespace fenban::division::testing
