// A save of two workbooks and the journal that spans its two renames: what
// is on the disk between them, a run killed there and the next run that
// finishes its work, and a rename that fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "files/files_test_support.h"
#include "files/temporary_files.h"
#include "files/workbook_files.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::ModelWorkbook;
using host::Value;
using testing::TempDir;

// The host workbook and a data workbook in its "数据" folder, saved once
// with the marks "旧"; Change() gives both the marks "新".
struct TwoBooks {
  explicit TwoBooks(const TempDir& dir)
      : journal(dir.File(".~fenban.journal")), host("fenban.xlsx", dir.Path()), data("名单.xlsx", dir.File("数据")) {
    std::filesystem::create_directory(dir.File("数据"));
    host.AppendSheet("DTB").SetCellValue(1, 1, "旧");
    data.AppendSheet("数据表").SetCellValue(1, 1, "旧");
    SaveWorkbook(host);
    SaveWorkbook(data);
    hostFile = dir.File("fenban.xlsx");
    dataFile = dir.File("数据/名单.xlsx");
  }
  void Change() {
    host.ModelSheetAt(1).SetCellValue(1, 1, "新");
    data.ModelSheetAt(1).SetCellValue(1, 1, "新");
  }
  std::vector<PreparedSave> Prepare() {
    std::vector<PreparedSave> saves;
    saves.push_back(PrepareSave(host));
    saves.push_back(PrepareSave(data));
    return saves;
  }
  std::string journal;
  ModelWorkbook host;
  ModelWorkbook data;
  std::string hostFile;
  std::string dataFile;
};

Value MarkOf(const std::string& path) { return ReadWorkbook(path)->ModelSheetAt(1).CellValue(1, 1); }

// Our temporary files left in a folder.
int TemporariesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += IsOurTemporaryName(entry.path().filename()) ? 1 : 0;
  }
  return count;
}

TEST(SaveJournal, BetweenTheRenamesTheJournalNamesBothFiles) {
  TempDir dir;
  TwoBooks books(dir);
  books.Change();
  std::vector<PreparedSave> saves = books.Prepare();
  const std::string dataTemporary = saves[1].temporary.Path();
  int calls = 0;
  SaveSeam seam;
  seam.betweenRenames = [&](size_t renamed) {
    ++calls;
    EXPECT_EQ(renamed, 1u);
    const std::string journal = testing::ReadBytes(books.journal);
    EXPECT_NE(journal.find(books.hostFile + "\t"), std::string::npos) << journal;
    EXPECT_NE(journal.find(books.dataFile + "\t" + dataTemporary + "\n"), std::string::npos) << journal;
    EXPECT_EQ(MarkOf(books.hostFile), Value("新"));
    EXPECT_EQ(MarkOf(books.dataFile), Value("旧"));
  };
  CommitSaves(saves, books.journal, seam);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(std::filesystem::exists(books.journal));
  EXPECT_EQ(MarkOf(books.dataFile), Value("新"));
}

TEST(SaveJournal, AKillBetweenTheRenamesIsFinishedByTheNextRun) {
  TempDir dir;
  TwoBooks books(dir);
  const pid_t child = ::fork();
  if (child == 0) {
    try {
      books.Change();
      std::vector<PreparedSave> saves = books.Prepare();
      SaveSeam seam;
      seam.betweenRenames = [](size_t) { ::raise(SIGKILL); };
      CommitSaves(saves, books.journal, seam);
    } catch (...) {
      ::_exit(3);
    }
    ::_exit(2);  // not reached: the kill ends the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
  // What the kill left: the host workbook new, the data workbook old, its
  // new file beside it and the journal.
  ASSERT_TRUE(std::filesystem::exists(books.journal));
  EXPECT_EQ(MarkOf(books.hostFile), Value("新"));
  EXPECT_EQ(MarkOf(books.dataFile), Value("旧"));
  EXPECT_EQ(TemporariesIn(dir.File("数据")), 1);

  const std::vector<InterruptedSave> taken = TakeInterruptedSaves(books.journal);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].target, books.hostFile);
  EXPECT_TRUE(taken[0].replaced);
  EXPECT_FALSE(taken[0].finishedNow);
  EXPECT_EQ(taken[1].target, books.dataFile);
  EXPECT_TRUE(taken[1].replaced);
  EXPECT_TRUE(taken[1].finishedNow);
  // Before, the verified new data workbook was deleted and the old one stayed.
  EXPECT_EQ(MarkOf(books.dataFile), Value("新"));
  EXPECT_EQ(TemporariesIn(dir.File("数据")), 0);
  EXPECT_FALSE(std::filesystem::exists(books.journal));
  EXPECT_TRUE(TakeInterruptedSaves(books.journal).empty());
}

// The state a run killed before its first rename leaves: the journal and
// both new files beside their targets.
void LeaveBothUnrenamed(TwoBooks& books) {
  books.Change();
  std::vector<PreparedSave> saves = books.Prepare();
  std::string text;
  for (PreparedSave& save : saves) {
    text += save.target + "\t" + save.temporary.Path() + "\n";
    save.temporary.Release();
  }
  testing::WriteBytes(books.journal, text);
}

TEST(SaveJournal, WhatTheNextRunMustNotFinish) {
  {
    // Killed before the first rename: nothing had changed, nothing changes.
    TempDir dir;
    TwoBooks books(dir);
    LeaveBothUnrenamed(books);
    const std::vector<InterruptedSave> taken = TakeInterruptedSaves(books.journal);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_FALSE(taken[0].replaced || taken[1].replaced || taken[0].finishedNow || taken[1].finishedNow);
    EXPECT_EQ(MarkOf(books.hostFile), Value("旧"));
    EXPECT_EQ(MarkOf(books.dataFile), Value("旧"));
    EXPECT_EQ(TemporariesIn(dir.Path()) + TemporariesIn(dir.File("数据")), 0);
  }
  {
    // The data workbook was changed by hand after the kill: it is kept.
    TempDir dir;
    TwoBooks books(dir);
    LeaveBothUnrenamed(books);
    std::string journal = testing::ReadBytes(books.journal);
    const size_t hostTemporary = journal.find('\t') + 1;
    std::filesystem::rename(journal.substr(hostTemporary, journal.find('\n') - hostTemporary), books.hostFile);
    ::usleep(20000);
    ModelWorkbook edited("名单.xlsx", dir.File("数据"));
    edited.AppendSheet("数据表").SetCellValue(1, 1, "手改");
    SaveWorkbook(edited);
    const std::vector<InterruptedSave> taken = TakeInterruptedSaves(books.journal);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_TRUE(taken[0].replaced);
    EXPECT_FALSE(taken[1].replaced);
    EXPECT_EQ(MarkOf(books.dataFile), Value("手改"));
    EXPECT_EQ(TemporariesIn(dir.File("数据")), 0);
  }
  {
    // A journal that names a file outside the target's folder: not renamed.
    TempDir dir;
    TwoBooks books(dir);
    const std::string stray = dir.File(".~fenban-" + std::to_string(::getpid() + 100000) + "-zzzzzz.tmp");
    std::filesystem::copy_file(books.hostFile, stray);
    testing::WriteBytes(books.journal, books.hostFile + "\t" + dir.File(".~fenban-1-aaaaaa.tmp") + "\n" +
                                           books.dataFile + "\t" + stray + "\n");
    const std::vector<InterruptedSave> taken = TakeInterruptedSaves(books.journal);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_FALSE(taken[1].replaced);
    EXPECT_EQ(MarkOf(books.dataFile), Value("旧"));
  }
}

TEST(SaveJournal, AFailedSecondRenameTakesItsJournalAway) {
  TempDir dir;
  TwoBooks books(dir);
  books.Change();
  std::vector<PreparedSave> saves = books.Prepare();
  // The data workbook's name is taken by a folder: its rename fails.
  std::filesystem::remove(books.dataFile);
  std::filesystem::create_directories(books.dataFile + "/inside");
  const std::string error = testing::FileErrorOf([&] { CommitSaves(saves, books.journal); });
  EXPECT_NE(error.find("名单.xlsx"), std::string::npos) << error;
  EXPECT_NE(error.find("“fenban.xlsx”已经保存 (was saved)"), std::string::npos) << error;
  EXPECT_EQ(MarkOf(books.hostFile), Value("新"));
  // The failure was reported then and there; the next run has nothing to report.
  EXPECT_FALSE(std::filesystem::exists(books.journal));
  EXPECT_TRUE(TakeInterruptedSaves(books.journal).empty());
}

}  // namespace
}  // namespace fenban::files
