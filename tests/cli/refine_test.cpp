// `fenban divide --refine`: the option is stored and listed, the summary
// shows each figure before and after, constraints that cannot be met save
// nothing, and without the refinement the sheets are the deal's as before.
#include "cli/cli_test_support.h"

#include <algorithm>
#include <sstream>

namespace fenban::clitest {
namespace {

// Every cell of a sheet as text, row by row, up to its used rectangle.
std::vector<std::string> SheetTexts(host::Worksheet& sheet) {
  std::vector<std::string> texts;
  const host::Rect used = sheet.UsedRect();
  for (int32_t r = 1; r <= used.row2; ++r) {
    for (int32_t c = 1; c <= used.col2; ++c) texts.push_back(sheet.CellValue(r, c).ToText());
  }
  return texts;
}

// Adds a column to the data sheet of 数据/示例.xlsx with `value` in the given rows.
void AddColumn(const fs::path& folder, const std::string& header, const std::map<int32_t, std::string>& values) {
  auto book = ReadBook(folder / "数据" / "示例.xlsx");
  host::Worksheet& data = *book->FindSheet("数据表");
  const int32_t column = data.UsedRect().col2 + 1;
  data.SetCellValue(1, column, header);
  for (const auto& [row, value] : values) data.SetCellValue(row, column, value);
  files::SaveWorkbook(*book);
}

std::string NameAt(const fs::path& folder, int32_t row) {
  auto book = ReadBook(folder / "数据" / "示例.xlsx");
  host::Worksheet& data = *book->FindSheet("数据表");
  return data.CellValue(row, ColumnOf(data, 1, "姓名")).ToText();
}

TEST(Refine, IsStoredListedAndPrintsEachFigureBeforeAndAfter) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 120);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "4", "--by-sex", "--refine", "--seed", "9"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("优化前后 before and after the refinement"), std::string::npos) << run.out;
  for (const char* figure : {"总分", "语文", "地理", "性别", "住校", "应届", "总分标准差", "优秀人数", "及格人数", "总分优秀人数",
                             "总分及格人数"}) {
    EXPECT_NE(run.out.find(std::string("\n") + figure + " "), std::string::npos) << figure << "\n" << run.out;
  }
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 10), host::Value::Boolean(true));
  RunResult list = RunFenban(temp.Path(), {"list"});
  EXPECT_NE(list.out.find("--refine       是 yes"), std::string::npos) << list.out;

  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  host::Worksheet& division = *book->FindSheet("分班表1");
  const std::vector<std::string> ids = ColumnTexts(division, ColumnOf(division, 2, "考号"), 3);
  EXPECT_EQ(ids.size(), 120u);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 120u) << "every student once";

  run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--no-refine", "--seed", "9"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(run.out.find("优化前后"), std::string::npos) << "no refinement, no comparison";
  host = ReadBook(temp.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 10), host::Value::Boolean(false));
}

// Per table of a written statistics sheet (by the title above it), the
// largest value of its "最大差" row.
std::map<std::string, double> LargestPerTable(host::Worksheet& stats) {
  std::map<std::string, double> largest;
  const host::Rect used = stats.UsedRect();
  int32_t header = 0;
  for (int32_t r = 1; r <= used.row2; ++r) {
    const std::string first = stats.CellValue(r, 1).ToText();
    if (first == "新班级") header = r;
    if (first != "最大差" || header < 2) continue;
    // The titles stand in the row above the header; each reaches to the next.
    std::vector<std::pair<int32_t, std::string>> titles;
    for (int32_t c = 1; c <= used.col2; ++c) {
      std::string title = stats.CellValue(header - 1, c).ToText();
      if (title.rfind("各项人数统计", 0) == 0) title = "各项人数统计";
      if (!title.empty()) titles.emplace_back(c, title);
    }
    for (size_t t = 0; t < titles.size(); ++t) {
      const int32_t end = t + 1 < titles.size() ? titles[t + 1].first : used.col2 + 1;
      double& most = largest[titles[t].second];
      for (int32_t c = std::max(2, titles[t].first); c < end; ++c) {
        const host::Value& value = stats.CellValue(r, c);
        if (value.IsNumber()) most = std::max(most, value.Number());
      }
    }
  }
  return largest;
}

// The summary's lines of the sheet's tables: title -> (dealt, refined).
std::map<std::string, std::pair<double, double>> PrintedTables(const std::string& out) {
  std::map<std::string, std::pair<double, double>> tables;
  std::istringstream lines(out.substr(out.find("每张表最大的")));
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);  // the column headers
  while (std::getline(lines, line) && line.rfind("全班", 0) != 0) {
    std::istringstream words(line);
    std::string title;
    double dealt = 0, refined = 0;
    words >> title >> dealt >> refined;
    tables[title] = {dealt, refined};
  }
  return tables;
}

TEST(Refine, TheSummaryShowsEachTablesLargestDifferenceAsTheWrittenSheetHasIt) {
  // What the terminal says before and after must be what the teacher reads
  // on the statistics sheets of the same list and seed, without refining
  // and with it.
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 240);
  const std::vector<std::string> divide = {"divide", "示例.xlsx", "--classes", "6", "--by-sex", "--by-boarding",
                                           "--seed", "5"};
  std::vector<std::string> plain = divide, refined = divide;
  plain.push_back("--no-refine");
  refined.push_back("--refine");
  ASSERT_EQ(RunFenban(temp.Path(), plain).status, 0);
  const RunResult run = RunFenban(temp.Path(), refined);
  ASSERT_EQ(run.status, 0) << Printed(run);
  const std::map<std::string, std::pair<double, double>> printed = PrintedTables(run.out);
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  const std::map<std::string, double> dealt = LargestPerTable(*book->FindSheet("统计表1"));
  const std::map<std::string, double> after = LargestPerTable(*book->FindSheet("统计表2"));
  ASSERT_EQ(after.size(), 5u);
  ASSERT_EQ(printed.size(), after.size()) << run.out;
  for (const auto& [title, largest] : after) {
    SCOPED_TRACE(title);
    ASSERT_TRUE(printed.count(title)) << run.out;
    // Counts are printed whole, averages with the sheet's one decimal.
    const double shown = title.rfind("平均分", 0) == 0 ? 0.05 + 1e-9 : 1e-9;
    EXPECT_NEAR(printed.at(title).first, dealt.at(title), shown);
    EXPECT_NEAR(printed.at(title).second, largest, shown);
  }
}

TEST(Refine, BothSwitchesAtOnceIsWrongUsage) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--refine", "--no-refine"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--refine"), std::string::npos) << run.err;
}

TEST(Refine, AnApartGroupLargerThanTheClassCountSavesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  AddColumn(temp.Path(), "分开", {{2, "兄弟"}, {3, "兄弟"}, {4, "兄弟"}});
  const std::string dataBefore = ReadFile(temp.Path() / "数据" / "示例.xlsx");
  const std::string hostBefore = ReadFile(temp.Path() / "fenban.xlsx");
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--refine", "--seed", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("警告: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("“分开”为“兄弟”"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(NameAt(temp.Path(), 2)), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("nothing was saved"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(temp.Path() / "数据" / "示例.xlsx"), dataBefore);
  EXPECT_EQ(ReadFile(temp.Path() / "fenban.xlsx"), hostBefore);
}

TEST(Refine, WithoutItTheSheetsAreTheDealsWhateverTheFolderAndTheGroupColumns) {
  FENBAN_REQUIRE_BINARY();
  // Three folders divided with one seed: no switch, --no-refine, and a host
  // workbook from before the refinement existed (no column J in "DTB").
  TempFolder plain, off, old;
  for (const TempFolder* folder : {&plain, &off, &old}) InitWithExample(folder->Path(), 150);
  AddColumn(off.Path(), "分开", {{2, "a"}, {5, "a"}});
  AddColumn(plain.Path(), "分开", {{2, "a"}, {5, "a"}});
  AddColumn(old.Path(), "分开", {{2, "a"}, {5, "a"}});
  {
    auto host = ReadBook(old.Path() / "fenban.xlsx");
    host::Worksheet& dtb = *host->FindSheet("DTB");
    dtb.SetCellValue(1, 10, host::Value());
    dtb.SetCellValue(2, 10, host::Value());
    files::SaveWorkbook(*host);
  }
  std::vector<std::vector<std::string>> divisions, statistics;
  for (const auto& [folder, extra] : {std::pair{&plain, std::string()}, std::pair{&off, std::string("--no-refine")},
                                      std::pair{&old, std::string()}}) {
    std::vector<std::string> args = {"divide", "示例.xlsx", "--classes", "5", "--by-sex", "--by-boarding", "--seed", "31"};
    if (!extra.empty()) args.push_back(extra);
    RunResult run = RunFenban(folder->Path(), args);
    ASSERT_EQ(run.status, 0) << Printed(run);
    auto book = ReadBook(folder->Path() / "数据" / "示例.xlsx");
    divisions.push_back(SheetTexts(*book->FindSheet("分班表1")));
    statistics.push_back(SheetTexts(*book->FindSheet("统计表1")));
  }
  EXPECT_EQ(divisions[0], divisions[1]);
  EXPECT_EQ(divisions[0], divisions[2]);
  EXPECT_EQ(statistics[0], statistics[1]);
  EXPECT_EQ(statistics[0], statistics[2]);
}

}  // namespace
}  // namespace fenban::clitest
