// clean and template, run as the built program.
#include <algorithm>

#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

std::vector<host::Value> EntryColumn(const fs::path& hostBook) {
  auto book = ReadBook(hostBook);
  host::Worksheet& entry = *book->FindSheet("登记表");
  std::vector<host::Value> cells;
  for (int32_t r = 1; r <= 21; ++r) {
    for (int32_t c = 1; c <= 3; ++c) cells.push_back(entry.CellValue(r, c));
  }
  return cells;
}

TEST(Clean, KeepsTheDataSheetAndTheChosenPairAndRestartsTheNumbering) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  for (const char* seed : {"1", "2", "3"}) {
    ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", seed}).status, 0);
  }
  RunResult run = RunFenban(temp.Path(), {"clean", "示例.xlsx", "统计表2"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(run.out.find("Hz"), std::string::npos) << run.out;
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  std::vector<std::string> names = SheetNames(*book);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"分班表2", "数据表", "统计表2"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 1).ToDouble(), 1);
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 2).ToDouble(), 2);

  // The next divisions are numbered 1, then 3: the kept pair is not overwritten.
  RunResult first = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "4"});
  ASSERT_EQ(first.status, 0) << Printed(first);
  EXPECT_NE(first.out.find("分班表1, 统计表1"), std::string::npos) << first.out;
  RunResult second = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "5"});
  ASSERT_EQ(second.status, 0) << Printed(second);
  EXPECT_NE(second.out.find("分班表3, 统计表3"), std::string::npos) << second.out;
}

TEST(Clean, WithoutASheetOnlyTheDataSheetStays) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"clean", "示例.xlsx"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  EXPECT_EQ(SheetNames(*book), std::vector<std::string>{"数据表"});
  EXPECT_EQ(ColumnTexts(*book->FindSheet("数据表"), 1, 2).size(), 30u);
}

TEST(Template, WritesTheSubjectsAndIsStableWhenRunTwice) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  fs::path hostBook = temp.Path() / "fenban.xlsx";
  RunResult run = RunFenban(temp.Path(), {"template", "--subjects", "语文, 数学，英 语"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("语文 数学 英语"), std::string::npos) << run.out;
  std::vector<host::Value> first = EntryColumn(hostBook);
  auto cell = [&](int32_t row, int32_t column) { return first[static_cast<size_t>((row - 1) * 3 + column - 1)]; };
  EXPECT_EQ(cell(1, 1), host::Value("【学科名登记列】"));
  EXPECT_EQ(cell(2, 1), host::Value("语文"));
  EXPECT_EQ(cell(3, 1), host::Value("数学"));
  EXPECT_EQ(cell(4, 1), host::Value("英语")) << "the template command removes spaces";
  for (int32_t r = 5; r <= 20; ++r) EXPECT_TRUE(cell(r, 1).IsEmpty()) << r;
  EXPECT_EQ(cell(21, 1), host::Value("【结束】"));
  EXPECT_EQ(cell(2, 3), host::Value("否"));

  RunResult again = RunFenban(temp.Path(), {"template"});
  ASSERT_EQ(again.status, 0) << Printed(again);
  EXPECT_EQ(EntryColumn(hostBook), first);
  auto book = ReadBook(hostBook);
  ASSERT_NE(book->FindSheet("登记表")->ValidationAt(2, 3), nullptr);
}

TEST(Template, NineteenSubjectsFill) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  std::string list;
  for (int i = 1; i <= 19; ++i) list += (i > 1 ? "," : "") + std::string("科") + std::to_string(i);
  RunResult run = RunFenban(temp.Path(), {"template", "--subjects", list});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "fenban.xlsx");
  host::Worksheet& entry = *book->FindSheet("登记表");
  EXPECT_EQ(entry.CellValue(2, 1), host::Value("科1"));
  EXPECT_EQ(entry.CellValue(20, 1), host::Value("科19"));
  EXPECT_EQ(entry.CellValue(21, 1), host::Value("【结束】"));
}

TEST(Template, TheStatisticsFollowTheRegisteredSubjects) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  ASSERT_EQ(RunFenban(temp.Path(), {"template", "--subjects", "数学,物理"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "9"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  host::Worksheet& statistics = *book->FindSheet("统计表1");
  // Subject count table header: row k+6 = 8 after the title row; 总分 first, then the two subjects.
  EXPECT_EQ(statistics.CellValue(8, 1), host::Value("新班级"));
  EXPECT_EQ(statistics.CellValue(8, 2).ToText().rfind("总分\n≥", 0), 0u);
  EXPECT_EQ(statistics.CellValue(8, 3).ToText().rfind("数学\n≥", 0), 0u);
  EXPECT_EQ(statistics.CellValue(8, 4).ToText().rfind("物理\n≥", 0), 0u);
  EXPECT_EQ(statistics.CellValue(8, 5).ToText().rfind("总分\n≥", 0), 0u);
}

TEST(RoundTrip, TheProgramReadsWhatItWrote) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 50);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  ASSERT_EQ(RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1"}).status, 0);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "2"}).status, 0);
  RunResult list = RunFenban(temp.Path(), {"list"});
  ASSERT_EQ(list.status, 0) << Printed(list);
  EXPECT_NE(list.out.find("--classes      2"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace fenban::clitest
