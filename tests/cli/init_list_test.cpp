// init, list, help and the usage texts, run as the built program.
#include <gtest/gtest.h>

#include "app/guide.h"
#include "app/teacher_manual.h"
#include "cli_test_support.h"
#include "host/validation.h"

namespace fenban::clitest {
namespace {

TEST(Init, CreatesHostWorkbookDataFolderAndManual) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  RunResult run = RunFenban(temp.Path(), {"init", "学校/高一"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  fs::path folder = temp.Path() / "学校" / "高一";
  EXPECT_TRUE(fs::is_directory(folder / "数据"));
  EXPECT_TRUE(fs::is_empty(folder / "数据"));
  ASSERT_TRUE(fs::is_regular_file(folder / "help.doc"));
  EXPECT_EQ(ReadFile(folder / "help.doc").rfind("{\\rtf1", 0), 0u);

  auto book = ReadBook(folder / "fenban.xlsx");
  std::vector<std::string> expected = {"DTB", "FBB", "JZB", "SYB", "登记表"};
  EXPECT_EQ(SheetNames(*book), expected);

  host::Worksheet& dtb = *book->FindSheet("DTB");
  EXPECT_TRUE(dtb.CellValue(2, 1).IsEmpty());
  EXPECT_TRUE(dtb.CellValue(2, 2).IsEmpty());
  EXPECT_EQ(dtb.CellValue(2, 3), host::Value(10));
  EXPECT_EQ(dtb.CellValue(2, 4), host::Value(20));
  EXPECT_EQ(dtb.CellValue(2, 5), host::Value(30));
  EXPECT_EQ(dtb.CellValue(2, 6), host::Value(3));
  for (int32_t c = 7; c <= 9; ++c) EXPECT_EQ(dtb.CellValue(2, c), host::Value::Boolean(false)) << c;

  host::Worksheet& entry = *book->FindSheet("登记表");
  EXPECT_EQ(entry.CellValue(1, 1), host::Value("【学科名登记列】"));
  std::vector<std::string> subjects = {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理"};
  for (size_t i = 0; i < subjects.size(); ++i) {
    EXPECT_EQ(entry.CellValue(static_cast<int32_t>(i + 2), 1), host::Value(subjects[i]));
  }
  for (int32_t r = 11; r <= 20; ++r) EXPECT_TRUE(entry.CellValue(r, 1).IsEmpty()) << r;
  EXPECT_EQ(entry.CellValue(21, 1), host::Value("【结束】"));
  EXPECT_EQ(entry.CellValue(1, 3), host::Value("【总分化为整数】"));
  EXPECT_EQ(entry.CellValue(2, 3), host::Value("否"));
  host::ValidationRule* rule = entry.ValidationAt(2, 3);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->type, 3);
  EXPECT_EQ(rule->formula1, "是,否");
  EXPECT_EQ(rule->inputTitle, "说明：");
}

TEST(Init, NeverOverwritesAnExistingHostWorkbook) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  std::string before = ReadFile(temp.Path() / "fenban.xlsx");
  RunResult again = RunFenban(temp.Path(), {"init"});
  EXPECT_EQ(again.status, 1) << Printed(again);
  EXPECT_NE(again.err.find("fenban.xlsx"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(temp.Path() / "fenban.xlsx"), before);

  // With --example only the example is written.
  RunResult example = RunFenban(temp.Path(), {"init", "--example", "30"});
  EXPECT_EQ(example.status, 0) << Printed(example);
  EXPECT_EQ(ReadFile(temp.Path() / "fenban.xlsx"), before);
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  EXPECT_EQ(ColumnTexts(*book->FindSheet("数据表"), 1, 2).size(), 30u);
}

TEST(Init, ExampleIsReproducibleFromItsSeed) {
  FENBAN_REQUIRE_BINARY();
  TempFolder a, b, c;
  InitWithExample(a.Path(), 60, "5");
  InitWithExample(b.Path(), 60, "5");
  InitWithExample(c.Path(), 60, "6");
  auto readTable = [](const fs::path& folder) {
    auto book = ReadBook(folder / "数据" / "示例.xlsx");
    host::Worksheet& sheet = *book->FindSheet("数据表");
    std::vector<std::vector<host::Value>> rows;
    for (int32_t r = 1; r <= 61; ++r) {
      std::vector<host::Value> row;
      for (int32_t col = 1; col <= 16; ++col) row.push_back(sheet.CellValue(r, col));
      rows.push_back(row);
    }
    return rows;
  };
  auto tableA = readTable(a.Path());
  EXPECT_EQ(tableA, readTable(b.Path()));
  EXPECT_NE(tableA, readTable(c.Path()));
  EXPECT_EQ(tableA[0][0], host::Value("考号"));
  EXPECT_EQ(tableA[0][15], host::Value("预设班"));
  EXPECT_FALSE(tableA[60][14].IsEmpty()) << "61 rows: header and 60 students";
}

TEST(List, ShowsTheDataWorkbooksAndTheOptions) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  fs::path data = temp.Path() / "数据";
  fs::copy_file(data / "示例.xlsx", data / "B班名单.xlsx");
  fs::copy_file(data / "示例.xlsx", data / ".隐藏.xlsx");
  fs::copy_file(data / "示例.xlsx", data / "~$示例.xlsx");
  fs::create_directory(data / "旧");

  RunResult run = RunFenban(temp.Path() / "数据", {"-C", "..", "list"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("    1  B班名单.xlsx\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    2  示例.xlsx\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("隐藏"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("~$"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("旧"), std::string::npos) << run.out;
  // The options are shown by what they mean and the option that sets them, not by control names.
  for (const char* control : {"txtFenBan", "txtYouXiu", "txtJiGe", "txtNMing", "chbXingBie", "chbZuXiao",
                              "chbYingJie"}) {
    EXPECT_EQ(run.out.find(control), std::string::npos) << control;
  }
  EXPECT_NE(run.out.find("班级数 classes          --classes      10"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("--excellent    20"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("--pass         30"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("--top          3"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("--by-sex       否 no  各班男女人数相近"), std::string::npos) << run.out;
}

TEST(List, AnEmptyDataFolderListsNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"list"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("空 empty"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("    0  "), std::string::npos) << run.out;
}

TEST(List, AMissingDataFolderIsShownAndDivideSaysSo) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  fs::remove_all(temp.Path() / "数据");
  RunResult run = RunFenban(temp.Path(), {"list"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("文件夹不存在 folder missing"), std::string::npos) << run.out;
  RunResult divide = RunFenban(temp.Path(), {"divide", "示例.xlsx"});
  EXPECT_EQ(divide.status, 1) << Printed(divide);
  EXPECT_NE(divide.err.find("示例.xlsx"), std::string::npos) << divide.err;
}

TEST(Help, PrintsTheManualsPathWithoutADesktop) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"help"});
  EXPECT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("help.doc"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(Help, AManualOfAnEarlierVersionIsWrittenAgainBeforeItOpens) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const std::string current = ReadFile(temp.Path() / "help.doc");
  ASSERT_EQ(current, app::BuildTeacherManual());
  { std::ofstream(temp.Path() / "help.doc", std::ios::binary | std::ios::trunc) << "{\\rtf1 七个选项}"; }
  RunResult run = RunFenban(temp.Path(), {"help"});
  EXPECT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("help.doc 已换成本版本的说明"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(temp.Path() / "help.doc"), current);
  RunResult again = RunFenban(temp.Path(), {"help"});
  EXPECT_EQ(again.out.find("已换成"), std::string::npos) << again.out;  // the same guide is left alone
}

// The guide keeps up with the program: every option `list` shows is in it,
// and it counts them right.
TEST(Help, TheGuideNamesEveryOptionListShows) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"list"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  const std::string_view guide = app::GuideMarkdown();
  size_t options = 0;
  for (size_t at = run.out.find("  --"); at != std::string::npos; at = run.out.find("  --", at + 1)) {
    std::string flag = run.out.substr(at + 2, run.out.find(' ', at + 2) - at - 2);
    EXPECT_NE(guide.find(flag), std::string_view::npos) << flag << " is not in docs/教师指南.md";
    ++options;
  }
  const char* counts[] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九", "十"};
  ASSERT_GE(options, 1u);
  ASSERT_LE(options, 10u);
  EXPECT_NE(guide.find(std::string(counts[options]) + "个选项"), std::string_view::npos) << options << " options";
}

TEST(Help, AMissingManualIsAnErrorBox) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  fs::remove(temp.Path() / "help.doc");
  std::string before = ReadFile(temp.Path() / "fenban.xlsx");
  RunResult run = RunFenban(temp.Path(), {"help"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_EQ(run.err.rfind("错误: 错误[53] 文件未找到: ", 0), 0u) << run.err;
  EXPECT_EQ(ReadFile(temp.Path() / "fenban.xlsx"), before);
}

TEST(Usage, HelpTextsExplainTheCommandsInBothLanguages) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  RunResult run = RunFenban(temp.Path(), {"--help"});
  EXPECT_EQ(run.status, 0) << Printed(run);
  for (const char* word : {"init", "list", "divide", "stats", "clean", "template", "help", "分班", "balanced"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  }
  RunResult divide = RunFenban(temp.Path(), {"divide", "--help"});
  EXPECT_EQ(divide.status, 0) << Printed(divide);
  for (const char* word : {"--classes", "--excellent", "--pass", "--top", "--by-sex", "--no-by-boarding",
                           "--by-current", "--round", "--seed", "班级数", "number of classes"}) {
    EXPECT_NE(divide.out.find(word), std::string::npos) << word;
  }
}

TEST(Usage, WrongUsageExitsWithTwo) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  std::string hostBefore = ReadFile(temp.Path() / "fenban.xlsx");
  std::vector<std::vector<std::string>> wrong = {
      {},
      {"frobnicate"},
      {"divide"},
      {"divide", "示例.xlsx", "--bogus"},
      {"divide", "示例.xlsx", "--round", "maybe"},
      {"divide", "示例.xlsx", "--seed", "abc"},
      {"divide", "示例.xlsx", "--seed", "-1"},
      {"divide", "示例.xlsx", "--seed", "18446744073709551616"},
      {"init", "--seed", "-5"},
      {"divide", "示例.xlsx", "--by-sex", "--no-by-sex"},
      {"stats", "示例.xlsx"},
      {"init", "--example", "0"},
      {"init", "--example", "many"},
  };
  for (const auto& args : wrong) {
    RunResult run = RunFenban(temp.Path(), args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(run.status, 2) << shown << "\n" << Printed(run);
    EXPECT_FALSE(run.err.empty()) << shown;
  }
  EXPECT_EQ(ReadFile(temp.Path() / "fenban.xlsx"), hostBefore);
}

}  // namespace
}  // namespace fenban::clitest
