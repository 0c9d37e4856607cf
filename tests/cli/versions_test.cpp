// Versions: every command that replaces a workbook keeps the file as it was
// in a hidden folder beside it; history lists them and restore brings one
// back, itself undoable. Run as the built program.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

const fs::path kExampleHistory = fs::path("数据") / ".fenban-history" / "示例.xlsx";

// The kept copies of a workbook, by number.
std::map<int, fs::path> KeptCopies(const fs::path& historyFolder) {
  std::map<int, fs::path> copies;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(historyFolder, ec)) {
    if (entry.path().extension() == ".xlsx") copies[std::atoi(entry.path().stem().c_str())] = entry.path();
  }
  return copies;
}

std::string NewestCopy(const fs::path& historyFolder) {
  const auto copies = KeptCopies(historyFolder);
  return copies.empty() ? "" : ReadFile(copies.rbegin()->second);
}

// The sheet names as openpyxl, a reader independent of ours, sees them.
std::string SheetsByOpenpyxl(const fs::path& workbook) {
  const fs::path listing = workbook.parent_path() / ".sheets";
  const std::string command = "/usr/bin/python3 -c \"import sys, openpyxl; "
                              "print(','.join(openpyxl.load_workbook(sys.argv[1]).sheetnames))\" '" +
                              workbook.string() + "' > '" + listing.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::string names = ReadFile(listing);
  fs::remove(listing);
  if (status != 0) return "openpyxl failed: " + names;
  if (!names.empty() && names.back() == '\n') names.pop_back();
  return names;
}

TEST(Versions, EveryCommandThatReplacesAWorkbookKeepsTheFileAsItWas) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  const fs::path example = temp.Path() / "数据" / "示例.xlsx", host = temp.Path() / "fenban.xlsx";
  const fs::path exampleHistory = temp.Path() / kExampleHistory;
  const fs::path hostHistory = temp.Path() / ".fenban-history" / "fenban.xlsx";
  struct Step {
    std::vector<std::string> args;
    bool replacesExample;
  };
  const std::vector<Step> steps = {
      {{"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}, true},
      {{"stats", "示例.xlsx", "分班表1"}, true},
      {{"template", "--subjects", "语文,数学"}, false},
      {{"clean", "示例.xlsx"}, true},
      {{"init", ".", "--example", "30"}, true},
  };
  for (const Step& step : steps) {
    const std::string exampleBefore = ReadFile(example), hostBefore = ReadFile(host);
    RunResult run = RunFenban(temp.Path(), step.args);
    ASSERT_EQ(run.status, 0) << Printed(run);
    if (step.replacesExample) {
      EXPECT_EQ(NewestCopy(exampleHistory), exampleBefore) << step.args[0];
    }
    if (step.args[0] != "init") {
      EXPECT_EQ(NewestCopy(hostHistory), hostBefore) << step.args[0];
    }
  }
  EXPECT_EQ(KeptCopies(exampleHistory).size(), 4u);
  EXPECT_EQ(KeptCopies(hostHistory).size(), 4u);
  // A kept copy is a workbook other programs open.
  EXPECT_EQ(SheetsByOpenpyxl(KeptCopies(exampleHistory).at(3)), "分班表1,统计表1,数据表");

  RunResult history = RunFenban(temp.Path(), {"history", "示例.xlsx"});
  ASSERT_EQ(history.status, 0) << Printed(history);
  for (const char* expected : {"fenban divide", "fenban stats 分班表1", "fenban clean 数据表", "fenban init --example 30",
                               "分班表1, 统计表1, 数据表", "fenban restore 示例.xlsx N"}) {
    EXPECT_NE(history.out.find(expected), std::string::npos) << expected << "\n" << history.out;
  }
  RunResult hostHistoryRun = RunFenban(temp.Path(), {"history", "fenban.xlsx"});
  ASSERT_EQ(hostHistoryRun.status, 0) << Printed(hostHistoryRun);
  EXPECT_NE(hostHistoryRun.out.find("fenban template"), std::string::npos) << hostHistoryRun.out;

  // The history is never offered as a data workbook.
  RunResult list = RunFenban(temp.Path(), {"list"});
  ASSERT_EQ(list.status, 0) << Printed(list);
  const std::string listed = list.out.substr(0, list.out.find("选项 options"));
  EXPECT_NE(listed.find("    1  示例.xlsx"), std::string::npos) << list.out;
  EXPECT_EQ(listed.find("    2  "), std::string::npos) << list.out;
}

TEST(Versions, CleanWithoutASheetSaysHowToUndoItAndRestoreDoes) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  const fs::path example = temp.Path() / "数据" / "示例.xlsx";
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  const std::string divided = ReadFile(example);
  RunResult clean = RunFenban(temp.Path(), {"clean", "示例.xlsx"});
  ASSERT_EQ(clean.status, 0) << Printed(clean);
  EXPECT_NE(clean.out.find("可用 fenban restore 示例.xlsx 恢复"), std::string::npos) << clean.out;
  const std::string cleaned = ReadFile(example);

  // The newest version by default: the divisions are back, byte for byte.
  RunResult restore = RunFenban(temp.Path(), {"restore", "示例.xlsx"});
  ASSERT_EQ(restore.status, 0) << Printed(restore);
  EXPECT_EQ(ReadFile(example), divided);
  EXPECT_EQ(SheetsByOpenpyxl(example), "分班表1,统计表1,数据表");
  EXPECT_NE(restore.out.find("fenban restore 示例.xlsx 3"), std::string::npos) << restore.out;

  // The restore is undone by restoring the version it kept.
  RunResult undo = RunFenban(temp.Path(), {"restore", "示例.xlsx", "3"});
  ASSERT_EQ(undo.status, 0) << Printed(undo);
  EXPECT_EQ(ReadFile(example), cleaned);
  // And the first version is the list before any division.
  ASSERT_EQ(RunFenban(temp.Path(), {"restore", "示例.xlsx", "1"}).status, 0);
  EXPECT_EQ(SheetsByOpenpyxl(example), "数据表");
  RunResult history = RunFenban(temp.Path(), {"history", "示例.xlsx"});
  EXPECT_NE(history.out.find("fenban restore 2"), std::string::npos) << history.out;
  EXPECT_NE(history.out.find("fenban restore 3"), std::string::npos) << history.out;
  EXPECT_EQ(KeptCopies(temp.Path() / kExampleHistory).size(), 5u);

  // The host workbook has versions of its own: the class count comes back.
  ASSERT_EQ(RunFenban(temp.Path(), {"restore", "fenban.xlsx", "1"}).status, 0);
  EXPECT_EQ(ReadBook(temp.Path() / "fenban.xlsx")->FindSheet("DTB")->CellValue(2, 3), host::Value(10));
}

TEST(Versions, AtMostTwentyAreKeptTheOldestDropped) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  for (int i = 0; i < 22; ++i) ASSERT_EQ(RunFenban(temp.Path(), {"template"}).status, 0) << i;
  const auto copies = KeptCopies(temp.Path() / ".fenban-history" / "fenban.xlsx");
  ASSERT_EQ(copies.size(), 20u);
  EXPECT_EQ(copies.begin()->first, 3);
  EXPECT_EQ(copies.rbegin()->first, 22);
  EXPECT_FALSE(fs::exists(temp.Path() / ".fenban-history" / "fenban.xlsx" / "1.txt"));
}

TEST(Versions, RestoreRefusesAndChangesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  const fs::path data = temp.Path() / "数据";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"restore", "示例.xlsx", "7"}, "没有版本 7 (no such version)。现有版本 versions: 1"},
      {{"restore", "名单.xlsx"}, "没有 “名单.xlsx”，也没有它的旧版本"},
      {{"history", "名单.xlsx"}, "可选 available: fenban.xlsx, 示例.xlsx"},
      {{"restore", "../fenban.xlsx"}, "没有 “../fenban.xlsx”"},
  };
  const auto before = Snapshot(temp.Path());
  for (const Case& test : cases) {
    RunResult run = RunFenban(temp.Path(), test.args);
    EXPECT_EQ(run.status, 1) << Printed(run);
    EXPECT_NE(run.err.find(test.message), std::string::npos) << run.err;
    EXPECT_TRUE(Snapshot(temp.Path()) == before) << test.args[1];
  }
  // Open in a spreadsheet program: refused, as a save is.
  std::ofstream(data / ".~lock.示例.xlsx#") << "teacher,host,08.12.2026 09:00\n";
  const auto locked = Snapshot(temp.Path());
  RunResult run = RunFenban(temp.Path(), {"restore", "示例.xlsx"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("正在被表格程序打开"), std::string::npos) << run.err;
  EXPECT_TRUE(Snapshot(temp.Path()) == locked);
}

TEST(Versions, ASaveThatFailsKeepsNoVersionAndOneThatCannotKeepOneSavesNothing) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  const fs::path data = temp.Path() / "数据";
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  const auto copiesBefore = KeptCopies(temp.Path() / kExampleHistory);

  // The two-workbook save cannot write its journal: nothing is replaced,
  // and a version of the unchanged file would only mislead.
  fs::create_directory(temp.Path() / ".~fenban.journal");
  const auto before = Snapshot(temp.Path());
  RunResult failed = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "2"});
  EXPECT_EQ(failed.status, 1) << Printed(failed);
  EXPECT_TRUE(Snapshot(temp.Path()) == before);
  EXPECT_EQ(KeptCopies(temp.Path() / kExampleHistory), copiesBefore);
  fs::remove(temp.Path() / ".~fenban.journal");

  // No room for the history: the command saves nothing rather than lose the way back.
  fs::remove_all(data / ".fenban-history");
  std::ofstream(data / ".fenban-history") << "in the way";
  const auto blocked = Snapshot(temp.Path());
  RunResult refused = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "3"});
  EXPECT_EQ(refused.status, 1) << Printed(refused);
  EXPECT_NE(refused.err.find("无法保留“示例.xlsx”原来的文件"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("nothing was saved"), std::string::npos) << refused.err;
  EXPECT_TRUE(Snapshot(temp.Path()) == blocked);
}

TEST(Versions, ALinkedWorkbookKeepsItsVersionsBesideItsRealFile) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path host = temp.Path() / "host", shared = temp.Path() / "shared";
  InitWithLinkedExample(host, shared, 30);
  const std::string before = ReadFile(shared / "名单.xlsx");
  ASSERT_EQ(RunFenban(host, {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  EXPECT_EQ(ReadFile(shared / ".fenban-history" / "名单.xlsx" / "1.xlsx"), before);

  RunResult restore = RunFenban(host, {"restore", "示例.xlsx"});
  ASSERT_EQ(restore.status, 0) << Printed(restore);
  EXPECT_TRUE(fs::is_symlink(host / "数据" / "示例.xlsx")) << "the link stays a link";
  EXPECT_EQ(ReadFile(shared / "名单.xlsx"), before);
}

ino_t InodeOf(const fs::path& file) {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(Versions, AVersionIsTheReplacedFileItselfUnlessTheFileHasAnotherName) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  const fs::path example = temp.Path() / "数据" / "示例.xlsx";
  const fs::path exampleHistory = temp.Path() / kExampleHistory;
  const ino_t original = InodeOf(example);
  const std::string before = ReadFile(example);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  // The save renamed a new file into place: the old one is the version, not copied.
  EXPECT_EQ(InodeOf(KeptCopies(exampleHistory).at(1)), original);
  EXPECT_NE(InodeOf(example), original);
  EXPECT_EQ(ReadFile(KeptCopies(exampleHistory).at(1)), before);

  // A file with a second name elsewhere is copied: a program writing into
  // that name must not change the version.
  const fs::path elsewhere = temp.Path() / "另一个名字.xlsx";
  fs::create_hard_link(example, elsewhere);
  const std::string divided = ReadFile(example);
  ASSERT_EQ(RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1"}).status, 0);
  const fs::path second = KeptCopies(exampleHistory).at(2);
  EXPECT_NE(InodeOf(second), InodeOf(elsewhere));
  std::ofstream(elsewhere, std::ios::binary | std::ios::in | std::ios::out) << "written in place";
  EXPECT_EQ(ReadFile(second), divided);
  for (const auto& entry : fs::directory_iterator(exampleHistory)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".~fenban", 0), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace fenban::clitest
