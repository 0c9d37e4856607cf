// Right figures through the program, read back with an independent reader
// (openpyxl): statistics built with the division's own classes, totals that
// are formulas (lists written by openpyxl hold them without results), the
// class lists' title, and the messages that name the place.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

using host::Value;

// The class labels of the class count table of a statistics sheet (header
// "新班级" in A2 under the title), "最大差" included, and B of that row.
constexpr const char* kCountTable = R"(
import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1])[sys.argv[2]]
assert sheet['A2'].value == '新班级', sheet['A2'].value
row = 3
labels = []
while sheet.cell(row, 1).value != '最大差':
    labels.append(str(sheet.cell(row, 1).value))
    row += 1
print(' '.join(labels), '|', sheet.cell(row, 2).value)
)";

// A list of 40 students written by openpyxl; "总分" (E) holds the formula
// given for each row ({r} is the row), and "英语" (D) the second one when
// given, so the file has no results.
constexpr const char* kFormulaList = R"(
import sys, openpyxl
book = openpyxl.Workbook()
sheet = book.active
sheet.title = '数据表'
sheet.append(['姓名', '语文', '数学', '英语', '总分'])
for i in range(40):
    r = i + 2
    english = sys.argv[3].replace('{r}', str(r)) if len(sys.argv) > 3 else 80 - i
    sheet.append(['学生%d' % (i + 1), 100 - i, 90 - i, english, sys.argv[2].replace('{r}', str(r))])
scores = book.create_sheet('成绩')
for i in range(40):
    scores.append(['学生%d' % (i + 1), 300 - i])
book.save(sys.argv[1])
)";

TEST(Figures, StatisticsKeepTheDivisionsClassesWhateverClassCountIsGiven) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  InitWithExample(temp.Path(), 400);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "8", "--seed", "1"}).status, 0);
  const fs::path book = temp.Path() / "数据" / "示例.xlsx";
  const std::string eight = "1 2 3 4 5 6 7 8 | ";

  // Before, --classes 10 wrote two empty classes and a largest difference of
  // a whole class (最大差 50), exit 0.
  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1", "--classes", "10"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.err.find("提示: 班级数 10 与 分班表1 的班数不同：分班表1 有 8 个班，统计按这 8 个班做。"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("(the class count differs from the division's"), std::string::npos) << run.err;
  const std::string counted = RunPython(temp.Path(), kCountTable, {book.string(), "统计表1"});
  EXPECT_EQ(counted.rfind(eight, 0), 0u) << counted;
  EXPECT_NE(counted, eight + "50\n");

  // A smaller count does not drop classes either.
  run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "统计表1", "--classes", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(RunPython(temp.Path(), kCountTable, {book.string(), "统计表1"}).rfind(eight, 0), 0u);

  // Two students moved into a new class 9 by hand: it is counted, as class 9.
  auto read = ReadBook(book);
  host::Worksheet& division = *read->FindSheet("分班表1");
  division.SetCellValue(3, 1, 9);
  division.SetCellValue(4, 1, 9);
  files::WriteXlsx(*read, book.string());
  run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1", "--classes", "8"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(RunPython(temp.Path(), kCountTable, {book.string(), "统计表1"}).rfind("1 2 3 4 5 6 7 8 9 | ", 0), 0u);
}

TEST(Figures, TotalsOfFormulasWithoutResultsAreRefusedByCellAndComputedOnesDivide) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path list = temp.Path() / "数据" / "名单.xlsx";
  // Before, each of these was read as empty: every total tied and the
  // classes came out in random order, exit 0.
  for (const std::string formula :
       {"=SUMPRODUCT(B{r}:D{r})", "=SUMIF(A:A,A{r},B:B)", "=VLOOKUP(A{r},成绩!A:B,2,FALSE)",
        "=INDIRECT(\"B{r}\")+C{r}", "=TEXT(B{r}+C{r},\"0\")", "=成绩!B{r}+0"}) {
    ASSERT_EQ(RunPython(temp.Path(), kFormulaList, {list.string(), formula}), "");
    const auto before = Snapshot(temp.Path());
    const RunResult run = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "4", "--seed", "1"});
    EXPECT_EQ(run.status, 1) << formula << "\n" << Printed(run);
    std::string second = formula;  // as row 3 holds it
    while (second.find("{r}") != std::string::npos) second.replace(second.find("{r}"), 3, "3");
    for (const std::string& part : {std::string("警告: 工作表“数据表”的“总分”列有算不出的公式"), "E3 " + second,
                                    std::string("……共 40 个"), std::string("(total formulas saved without results")}) {
      EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
    }
    EXPECT_EQ(Snapshot(temp.Path()), before) << formula;
  }

  // A total computed from a cell that could not be: named with that cell.
  ASSERT_EQ(RunPython(temp.Path(), kFormulaList, {list.string(), "=SUM(B{r}:D{r})", "=成绩!B{r}"}), "");
  RunResult chained = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "4", "--seed", "1"});
  EXPECT_EQ(chained.status, 1) << Printed(chained);
  EXPECT_NE(chained.err.find("E3 的公式用到 D3 =成绩!B3"), std::string::npos) << chained.err;

  // SUM is computed: the best total (学生1, 270) leads class 1.
  ASSERT_EQ(RunPython(temp.Path(), kFormulaList, {list.string(), "=SUM(B{r}:D{r})"}), "");
  const RunResult run = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "4", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto read = ReadBook(list);
  ASSERT_NE(read->FindSheet("分班表1"), nullptr);
  host::Worksheet& division = *read->FindSheet("分班表1");
  EXPECT_EQ(division.CellValue(3, 1), Value(1));
  EXPECT_EQ(division.CellValue(3, 3), Value("学生1"));
  EXPECT_EQ(division.CellValue(3, 7), Value(270));
}

TEST(Figures, TheClassListsTitleIsTheFileNameWithoutItsExtension) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  WriteDataBook(temp.Path() / "数据" / "名单.xlsx", {{"姓名", "总分"}, {"甲", 90}, {"乙", 80}, {"丙", 70}, {"丁", 60}});
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  // Before, four characters were cut: "名单.".
  EXPECT_EQ(RunPython(temp.Path(), "import sys, openpyxl\nprint(openpyxl.load_workbook(sys.argv[1])['分班表1']['B1'].value)\n",
                      {(temp.Path() / "数据" / "名单.xlsx").string()}),
            "名单\n");
}

TEST(Figures, MessagesNameThePlaceAndWhatToDo) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path data = temp.Path() / "数据";
  constexpr const char* kLists = R"(
import sys, os, openpyxl
folder = sys.argv[1]
def save(name, rows, merge=None, hidden=False):
    book = openpyxl.Workbook()
    sheet = book.active
    if hidden:
        sheet.title = '说明'
        sheet = book.create_sheet('数据表')
    else:
        sheet.title = '数据表'
    for row in rows:
        sheet.append(row)
    if merge:
        sheet.merge_cells(merge)
    if hidden:
        sheet.sheet_state = 'hidden'
    book.save(os.path.join(folder, name))
students = [['学生%d' % i, 1, 2, 3, 100 + i] for i in range(20)]
save('合并.xlsx', [['姓名', '科目', None, None, '总分']] + students, merge='B1:D1')
save('隐藏.xlsx', [['姓名', '总分'], ['甲', 90], ['乙', 80]], hidden=True)
save('一人.xlsx', [['姓名', '总分'], ['甲', 90]])
)";
  ASSERT_EQ(RunPython(temp.Path(), kLists, {data.string()}), "");
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "password.xls", data / "密码.xls");
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      // Before: "数据表没有“总分”列" although it is in E1; then the merge
      // was named; now it is offered to be undone.
      {{"divide", "合并.xlsx", "--classes", "2"},
       {"警告: 数据表的表头不在第 1 行：第 1 行像是表头（E1 是“总分”）。第 1 行：A1 姓名、B1 科目、E1 总分。合并单元格：B1:D1。",
        "（命令行 --header-row 1）", "(the headers are not in row 1"}},
      // Before: "无法激活隐藏的工作表", naming nothing.
      {{"divide", "隐藏.xlsx", "--classes", "2"},
       {"工作簿“隐藏.xlsx”的“数据表”是隐藏的工作表", "取消隐藏", "(the sheet 数据表 is hidden"}},
      // Before: a division of 10 classes, exit 0.
      {{"divide", "一人.xlsx"}, {"警告: 数据表只有 1 名学生，少于班级数 10", "(fewer students than classes"}},
      // Before: "no worksheets".
      {{"divide", "密码.xls", "--classes", "2"},
       {"无法读取文件“密码.xls”：文件设有打开密码", "(the file is password-protected"}},
  };
  for (const auto& [args, parts] : cases) {
    const auto before = Snapshot(temp.Path());
    const RunResult run = RunFenban(temp.Path(), args);
    EXPECT_EQ(run.status, 1) << Printed(run);
    for (const std::string& part : parts) EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
    EXPECT_EQ(Snapshot(temp.Path()), before) << args[1];
  }
}

TEST(Figures, GroupColumnsWithoutTheRefinementAreNamedAndTheDivisionGoesOn) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  WriteDataBook(temp.Path() / "数据" / "分开.xlsx",
                {{"姓名", "总分", "分开"}, {"甲", 90, "x"}, {"乙", 80, "x"}, {"丙", 70}, {"丁", 60}});
  const RunResult run = RunFenban(temp.Path(), {"divide", "分开.xlsx", "--classes", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.err.find("提示: 数据表的“分开”只在勾选“优化均衡”时才会照顾"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(分开/同班 are kept only with --refine"), std::string::npos) << run.err;
  EXPECT_NE(ReadBook(temp.Path() / "数据" / "分开.xlsx")->FindSheet("分班表1"), nullptr);
}

}  // namespace
}  // namespace fenban::clitest
