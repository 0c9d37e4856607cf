// Lists the division refuses before it writes anything, each with a message
// that names the place and what to do, and the lists it divides with a
// notice. A refusal leaves no division sheet, the counter as it was and
// empty working sheets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "division/list_checks.h"
#include "division_world.h"
#include "host/constants.h"

namespace fenban::division::testing {
namespace {

using host::Value;

Table Students(int32_t count) {
  Table table = {{"姓名", "总分"}};
  for (int32_t i = 1; i <= count; ++i) table.push_back({"学生" + std::to_string(i), 700 - i});
  return table;
}

// Divides and expects the one refusal `message` with nothing written.
void ExpectRefused(DivisionWorld& world, const std::string& message) {
  world.state.NextSheetNo = 3;
  DivideClasses(world.app, world.form, world.state);
  ASSERT_EQ(world.services.messages.size(), 1u);
  EXPECT_EQ(world.services.messages[0].prompt, message);
  EXPECT_EQ(world.services.messages[0].title, "警告");
  EXPECT_EQ(world.services.messages[0].style, host::kMsgExclamation);
  EXPECT_EQ(world.dataBook->SheetCount(), 1);
  EXPECT_EQ(world.state.NextSheetNo, 3);
  EXPECT_TRUE(world.Settings().CellValue(3, 1).IsEmpty());
  EXPECT_TRUE(world.WorkingSheetsClean());
  EXPECT_TRUE(world.services.beeps.empty());
}

TEST(ListChecks, ListsShorterThanTheClassCountAreRefused) {
  // Before, a list of no student or one became a division of 10 classes, exit 0.
  struct Case {
    int32_t students;
    int32_t classes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {0, 10, "数据表里没有学生：第 1 行是表头，下面没有学生。请把学生名单从第 2 行起填好（每行一名学生），再分班。"},
      {1, 10, "数据表只有 1 名学生，少于班级数 10，不能分班。请减少班级数（最多 1 个班）或补全名单，再分班。"},
      {7, 8, "数据表只有 7 名学生，少于班级数 8，不能分班。请减少班级数（最多 7 个班）或补全名单，再分班。"},
  };
  for (const Case& refused : cases) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), Students(refused.students));
    world.form.txtFenBan.value = refused.classes;
    ExpectRefused(world, refused.message);
  }
  // As many students as classes is a division.
  DivisionWorld world;
  WriteTable(world.DataSheet(), Students(8));
  world.form.txtFenBan.value = 8;
  DivideClasses(world.app, world.form, world.state);
  EXPECT_TRUE(world.services.messages.empty());
  EXPECT_NE(world.dataBook->FindSheet("分班表1"), nullptr);
}

TEST(ListChecks, AListTheDivisionSheetCannotHoldIsRefusedBeforeAnyWork) {
  // A division sheet puts a title row above the header row: 1,048,574
  // students fill it. Before, 1,048,575 students ended in "单元格地址超出工作表范围"
  // without a place, after the working sheets had been filled.
  DivisionWorld world;
  host::Worksheet& data = world.DataSheet();
  data.SetCellValue(1, 1, "总分");
  for (int32_t row = 2; row <= host::kMaxRows; ++row) data.SetCellValue(row, 1, 1);
  ExpectRefused(world,
                "数据表有 1048575 名学生，分班表放不下：分班表在表头上面还有一行标题，一张工作表最多 1048576 行，"
                "最多能分 1048574 名学生。请把名单分成几个工作簿，分别分班。");
  data.SetCellValue(host::kMaxRows, 1, Value());
  EXPECT_EQ(ListSizeWarning(data, 2), "");
}

TEST(ListChecks, ATotalHeaderThatIsNotReadIsNamedWhereItStands) {
  {
    // B1:D1 merged over three columns: C1 and D1 are empty, so the headers
    // end at B. Before, the message said there was no "总分" column; now the
    // merge is offered to be undone.
    DivisionWorld world;
    WriteTable(world.DataSheet(), {{"姓名", "科目", Value(), Value(), "总分"},
                                   {"甲", 1, 2, 3, 90},
                                   {"乙", 3, 2, 1, 80}});
    world.DataSheet().Merge(host::Rect{1, 2, 1, 4});
    ExpectRefused(world, "数据表的表头不在第 1 行：第 1 行像是表头（E1 是“总分”）。第 1 行：A1 姓名、B1 科目、E1 总分。"
                         "合并单元格：B1:D1。要分班，请确认表头在第 1 行：在“表头行”里填 1（命令行 --header-row 1），"
                         "fenban 会先取消合并单元格，让表头在第 1 行（原文件留作旧版本），再分班。也可以自己在表格程序里改好再分班。");
  }
  {
    // Without the merge the empty header cell is named.
    DivisionWorld world;
    WriteTable(world.DataSheet(), {{"姓名", "科目", Value(), Value(), "总分"}, {"甲", 1, 2, 3, 90}, {"乙", 3, 2, 1, 80}});
    ExpectRefused(world, "数据表的“总分”在 E1，但读不到：表头只读到第一个空的表头单元格 C1 为止。请给 C1 填上表头（或删除这一列），再分班。");
  }
  {
    // Above the header row, a row of two values is no title: the rows are
    // named and left to the teacher.
    DivisionWorld world;
    WriteTable(world.DataSheet(), {{"高一新生名单", "2026"}, {"姓名", "总分"}, {"甲", 90}, {"乙", 80}});
    ExpectRefused(world, "数据表的“总分”在 B2，但表头应在第 1 行：分班把第 1 行当作表头。第 1 行：A1 高一新生名单、B1 2026。"
                         "请删除表头上面的 1 行（标题或合并单元格），让表头在第 1 行，再分班。");
  }
}

TEST(ListChecks, TotalsThatAreFormulasWithoutResultsAreRefusedByCell) {
  // As the reader leaves them: the cells empty, the formulas remembered.
  // Before, the empty totals tied and the classes came out at random.
  DivisionWorld world;
  Table table = {{"姓名", "语文", "总分"}};
  for (int32_t i = 1; i <= 7; ++i) table.push_back({"学生" + std::to_string(i), 90 - i, Value()});
  table[7][2] = 300;  // one total typed in
  WriteTable(world.DataSheet(), table);
  auto& data = static_cast<host::ModelWorksheet&>(world.DataSheet());
  for (int32_t row = 2; row <= 7; ++row) {
    data.UncomputedFormulas()[{row, 3}] = "=SUMIF(A:A,A" + std::to_string(row) + ",B:B)";
  }
  data.UncomputedFormulas()[{8, 3}] = "=VLOOKUP(A8,成绩!A:B,2,FALSE)";  // now a number: it counts no more
  ExpectRefused(world, "工作表“数据表”的“总分”列有算不出的公式，不能分班：C2 =SUMIF(A:A,A2,B:B)，C3 =SUMIF(A:A,A3,B:B)，"
                       "C4 =SUMIF(A:A,A4,B:B)，C5 =SUMIF(A:A,A5,B:B)，C6 =SUMIF(A:A,A6,B:B)……共 6 个。文件里没有保存这些"
                       "公式的结果（用程序脚本写的名单常常这样），fenban 又算不了这种公式。请在 WPS、Excel 或 LibreOffice "
                       "里打开这个文件并保存一次（会存下公式的结果），或把“总分”列改为数值，再分班。");
}

TEST(ListChecks, TotalsComputedFromFormulasWithoutResultsAreRefusedToo) {
  // "数学" came from another sheet and could not be computed; the totals
  // added it as empty and would be too small.
  DivisionWorld world;
  WriteTable(world.DataSheet(), {{"姓名", "语文", "数学", "总分"}, {"甲", 90}, {"乙", 80}, {"丙", 70}});
  auto& data = static_cast<host::ModelWorksheet&>(world.DataSheet());
  for (int32_t row = 2; row <= 4; ++row) data.UncomputedFormulas()[{row, 3}] = "=成绩!B" + std::to_string(row);
  data.SetFormulaR1C1(host::Rect{2, 4, 4, 4}, "=SUM(RC[-2]:RC[-1])");
  ASSERT_EQ(data.CellValue(2, 4), Value(90));
  ExpectRefused(world, "工作表“数据表”的“总分”列有算不出的公式，不能分班：D2 的公式用到 C2 =成绩!B2，D3 的公式用到 "
                       "C3 =成绩!B3，D4 的公式用到 C4 =成绩!B4。文件里没有保存这些公式的结果（用程序脚本写的名单常常这样），"
                       "fenban 又算不了这种公式。请在 WPS、Excel 或 LibreOffice 里打开这个文件并保存一次（会存下公式的结果），"
                       "或把“总分”列改为数值，再分班。");
}

TEST(ListChecks, ABlankRowStopsTheDivision) {
  // The warning names the blank row; the division must not go on after it
  // and leave the students below out.
  DivisionWorld world;
  Table table = Students(6);
  table.insert(table.begin() + 4, Row{});
  WriteTable(world.DataSheet(), table);
  ExpectRefused(world, "数据表第 5 行是空行，它下面第 6 行起还有数据，分班只会读到第 4 行，后面的学生会被漏掉！"
                       "请删除空行或空列，让名单连成一块（第 1 行是标题行，每行一名学生），再分班。");
}

TEST(ListChecks, FractionalPresetsAreRefused) {
  for (const Value& preset : {Value(1.5), Value("2.5"), Value(0.5)}) {
    DivisionWorld world;
    WriteTable(world.DataSheet(), {{"姓名", "总分", "预设班"}, {"甲", 90, preset}, {"乙", 80}, {"丙", 70}});
    ExpectRefused(world, "数据表“预设班”列有无效的班号，不能分班。预设班应为 1 到 2 的整数，空白或 0 表示不预设。"
                         "请改正这些学生的预设班：\n第2行 甲：“" + preset.ToText() + "”");
  }
}

TEST(ListChecks, GroupColumnsWithoutTheRefinementGiveANoticeOnly) {
  DivisionWorld world;
  WriteTable(world.DataSheet(), {{"姓名", "总分", "同班"}, {"甲", 90}, {"乙", 80, "a"}, {"丙", 70, "a"}});
  EXPECT_EQ(UnusedGroupsNotice(world.DataSheet()),
            "数据表的“同班”只在勾选“优化均衡”时才会照顾，这次分班没有勾选“优化均衡”，没有按它们分。要照顾它们，请勾选“优化均衡”后再分班。");
  // Empty group columns are nothing to mention.
  WriteTable(world.DataSheet(), {{"姓名", "总分", "同班", "分开"}, {"甲", 90}, {"乙", 80, Value()}});
  world.DataSheet().SetCellValue(3, 3, Value());
  world.DataSheet().SetCellValue(4, 3, Value());
  EXPECT_EQ(UnusedGroupsNotice(world.DataSheet()), "");
}

}  // namespace
}  // namespace fenban::division::testing
