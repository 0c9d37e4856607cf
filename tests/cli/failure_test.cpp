// Runs that fail: each exits with 1 (or 2 for wrong usage), says why, and
// leaves every file as it was.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

TEST(Failures, AnUnknownBookNamesTheAvailableOnes) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "没有这个.xlsx"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("没有这个.xlsx"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("示例.xlsx"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, AMissingHostFolderOrHostWorkbook) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  RunResult missing = RunFenban(temp.Path(), {"-C", "nowhere", "list"});
  EXPECT_EQ(missing.status, 1) << Printed(missing);
  EXPECT_NE(missing.err.find("nowhere"), std::string::npos) << missing.err;

  RunResult noHost = RunFenban(temp.Path(), {"divide", "示例.xlsx"});
  EXPECT_EQ(noHost.status, 1) << Printed(noHost);
  EXPECT_NE(noHost.err.find("fenban.xlsx"), std::string::npos) << noHost.err;
  EXPECT_NE(noHost.err.find("fenban init"), std::string::npos) << noHost.err;
  EXPECT_TRUE(Snapshot(temp.Path()).empty());
}

TEST(Failures, AnUnreadableHostWorkbook) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  { std::ofstream(temp.Path() / "fenban.xlsx") << "not a workbook"; }
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"list"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("fenban.xlsx"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, ACorruptDataWorkbookIsLeftByteForByte) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // A zip file cut in half: it starts like a workbook but cannot be read.
  std::string example = ReadFile(temp.Path() / "数据" / "示例.xlsx");
  { std::ofstream(temp.Path() / "数据" / "坏.xlsx", std::ios::binary) << example.substr(0, example.size() / 2); }
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "坏.xlsx", "--classes", "2"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_EQ(run.err.rfind("错误: 错误[", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("nothing was saved"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, AMessageBoxRunSavesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  // A student list without a 总分 column.
  WriteDataBook(temp.Path() / "数据" / "无总分.xlsx",
                {{"考号", "姓名", "语文"}, {"1", "张三", 90}, {"2", "李四", 80}, {"3", "王五", 70}});
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "无总分.xlsx", "--classes", "2", "--by-sex"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("警告: 数据表没有“总分”列，不能分班！"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, AMissingBalanceColumnSavesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  WriteDataBook(temp.Path() / "数据" / "无性别.xlsx",
                {{"考号", "姓名", "总分"}, {"1", "张三", 90}, {"2", "李四", 80}, {"3", "王五", 70}, {"4", "赵六", 60}});
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"divide", "无性别.xlsx", "--classes", "2", "--by-sex"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("警告: "), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, StatsOnAMissingSheetNamesTheSheets) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表7"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("分班表7"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("数据表"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, StatsOnTheDataSheetIsAPromptAndSavesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "数据表"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_EQ(run.err.rfind("提示: ", 0), 0u) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, TooManySubjectsIsWrongUsage) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  auto before = Snapshot(temp.Path());
  std::string twenty;
  for (int i = 1; i <= 20; ++i) twenty += (i > 1 ? "," : "") + std::string("科目") + std::to_string(i);
  RunResult run = RunFenban(temp.Path(), {"template", "--subjects", twenty});
  EXPECT_EQ(run.status, 2) << Printed(run);
  EXPECT_NE(run.err.find("19"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

TEST(Failures, AReadOnlyDataFolderLeavesEverythingAsItWas) {
  FENBAN_REQUIRE_BINARY();
  if (::geteuid() == 0) GTEST_SKIP() << "root may write into read-only folders";
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  auto before = Snapshot(temp.Path());
  fs::path data = temp.Path() / "数据";
  fs::permissions(data, fs::perms::owner_write, fs::perm_options::remove);
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2"});
  fs::permissions(data, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_EQ(Snapshot(temp.Path()), before);
}

}  // namespace
}  // namespace fenban::clitest
