// What the program says around a command: replaced option values, usage
// errors, suggestions, the version, list numbers, the bell, the summary's
// width and the line on what to do next.
#include <algorithm>

#include "cli/cli_test_support.h"
#include "host/value.h"

namespace fenban::clitest {
namespace {

void InitWithExample(const fs::path& folder, int students) {
  RunResult run = RunFenban(folder, {"init", "--example", std::to_string(students)});
  ASSERT_EQ(run.status, 0) << Printed(run);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Runs with COLUMNS set to `columns` in the child's environment.
RunResult RunWithColumns(const fs::path& folder, const std::string& columns, const std::vector<std::string>& args) {
  ::setenv("COLUMNS", columns.c_str(), 1);
  RunResult run = RunFenban(folder, args);
  ::unsetenv("COLUMNS");
  return run;
}

TEST(Manners, ReplacedOptionValuesAreNamedBeforeDividingAndTheValuesInEffectArePrinted) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 100);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "abc", "--excellent", "7.9", "--pass",
                                          "10", "--top", "02", "--by-sex", "--seed", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.err.find("班级数 classes abc 无效，按 10 处理"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("优秀人数 excellent 7.9 无效，按 7 处理"), std::string::npos) << run.err;
  // Values the rules keep, even written differently, are not mentioned.
  EXPECT_EQ(run.err.find("及格人数"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("前N名"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("班级数 classes 10，优秀 excellent 7，及格 pass 10，前N名 top 2\n"
                         "  按性别 by sex 是，按住校 by boarding 否"),
            std::string::npos)
      << run.out;

  // A quota larger than the list allows (100 students in 10 classes) is capped, and that is said too.
  RunResult capped = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "10", "--pass", "500", "--seed", "3"});
  ASSERT_EQ(capped.status, 0) << Printed(capped);
  EXPECT_NE(capped.err.find("及格人数 pass 500 无效，按 10 处理"), std::string::npos) << capped.err;
}

TEST(Manners, UsageErrorsInChineseAndEnglishWithTheNearestCommand) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  RunResult misspelt = RunFenban(temp.Path(), {"-C", ".", "dvide", "示例.xlsx"});
  EXPECT_EQ(misspelt.status, 2);
  EXPECT_NE(misspelt.err.find("没有命令 “dvide” (no such command)"), std::string::npos) << misspelt.err;
  EXPECT_NE(misspelt.err.find("did you mean: fenban divide"), std::string::npos) << misspelt.err;
  RunResult far = RunFenban(temp.Path(), {"frobnicate"});
  EXPECT_EQ(far.status, 2);
  EXPECT_NE(far.err.find("没有命令"), std::string::npos) << far.err;
  EXPECT_EQ(far.err.find("did you mean"), std::string::npos) << far.err;
  EXPECT_NE(RunFenban(temp.Path(), {"stat"}).err.find("did you mean: fenban stats"), std::string::npos);

  RunResult missing = RunFenban(temp.Path(), {"divide"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("fenban divide: 缺少必需的参数 (BOOK is required)"), std::string::npos) << missing.err;
  RunResult none = RunFenban(temp.Path(), {"-C", "."});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("需要一个命令"), std::string::npos) << none.err;
  RunResult unknown = RunFenban(temp.Path(), {"divide", "a.xlsx", "--bogus"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("没有选项 --bogus (no such option)"), std::string::npos) << unknown.err;
  RunResult extra = RunFenban(temp.Path(), {"divide", "a.xlsx", "b.xlsx"});
  EXPECT_EQ(extra.status, 2);
  EXPECT_NE(extra.err.find("有多余或不认识的参数"), std::string::npos) << extra.err;
  EXPECT_NE(unknown.err.find("--bogus"), std::string::npos) << unknown.err;
  EXPECT_NE(unknown.err.find("usage: fenban divide --help"), std::string::npos) << unknown.err;
}

TEST(Manners, MisspeltOptionsGetTheNearestName) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  const Case cases[] = {
      {{"divide", "a.xlsx", "--clases", "3"}, "fenban divide: 没有选项 --clases；你是不是想用 --classes"},
      {{"divide", "a.xlsx", "--no-by-sx"}, "没有选项 --no-by-sx；你是不是想用 --no-by-sex"},
      {{"stats", "a.xlsx", "分班表1", "--exellent=3"}, "没有选项 --exellent；你是不是想用 --excellent"},
      // The options every command takes count too.
      {{"list", "--verison"}, "fenban list: 没有选项 --verison；你是不是想用 --version"},
      // Even when a required argument is missing as well, the misspelling is named first.
      {{"export", "--colums", "姓名"}, "没有选项 --colums；你是不是想用 --columns"},
  };
  for (const Case& c : cases) {
    RunResult run = RunFenban(temp.Path(), c.args);
    EXPECT_EQ(run.status, 2) << c.said;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("用法 usage: fenban "), std::string::npos) << run.err;
  }
  RunResult far = RunFenban(temp.Path(), {"divide", "a.xlsx", "--frobnicate"});
  EXPECT_EQ(far.status, 2);
  EXPECT_NE(far.err.find("没有选项 --frobnicate (no such option)"), std::string::npos) << far.err;
  EXPECT_EQ(far.err.find("你是不是"), std::string::npos) << far.err;
}

// Columns a line takes on a terminal: CJK characters and full-width forms take two.
size_t TerminalColumns(const std::string& line) {
  size_t columns = 0;
  for (size_t i = 0; i < line.size();) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < line.size(); ++k) code = (code << 6) | (line[i + k] & 0x3F);
    const bool wide = (code >= 0x2E80 && code <= 0x9FFF) || (code >= 0xFF00 && code <= 0xFF60);
    columns += wide ? 2 : 1;
    i += length;
  }
  return columns;
}

TEST(Manners, HelpLeadsInChineseAndWrapsWordsWithinEightyColumns) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"divide", "--help"}, {"stats", "--help"}, {"export", "--help"}, {"init", "--help"}}) {
    RunResult run = RunFenban(temp.Path(), args);
    ASSERT_EQ(run.status, 0) << Printed(run);
    for (const std::string& line : LinesOf(run.out)) {
      EXPECT_LE(TerminalColumns(line), 80u) << args[0] << ": " << line;
      EXPECT_NE(line.substr(line.size() >= 3 ? line.size() - 3 : 0), "“") << line;
    }
    EXPECT_NE(run.out.find("用法 usage: fenban"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("选项 options:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("显示这段说明"), std::string::npos) << run.out;
    for (const char* english : {"Usage:", "Options:", "Subcommands:", "Positionals:", "Print this help message"}) {
      EXPECT_EQ(run.out.find(english), std::string::npos) << english << " in\n" << run.out;
    }
  }
  // Words are not cut: the long English phrases of divide's help stay whole.
  RunResult divide = RunFenban(temp.Path(), {"divide", "--help"});
  for (const char* word : {"serpentine", "current-year", "refinement:", "statistics,"}) {
    EXPECT_NE(divide.out.find(word), std::string::npos) << word;
  }
  EXPECT_NE(divide.out.find("BOOK 文字 必需"), std::string::npos) << divide.out;
  EXPECT_NE(RunFenban(temp.Path(), {"--help"}).out.find("命令 commands:"), std::string::npos);
}

TEST(Manners, HelpShowsTheValuesTheHostFolderHolds) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  // No host folder: the values a new one starts with.
  RunResult fresh = RunFenban(temp.Path(), {"divide", "--help"});
  ASSERT_EQ(fresh.status, 0) << Printed(fresh);
  EXPECT_NE(fresh.out.find("班级数，默认 10 (number of classes, default 10)"), std::string::npos) << fresh.out;
  EXPECT_NE(fresh.out.find("按性别均衡，默认 否"), std::string::npos) << fresh.out;

  ASSERT_EQ(RunFenban(temp.Path(), {"init", "host"}).status, 0);
  const fs::path hostBook = temp.Path() / "host" / "fenban.xlsx";
  {
    auto book = ReadBook(hostBook);
    host::Worksheet& dtb = *book->FindSheet("DTB");
    dtb.SetCellValue(2, 3, 7);
    dtb.SetCellValue(2, 6, 0);
    dtb.SetCellValue(2, 7, host::Value::Boolean(true));
    book->FindSheet("登记表")->SetCellValue(2, 3, "是");
    files::WriteXlsx(*book, hostBook.string());
  }
  const std::string before = ReadFile(hostBook);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-C", "host", "divide", "--help"}, {"--dir=host", "divide", "-h"}}) {
    RunResult run = RunFenban(temp.Path(), args);
    ASSERT_EQ(run.status, 0) << Printed(run);
    EXPECT_NE(run.out.find("班级数，现在 7 (number of classes, now 7)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0 switches it off; now 0)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("按性别均衡，现在 是 (balance the classes by sex;"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("按住校均衡，现在 否"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("yes 或 no，现在 是"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("默认 10"), std::string::npos) << run.out;
  }
  RunResult stats = RunFenban(temp.Path() / "host", {"stats", "--help"});
  EXPECT_NE(stats.out.find("班级数，现在 7"), std::string::npos) << stats.out;
  // Reading for the help writes nothing.
  EXPECT_EQ(ReadFile(hostBook), before);
}

TEST(Manners, SeedsOutOfRangeAreUsageErrors) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  const std::string before = ReadFile(temp.Path() / "数据" / "示例.xlsx");
  for (const char* seed : {"-1", "18446744073709551616", "1e3"}) {
    RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", seed});
    EXPECT_EQ(run.status, 2) << seed << "\n" << Printed(run);
    EXPECT_NE(run.err.find("随机种子"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("whole number from 0 to 18446744073709551615"), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFile(temp.Path() / "数据" / "示例.xlsx"), before);
  RunResult largest = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "18446744073709551615"});
  ASSERT_EQ(largest.status, 0) << Printed(largest);
  EXPECT_NE(largest.out.find("随机种子 seed: 18446744073709551615\n"), std::string::npos) << largest.out;
}

TEST(Manners, VersionAndBookNamesBeginningWithADash) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  RunResult version = RunFenban(temp.Path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("fenban ", 0), 0u) << version.out;
  EXPECT_NE(RunFenban(temp.Path(), {"--help"}).out.find("-- -名单.xlsx"), std::string::npos);

  InitWithExample(temp.Path(), 40);
  fs::rename(temp.Path() / "数据" / "示例.xlsx", temp.Path() / "数据" / "-名单.xlsx");
  RunResult run = RunFenban(temp.Path(), {"divide", "--seed", "1", "--", "-名单.xlsx"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "数据" / "-名单.xlsx");
  EXPECT_NE(book->FindSheet("分班表1"), nullptr);
  // The next step keeps the "--" so that it can be run as printed.
  EXPECT_NE(run.out.find(" stats -- -名单.xlsx 分班表1"), std::string::npos) << run.out;
}

TEST(Manners, ListNumbersAreTheOnesDivideAccepts) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  fs::copy_file(temp.Path() / "数据" / "示例.xlsx", temp.Path() / "数据" / "A名单.xlsx");
  RunResult list = RunFenban(temp.Path(), {"list"});
  ASSERT_NE(list.out.find("    2  示例.xlsx"), std::string::npos) << list.out;
  RunResult run = RunFenban(temp.Path(), {"divide", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(ReadBook(temp.Path() / "数据" / "示例.xlsx")->FindSheet("分班表1"), nullptr);
  EXPECT_EQ(ReadBook(temp.Path() / "数据" / "A名单.xlsx")->FindSheet("分班表1"), nullptr);
  for (const char* wrong : {"0", "3"}) {
    RunResult refused = RunFenban(temp.Path(), {"divide", wrong});
    EXPECT_EQ(refused.status, 1) << wrong;
    EXPECT_NE(refused.err.find("没有"), std::string::npos) << refused.err;
  }
}

TEST(Manners, NoBeepLineAndTheSummaryFitsTheTerminal) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 660);
  RunResult run = RunWithColumns(temp.Path(), "80", {"divide", "示例.xlsx", "--classes", "10", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(run.out.find("Hz"), std::string::npos) << run.out;
  EXPECT_EQ(run.err.find('\a'), std::string::npos) << "no bell when standard error is a file";
  size_t widest = 0;
  for (const std::string& line : LinesOf(run.out)) {
    if (line.find("下一步") != std::string::npos || line.find("已保存") != std::string::npos ||
        line.find("选项 options") != std::string::npos) {
      continue;  // sentences and paths, not tables
    }
    widest = std::max(widest, host::DisplayWidth(line));
  }
  EXPECT_LE(widest, 80u) << run.out;
  // Every band of the table is still there, in a second part led by the class column.
  EXPECT_NE(run.out.find("总分≥549"), std::string::npos) << run.out;
  const auto narrowLines = LinesOf(run.out);
  EXPECT_GE(std::count_if(narrowLines.begin(), narrowLines.end(),
                          [](const std::string& line) { return line.rfind("新班级", 0) == 0; }),
            2)
      << run.out;

  RunResult wide = RunWithColumns(temp.Path(), "200", {"stats", "示例.xlsx", "分班表1"});
  ASSERT_EQ(wide.status, 0) << Printed(wide);
  const auto lines = LinesOf(wide.out);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("新班级", 0) == 0; }),
            1)
      << wide.out;
}

TEST(Manners, WhatNextNamesTheFileAndTheExactStatsCommand) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  fs::path folder = temp.Path() / "高一 分班";
  ASSERT_EQ(RunFenban(temp.Path(), {"init", "高一 分班", "--example", "40"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"-C", "高一 分班", "divide", "示例.xlsx", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  const std::string folderText = fs::canonical(folder).string();
  EXPECT_NE(run.out.find("下一步 next: 打开 open '" + folderText + "/数据/示例.xlsx'"), std::string::npos) << run.out;
  const std::string command = "fenban -C '" + folderText + "' stats 示例.xlsx 分班表1";
  EXPECT_NE(run.out.find(command + "\n"), std::string::npos) << run.out;
  // Run as printed, the command rebuilds the statistics.
  RunResult again = RunFenban(temp.Path(), {"-C", folderText, "stats", "示例.xlsx", "分班表1"});
  EXPECT_EQ(again.status, 0) << Printed(again);
}

}  // namespace
}  // namespace fenban::clitest
