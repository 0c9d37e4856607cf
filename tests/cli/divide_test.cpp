// divide and stats, run as the built program on generated examples.
#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// The ids of the data sheet (header in row 1).
std::vector<std::string> DataIds(host::ModelWorkbook& book) {
  host::Worksheet& data = *book.FindSheet("数据表");
  return ColumnTexts(data, ColumnOf(data, 1, "考号"), 2);
}

// id -> class of a finished division sheet (title in row 1, header in row 2).
std::map<std::string, std::string> ClassOfId(host::Worksheet& division) {
  int32_t idColumn = ColumnOf(division, 2, "考号");
  int32_t classColumn = ColumnOf(division, 2, "新班级");
  EXPECT_GT(idColumn, 0);
  EXPECT_EQ(classColumn, 1);
  std::map<std::string, std::string> classes;
  for (int32_t r = 3; !division.CellValue(r, idColumn).IsEmpty(); ++r) {
    std::string id = division.CellValue(r, idColumn).ToText();
    EXPECT_EQ(classes.count(id), 0u) << "student " << id << " appears twice";
    classes[id] = division.CellValue(r, classColumn).ToText();
  }
  return classes;
}

TEST(Divide, EveryStudentLandsInExactlyOneClass) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 160);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "4", "--by-sex", "--seed", "11"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("随机种子 seed: 11\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("分班表1, 统计表1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("示例.xlsx"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("各项人数统计(统计表1)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("最大差"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Hz"), std::string::npos) << "the beep is not printed: " << run.out;
  EXPECT_EQ(run.err, "") << "no bell when standard error is a file";

  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  std::vector<std::string> names = SheetNames(*book);
  for (const char* sheet : {"数据表", "分班表1", "统计表1"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), sheet), names.end()) << sheet;
  }
  auto division = std::find(names.begin(), names.end(), "分班表1");
  ASSERT_NE(division + 1, names.end());
  EXPECT_EQ(*(division + 1), "统计表1");

  std::vector<std::string> ids = DataIds(*book);
  ASSERT_EQ(ids.size(), 160u);
  std::map<std::string, std::string> classes = ClassOfId(*book->FindSheet("分班表1"));
  EXPECT_EQ(classes.size(), ids.size());
  std::map<std::string, int> sizes;
  for (const std::string& id : ids) {
    ASSERT_EQ(classes.count(id), 1u) << "student " << id << " missing";
    ++sizes[classes[id]];
  }
  ASSERT_EQ(sizes.size(), 4u);
  for (const auto& [label, size] : sizes) {
    EXPECT_TRUE(label == "1" || label == "2" || label == "3" || label == "4") << label;
    EXPECT_GE(size, 39) << label;
    EXPECT_LE(size, 41) << label;
  }

  // The statistics sheet agrees with the division sheet on the class sizes.
  host::Worksheet& statistics = *book->FindSheet("统计表1");
  EXPECT_EQ(statistics.CellValue(2, 2), host::Value("总人数"));
  for (int32_t c = 1; c <= 4; ++c) {
    std::string label = statistics.CellValue(2 + c, 1).ToText();
    EXPECT_EQ(statistics.CellValue(2 + c, 2).ToDouble(), sizes[label]) << label;
  }
  EXPECT_EQ(statistics.CellValue(7, 1), host::Value("最大差"));

  // The options were stored, the counter advanced and the working sheets are empty.
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  host::Worksheet& dtb = *host->FindSheet("DTB");
  EXPECT_EQ(dtb.CellValue(2, 1).ToDouble(), 2);
  EXPECT_EQ(dtb.CellValue(2, 3).ToDouble(), 4);
  EXPECT_EQ(dtb.CellValue(2, 7), host::Value::Boolean(true));
  EXPECT_EQ(dtb.CellValue(2, 8), host::Value::Boolean(false));
  EXPECT_TRUE(host->FindSheet("FBB")->CellValue(1, 1).IsEmpty());
  EXPECT_TRUE(host->FindSheet("JZB")->CellValue(1, 1).IsEmpty());
}

TEST(Divide, TheSameSeedGivesTheSameDivision) {
  FENBAN_REQUIRE_BINARY();
  TempFolder a, b;
  for (const TempFolder* folder : {&a, &b}) {
    InitWithExample(folder->Path(), 90);
    RunResult run = RunFenban(folder->Path(), {"divide", "示例.xlsx", "--classes", "3", "--seed", "2024"});
    ASSERT_EQ(run.status, 0) << Printed(run);
  }
  auto bookA = ReadBook(a.Path() / "数据" / "示例.xlsx");
  auto bookB = ReadBook(b.Path() / "数据" / "示例.xlsx");
  EXPECT_EQ(ClassOfId(*bookA->FindSheet("分班表1")), ClassOfId(*bookB->FindSheet("分班表1")));
}

TEST(Divide, WithoutASeedTheSeedUsedIsPrinted) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  size_t at = run.out.find("随机种子 seed: ");
  ASSERT_NE(at, std::string::npos) << run.out;
  std::string seed = run.out.substr(at + std::string("随机种子 seed: ").size());
  seed = seed.substr(0, seed.find('\n'));
  ASSERT_FALSE(seed.empty());
  EXPECT_TRUE(std::all_of(seed.begin(), seed.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) << seed;
}

TEST(Divide, ASecondDivisionMakesTheNextPair) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 60);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "3", "--seed", "1"}).status, 0);
  RunResult second = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "2"});
  ASSERT_EQ(second.status, 0) << Printed(second);
  EXPECT_NE(second.out.find("分班表2, 统计表2"), std::string::npos) << second.out;
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  std::vector<std::string> names = SheetNames(*book);
  for (const char* sheet : {"分班表1", "统计表1", "分班表2", "统计表2"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), sheet), names.end()) << sheet;
  }
  // The class count was remembered from the first run.
  std::map<std::string, int> sizes;
  for (const auto& [id, label] : ClassOfId(*book->FindSheet("分班表2"))) ++sizes[label];
  EXPECT_EQ(sizes.size(), 3u);
}

TEST(Divide, OptionsAreValidatedAndStoredAsTheFormWould) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 100);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "abc", "--excellent", "7.9", "--pass",
                                          "0", "--top", "0", "--by-boarding", "--no-by-sex", "--round", "yes",
                                          "--seed", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  host::Worksheet& dtb = *host->FindSheet("DTB");
  EXPECT_EQ(dtb.CellValue(2, 3).ToDouble(), 10) << "abc becomes the default class count";
  EXPECT_EQ(dtb.CellValue(2, 4).ToDouble(), 7) << "7.9 becomes 7";
  EXPECT_EQ(dtb.CellValue(2, 5).ToDouble(), 30) << "pass 0 becomes the default";
  EXPECT_EQ(dtb.CellValue(2, 6).ToDouble(), 0) << "top 0 stays 0";
  EXPECT_EQ(dtb.CellValue(2, 7), host::Value::Boolean(false));
  EXPECT_EQ(dtb.CellValue(2, 8), host::Value::Boolean(true));
  EXPECT_EQ(host->FindSheet("登记表")->CellValue(2, 3), host::Value("是"));

  // Totals were rounded before the division: every total on the division sheet is whole.
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  host::Worksheet& division = *book->FindSheet("分班表1");
  int32_t total = ColumnOf(division, 2, "总分");
  ASSERT_GT(total, 0);
  for (int32_t r = 3; !division.CellValue(r, total).IsEmpty(); ++r) {
    double value = division.CellValue(r, total).ToDouble();
    EXPECT_EQ(value, static_cast<double>(static_cast<int64_t>(value))) << "row " << r;
  }
}

TEST(Stats, RebuildsTheStatisticsAfterAStudentWasMovedByHand) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 80);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "4", "--seed", "5"}).status, 0);
  fs::path dataPath = temp.Path() / "数据" / "示例.xlsx";

  // The teacher moves the first student of class 1 into class 2 and saves.
  std::map<std::string, int> sizesBefore;
  {
    auto book = ReadBook(dataPath);
    host::Worksheet& division = *book->FindSheet("分班表1");
    for (const auto& [id, label] : ClassOfId(division)) ++sizesBefore[label];
    ASSERT_EQ(division.CellValue(3, 1).ToText(), "1");
    division.SetCellValue(3, 1, 2);
    files::WriteXlsx(*book, dataPath.string());
  }
  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1", "--excellent", "5"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("各项人数统计(统计表1)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("优秀人数统计(前5名)"), std::string::npos) << run.out;

  auto book = ReadBook(dataPath);
  std::map<std::string, int> sizesAfter;
  for (const auto& [id, label] : ClassOfId(*book->FindSheet("分班表1"))) ++sizesAfter[label];
  EXPECT_EQ(sizesAfter["1"], sizesBefore["1"] - 1);
  EXPECT_EQ(sizesAfter["2"], sizesBefore["2"] + 1);
  host::Worksheet& statistics = *book->FindSheet("统计表1");
  EXPECT_EQ(statistics.CellValue(3, 2).ToDouble(), sizesAfter["1"]);
  EXPECT_EQ(statistics.CellValue(4, 2).ToDouble(), sizesAfter["2"]);
  // The numbering did not move.
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 1).ToDouble(), 2);
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 4).ToDouble(), 5);
}

TEST(Stats, AcceptsTheStatisticsSheetOfThePair) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "5"}).status, 0);
  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "统计表1", "--pass", "6"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  std::vector<std::string> names = SheetNames(*book);
  auto division = std::find(names.begin(), names.end(), "分班表1");
  ASSERT_NE(division, names.end());
  ASSERT_NE(division + 1, names.end());
  EXPECT_EQ(*(division + 1), "统计表1");
  EXPECT_NE(run.out.find("及格人数统计(前6名)"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace fenban::clitest
