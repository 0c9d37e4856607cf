#include "cli/table_printer.h"

#include <sstream>

#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/value.h"

namespace fenban::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(TablePrinter, ChineseColumnsLineUpByDisplayWidth) {
  TextTable rows = {{"新班级", "总人数", "性别男"}, {"1", "40", "21"}, {"10", "39", "20"}, {"最大差", "1", "1"}};
  std::vector<std::string> lines = Lines(FormatTable(rows));
  ASSERT_EQ(lines.size(), 4u);
  size_t width = host::DisplayWidth(lines[0]);
  for (const std::string& line : lines) EXPECT_EQ(host::DisplayWidth(line), width) << line;
  // First column left-aligned, the others right-aligned.
  EXPECT_EQ(lines[1].rfind("1 ", 0), 0u);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 2), "21");
  EXPECT_EQ(lines[0], "新班级  总人数  性别男");
  EXPECT_EQ(lines[2], "10          39      20");
}

TEST(TablePrinter, ShortRowsArePadded) {
  std::vector<std::string> lines = Lines(FormatTable({{"a", "bb"}, {"ccc"}}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "a    bb");
  EXPECT_EQ(lines[1], "ccc");
}

TEST(TablePrinter, AllLeftAlignsEveryColumnLeft) {
  std::vector<std::string> lines = Lines(FormatTable({{"班级数", "txtFenBan", "10"}, {"前N名", "txtNMing", "否 no"}}, true));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "班级数  txtFenBan  10");
  EXPECT_EQ(lines[1], "前N名   txtNMing   否 no");
}

TEST(TablePrinter, ATableWiderThanTheTerminalGoesInPartsLedByTheFirstColumn) {
  TextTable rows = {{"新班级", "aaaa", "bbbb", "cccc"}, {"1", "1", "22", "333"}, {"最大差", "0", "1", "2"}};
  // 6 + 2 + 4 + 2 + 4 = 18 columns fit in 20; the last column goes below.
  std::vector<std::string> lines = Lines(FormatTable(rows, false, 20));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "新班级  aaaa  bbbb");
  EXPECT_EQ(lines[1], "1          1    22");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "新班级  cccc");
  EXPECT_EQ(lines[5], "1        333");
  EXPECT_EQ(lines[6], "最大差     2");
  for (const std::string& line : lines) EXPECT_LE(host::DisplayWidth(line), 20u) << line;
  // Wide enough, or no limit: one part, as before.
  EXPECT_EQ(FormatTable(rows, false, 24), FormatTable(rows));
  EXPECT_EQ(Lines(FormatTable(rows, false, 23)).size(), 7u);
  // A column wider than the terminal still gets a part of its own with the first column.
  std::vector<std::string> narrow = Lines(FormatTable(rows, false, 5));
  EXPECT_EQ(narrow.size(), 11u);
  EXPECT_EQ(narrow[0], "新班级  aaaa");
}

TEST(TablePrinter, CellTexts) {
  EXPECT_EQ(CellText(host::Value("性别\n男")), "性别男");
  EXPECT_EQ(CellText(host::Value(85.0)), "85");
  EXPECT_EQ(CellText(host::Value(85.5)), "85.5");
  EXPECT_EQ(CellText(host::Value(87.25), true), "87.3");
  EXPECT_EQ(CellText(host::Value(3.0), true), "3.0");
  EXPECT_EQ(CellText(host::Value()), "");
}

TEST(TablePrinter, SummaryOfAStatisticsSheet) {
  // A finished statistics sheet of two classes and two subjects (总分, 语文).
  host::ModelWorkbook book("示例.xlsx", "/tmp");
  host::ModelWorksheet& sheet = book.AppendSheet("统计表1");
  auto put = [&](int32_t row, std::vector<host::Value> values) {
    for (size_t c = 0; c < values.size(); ++c) {
      if (!values[c].IsEmpty()) sheet.SetCellValue(row, static_cast<int32_t>(c + 1), values[c]);
    }
  };
  put(1, {"各项人数统计(统计表1)"});
  put(2, {"新班级", "总人数", "性别\n男", "住校\n是", "应届\n是", "总分\n≥600"});
  put(3, {1, 40, 21, 10, 35, 5});
  put(4, {2, 39, 20, 11, 34, 6});
  put(5, {"最大差", 1, 1, 1, 1, 1});
  put(6, {"同班同名统计：无"});
  put(7, {"优秀人数统计(前10名)", {}, {}, "及格人数统计(前20名)"});
  put(8, {"新班级", "总分\n≥612", "语文\n≥120", "总分\n≥580", "语文\n≥110"});
  put(9, {1, 10, 9, 20, 21});
  put(10, {2, 10, 11, 20, 19});
  put(11, {"最大差", 0, 2, 0, 2});
  put(13, {"平均分统计(前10名)", {}, {}, "平均分统计(前20名)"});
  put(14, {"新班级", "总分", "语文", "总分", "语文"});
  put(15, {1, 650.5, 125.25, 630, 120});
  put(16, {2, 649.0, 124.0, 628, 119});
  put(17, {"最大差", 1.5, 1.25, 2, 1});

  std::ostringstream out;
  PrintStatisticsSummary(out, sheet);
  std::vector<std::string> lines = Lines(out.str());
  ASSERT_GE(lines.size(), 10u) << out.str();
  EXPECT_EQ(lines[0], "各项人数统计(统计表1)");
  EXPECT_EQ(lines[1], "新班级  总人数  性别男  住校是  应届是  总分≥600");
  EXPECT_EQ(lines[4].rfind("最大差       1       1       1       1", 0), 0u) << lines[4];
  EXPECT_EQ(host::DisplayWidth(lines[4]), host::DisplayWidth(lines[1]));
  EXPECT_EQ(lines[2].rfind("1           40      21      10      35", 0), 0u) << lines[2];
  EXPECT_EQ(lines[5], "同班同名统计：无");
  // One line per subject: marks, count differences and average differences.
  std::string text = out.str();
  EXPECT_NE(text.find("优秀人数统计(前10名)"), std::string::npos);
  EXPECT_NE(text.find("及格人数统计(前20名)"), std::string::npos);
  EXPECT_NE(text.find("平均分统计(前10名)"), std::string::npos);
  EXPECT_NE(text.find("平均分统计(前20名)"), std::string::npos);
  std::string total = lines[lines.size() - 2];
  std::string chinese = lines[lines.size() - 1];
  EXPECT_EQ(total.rfind("总分", 0), 0u) << total;
  EXPECT_EQ(chinese.rfind("语文", 0), 0u) << chinese;
  EXPECT_NE(total.find("≥612"), std::string::npos);
  EXPECT_NE(total.find("≥580"), std::string::npos);
  EXPECT_NE(total.find("1.5"), std::string::npos);
  EXPECT_NE(chinese.find("≥120"), std::string::npos);
  EXPECT_NE(chinese.find("1.3"), std::string::npos) << "1.25 shows with one decimal, halves up";
  EXPECT_EQ(chinese.substr(chinese.size() - 3), "1.0");
}

TEST(TablePrinter, ManyScoreBandsAreThinnedToTenFromFirstToLast) {
  host::ModelWorkbook book("示例.xlsx", "/tmp");
  host::ModelWorksheet& sheet = book.AppendSheet("统计表1");
  sheet.SetCellValue(2, 1, "新班级");
  sheet.SetCellValue(2, 2, "总人数");
  sheet.SetCellValue(3, 1, 1);
  sheet.SetCellValue(3, 2, 40);
  sheet.SetCellValue(4, 1, "最大差");
  sheet.SetCellValue(4, 2, 0);
  for (int32_t band = 1; band <= 25; ++band) {
    int32_t column = 5 + band;  // C..E empty, bands from F
    sheet.SetCellValue(2, column, "总分\n≥" + std::to_string(1000 - band));
    sheet.SetCellValue(3, column, band);
    sheet.SetCellValue(4, column, 0);
  }
  std::ostringstream out;
  PrintStatisticsSummary(out, sheet);
  std::vector<std::string> lines = Lines(out.str());
  ASSERT_GE(lines.size(), 5u) << out.str();
  const std::string& header = lines[1];
  size_t shown = 0;
  for (size_t at = header.find("总分≥"); at != std::string::npos; at = header.find("总分≥", at + 1)) ++shown;
  EXPECT_EQ(shown, 10u) << header;
  EXPECT_NE(header.find("总分≥999"), std::string::npos) << "the highest band";
  EXPECT_NE(header.find("总分≥975"), std::string::npos) << "the lowest band";
  EXPECT_NE(out.str().find("25"), std::string::npos);
  EXPECT_NE(lines[4].find("10"), std::string::npos) << lines[4];
}

TEST(TablePrinter, SummaryOfASheetWithoutTables) {
  host::ModelWorkbook book("示例.xlsx", "/tmp");
  host::ModelWorksheet& sheet = book.AppendSheet("统计表9");
  std::ostringstream out;
  PrintStatisticsSummary(out, sheet);
  EXPECT_EQ(Lines(out.str()).at(0), "统计表9");
}

TEST(SubjectList, SplitsAtAnyCommaAndDropsEmptyNames) {
  std::vector<std::string> expected = {"语文", "数学", "英语", "物理"};
  EXPECT_EQ(SplitSubjects("语文, 数学，英语、物理,,"), expected);
  EXPECT_TRUE(SplitSubjects("").empty());
  EXPECT_EQ(SplitSubjects("总分").size(), 1u);
}

}  // namespace
}  // namespace fenban::cli
