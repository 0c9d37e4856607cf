// Students silently lost, and refusals that say where, through the program:
// a blank row inside "数据表", class labels outside the classes, totals typed
// with spaces, an empty class count, and run-time errors that name the cell
// or the option. A run that refuses leaves every file byte for byte.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

using host::Value;
using Table = std::vector<std::vector<Value>>;

// count students 学生1.. with totals 700 - i.
Table Students(int32_t count) {
  Table table = {{"姓名", "性别", "总分"}};
  for (int32_t i = 1; i <= count; ++i) table.push_back({"学生" + std::to_string(i), i % 2 ? "女" : "男", 700 - i});
  return table;
}

// Runs a command that must refuse: exit 1, the message on standard error,
// and no file changed.
void ExpectRefusal(const fs::path& folder, const std::vector<std::string>& args,
                   const std::vector<std::string>& messageParts) {
  const auto before = Snapshot(folder);
  const RunResult run = RunFenban(folder, args);
  EXPECT_EQ(run.status, 1) << Printed(run);
  for (const std::string& part : messageParts) EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
  EXPECT_EQ(Snapshot(folder), before);
}

// Rewrites a workbook after `change` (our reader and writer keep everything else).
template <class F>
void EditBook(const fs::path& path, F&& change) {
  auto book = ReadBook(path);
  change(*book);
  files::WriteXlsx(*book, path.string());
}

int32_t StudentRowsOf(const fs::path& book, const std::string& sheet) {
  auto read = ReadBook(book);
  host::Worksheet& division = *read->FindSheet(sheet);
  // Finished division sheets have a title row; the header "新班级" is in A2.
  return division.CurrentRegion(2, 1).row2 - 2;
}

TEST(Refusals, ABlankRowInsideTheListIsNamedAndNothingIsDivided) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // Student 5 is followed by an empty row 7; before, only 5 of 12 students were divided (exit 0).
  Table table = Students(12);
  table.insert(table.begin() + 6, std::vector<Value>{});
  const fs::path book = temp.Path() / "数据" / "空行.xlsx";
  WriteDataBook(book, table);
  ExpectRefusal(temp.Path(), {"divide", "空行.xlsx", "--classes", "2"},
                {"警告: 数据表第 7 行是空行", "第 8 行起还有数据", "分班只会读到第 6 行", "请删除空行或空列"});

  // Two blank rows are named as a span; with the blank rows deleted, every student is divided.
  table.insert(table.begin() + 6, std::vector<Value>{});
  WriteDataBook(book, table);
  ExpectRefusal(temp.Path(), {"divide", "空行.xlsx", "--classes", "2"}, {"数据表第 7 至 8 行是空行"});
  WriteDataBook(book, Students(12));
  const RunResult run = RunFenban(temp.Path(), {"divide", "空行.xlsx", "--classes", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(StudentRowsOf(book, "分班表1"), 12);
}

TEST(Refusals, DataBeyondABlankColumnIsNamed) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  Table table = Students(6);
  table[0].insert(table[0].end(), {Value(), "备注"});
  table[3].insert(table[3].end(), {Value(), "转学"});
  WriteDataBook(temp.Path() / "数据" / "空列.xlsx", table);
  ExpectRefusal(temp.Path(), {"divide", "空列.xlsx", "--classes", "2"},
                {"数据表第 D 列是空列", "从 E1 起还有数据", "名单 A1:C7"});
}

TEST(Refusals, ClassLabelsOutsideTheClassesAreListedByRowAndNothingIsCounted) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  const fs::path book = temp.Path() / "数据" / "调班.xlsx";
  WriteDataBook(book, Students(30));
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "调班.xlsx", "--classes", "3", "--seed", "4"}).status, 0);
  // Hand edits: a text label, an emptied label, a class beyond 3 with no
  // class 4. Before, these three students were left out of 统计表1 (27 of
  // 30 counted, exit 0).
  EditBook(book, [](host::ModelWorkbook& b) {
    host::Worksheet& division = *b.FindSheet("分班表1");
    division.SetCellValue(5, 1, "3班");
    division.SetCellValue(17, 1, Value());
    division.SetCellValue(30, 1, 5);
  });
  ExpectRefusal(temp.Path(), {"stats", "调班.xlsx", "分班表1"},
                {"警告: 分班表1 有 3 名学生的“新班级”不是 1 到 3 的班号", "第 5 行为“3班”", "第 17 行为（空）",
                 "第 30 行为 5", "再按 统计 按钮", "(students whose class is none of the division's classes"});

  // Mended labels are counted: every student is in the class count table.
  EditBook(book, [](host::ModelWorkbook& b) {
    host::Worksheet& division = *b.FindSheet("分班表1");
    division.SetCellValue(5, 1, 3);
    division.SetCellValue(17, 1, 1);
    division.SetCellValue(30, 1, 2);
  });
  const RunResult run = RunFenban(temp.Path(), {"stats", "调班.xlsx", "分班表1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto read = ReadBook(book);
  host::Worksheet& stats = *read->FindSheet("统计表1");
  const int32_t sizeColumn = ColumnOf(stats, 2, "总人数");
  ASSERT_NE(sizeColumn, 0);
  double counted = 0;
  for (int32_t row = 3; row <= 5; ++row) counted += stats.CellValue(row, sizeColumn).Number();
  EXPECT_EQ(counted, 30);
}

TEST(Refusals, TotalsTypedWithSpacesBecomeNumbersAndRankWhereTheyBelong) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // 丙 has the lowest total, typed as " 1 00". Before, removing the spaces
  // left the text "100", which sorts above every number: 丙 was dealt as the
  // best of the year into class 1.
  const fs::path book = temp.Path() / "数据" / "空格.xlsx";
  WriteDataBook(book, {{"姓名", "总分", "考号"},
                       {"甲", 290, "0 01"},
                       {"乙", 280, "3 班"},
                       {"丙", " 1 00", "003"},
                       {"丁", 270, 4},
                       {"戊", 260, 5},
                       {"己", 250, 6}});
  const RunResult run = RunFenban(temp.Path(), {"divide", "空格.xlsx", "--classes", "2", "--seed", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto read = ReadBook(book);
  host::Worksheet& data = *read->FindSheet("数据表");
  EXPECT_EQ(data.CellValue(4, 2), Value(100));
  EXPECT_EQ(data.CellValue(2, 3), Value("001"));  // a code keeps its zeros
  EXPECT_EQ(data.CellValue(3, 3), Value("3班"));
  EXPECT_EQ(data.CellValue(4, 3), Value("003"));  // unchanged: no space was removed

  // Serpentine order by total: 甲 1, 乙 2, 丁 2, 戊 1, 己 1, 丙 2.
  host::Worksheet& division = *read->FindSheet("分班表1");
  const int32_t nameColumn = ColumnOf(division, 2, "姓名");
  std::map<std::string, Value> classOf;
  for (int32_t row = 3; row <= 8; ++row) classOf[division.CellValue(row, nameColumn).ToText()] = division.CellValue(row, 1);
  EXPECT_EQ(classOf["丙"], Value(2));
  EXPECT_EQ(classOf["甲"], Value(1));
  EXPECT_EQ(classOf["乙"], Value(2));
}

TEST(Refusals, AnEmptyClassCountIsATypeMismatchInDivisionAndStatistics) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "3", "--seed", "1"}).status, 0);
  // Before, an empty C2 was read as 0: every student a class of its own, then error 9.
  EditBook(temp.Path() / "fenban.xlsx",
           [](host::ModelWorkbook& b) { b.FindSheet("DTB")->SetCellValue(2, 3, Value()); });
  const std::vector<std::string> message = {"错误: 错误[13]", "类型不匹配：文本框“班级数”（txtFenBan，来自 DTB!C2）是空的"};
  ExpectRefusal(temp.Path(), {"divide", "示例.xlsx"}, message);
  ExpectRefusal(temp.Path(), {"stats", "示例.xlsx", "分班表1"}, message);
  // A class count given on the command line is used instead.
  EXPECT_EQ(RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1", "--classes", "3"}).status, 0);
}

TEST(Refusals, RunTimeErrorsNameTheCellOrTheOption) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  Table table = Students(8);
  table[4][2] = "缺考";
  WriteDataBook(temp.Path() / "数据" / "缺考.xlsx", table);
  ExpectRefusal(temp.Path(), {"divide", "缺考.xlsx", "--classes", "2"},
                {"错误: 错误[13]", "类型不匹配：工作表“数据表”单元格 C5（“总分”列）的值“缺考”"});

  table = Students(8);
  table[3][0] = Value(host::ErrorValue{"#N/A"});
  WriteDataBook(temp.Path() / "数据" / "错误值.xlsx", table);
  ExpectRefusal(temp.Path(), {"divide", "错误值.xlsx", "--classes", "2"},
                {"错误: 错误[13]", "（“姓名”列）的值 #N/A"});

  ExpectRefusal(temp.Path(), {"divide", "示例.xlsx", "--classes", "99999999999999999999"},
                {"错误: 错误[6]", "溢出：文本框“班级数”（txtFenBan，来自 --classes 99999999999999999999）"});
}

}  // namespace
}  // namespace fenban::clitest
