// What keeps a command from damaging the teacher's files: a lock on the
// host folder, refusal while a spreadsheet program has a workbook open,
// saves through links, temporary files that never outlive a run, and a note
// after a run killed between its two renames.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// The program's temporary files (and libxlsxwriter's) left in a folder.
std::vector<std::string> LeftoverTemporaries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".~fenban-", 0) == 0 || name.rfind("tmp.", 0) == 0 || name == ".~fenban.journal") {
      names.push_back(name);
    }
  }
  return names;
}

int WaitFor(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(SaveSafety, TwoDivisionsAtOnceAreBothKept) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 2000);
  // Before the lock, both runs read the same workbook and the second save
  // replaced the first one's division.
  const pid_t first = StartFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "8", "--seed", "1"});
  const pid_t second = StartFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "8", "--seed", "2"});
  const int firstStatus = WaitFor(first), secondStatus = WaitFor(second);
  ASSERT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0) << firstStatus;
  ASSERT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;
  auto book = ReadBook(temp.Path() / "数据" / "示例.xlsx");
  for (const char* sheet : {"分班表1", "统计表1", "分班表2", "统计表2"}) EXPECT_NE(book->FindSheet(sheet), nullptr) << sheet;
}

TEST(SaveSafety, ACommandWaitsForAnotherThenSaysItIsRunning) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  const auto before = Snapshot(temp.Path());
  const int held = ::open(temp.Path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);  // as a running command holds it
  const auto start = std::chrono::steady_clock::now();
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2"});
  const auto waited = std::chrono::steady_clock::now() - start;
  ::close(held);
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("另一个 fenban 命令正在使用这个文件夹"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Another fenban command is running"), std::string::npos) << run.err;
  EXPECT_GE(waited, std::chrono::seconds(2)) << "it gives the other command a few seconds";
  EXPECT_TRUE(Snapshot(temp.Path()) == before);
}

TEST(SaveSafety, AWorkbookOpenInASpreadsheetProgramIsNotReplaced) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "3"}).status, 0);
  const fs::path data = temp.Path() / "数据";
  struct Case {
    fs::path mark;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {data / ".~lock.示例.xlsx#", {"divide", "示例.xlsx", "--classes", "2"}},
      {data / "~$示例.xlsx", {"stats", "示例.xlsx", "分班表1"}},
      {data / ".~lock.示例.xlsx#", {"clean", "示例.xlsx"}},
      {temp.Path() / "~$fenban.xlsx", {"divide", "示例.xlsx", "--classes", "2"}},
      {temp.Path() / ".~lock.fenban.xlsx#", {"template", "--subjects", "语文"}},
  };
  for (const Case& test : cases) {
    { std::ofstream(test.mark) << "teacher,host,08.12.2026 09:00\n"; }
    const auto before = Snapshot(temp.Path());
    RunResult run = RunFenban(temp.Path(), test.args);
    EXPECT_EQ(run.status, 1) << test.args[0] << " " << Printed(run);
    EXPECT_NE(run.err.find("正在被表格程序打开"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("请先在表格程序里保存并关闭它"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("close it there first"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(test.mark.filename().string()), std::string::npos) << run.err;
    EXPECT_TRUE(Snapshot(temp.Path()) == before) << test.args[0];
    fs::remove(test.mark);
  }
  // Closed again, the same command saves.
  EXPECT_EQ(RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1"}).status, 0);
}

// Makes host/fenban.xlsx a link to shared/fenban.xlsx.
void MoveHostWorkbookBehindALink(const fs::path& host, const fs::path& shared) {
  fs::create_directories(shared);
  fs::rename(host / "fenban.xlsx", shared / "fenban.xlsx");
  fs::create_symlink(shared / "fenban.xlsx", host / "fenban.xlsx");
}

TEST(SaveSafety, ALinkedHostWorkbookIsWrittenThroughTheLink) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path host = temp.Path() / "host", shared = temp.Path() / "shared";
  fs::create_directories(host);
  InitWithExample(host, 30);
  MoveHostWorkbookBehindALink(host, shared);

  RunResult run = RunFenban(host, {"divide", "示例.xlsx", "--classes", "3", "--seed", "5"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_TRUE(fs::is_symlink(host / "fenban.xlsx"));
  auto real = ReadBook(shared / "fenban.xlsx");
  EXPECT_EQ(real->FindSheet("DTB")->CellValue(2, 3), host::Value(3)) << "the real file holds the new class count";
  EXPECT_TRUE(LeftoverTemporaries(shared).empty());
  EXPECT_TRUE(LeftoverTemporaries(host).empty());
}

TEST(SaveSafety, WhenTheSecondWorkbookCannotBeSavedALinkedFirstStaysAsItWas) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path host = temp.Path() / "host", shared = temp.Path() / "shared";
  fs::create_directories(host);
  ASSERT_EQ(RunFenban(host, {"init"}).status, 0);
  MoveHostWorkbookBehindALink(host, shared);
  // A .xls list is saved beside it as "<name>(fenban).xlsx", a name too long here.
  std::string stem;
  for (int i = 0; i < 82; ++i) stem += "长";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "genuine.xls", host / "数据" / (stem + ".xls"));
  const std::string realBefore = ReadFile(shared / "fenban.xlsx");
  const auto before = Snapshot(host);

  RunResult run = RunFenban(host, {"divide", stem + ".xls", "--classes", "2", "--seed", "1"});
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("文件名太长"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("the file name is too long"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("files left as they were"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("[ERROR]"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_symlink(host / "fenban.xlsx")) << "a failed save once put a plain file in place of the link";
  EXPECT_EQ(ReadFile(shared / "fenban.xlsx"), realBefore);
  EXPECT_TRUE(Snapshot(host) == before);
  EXPECT_TRUE(LeftoverTemporaries(shared).empty());
}

// Starts a division of a large list and stops it with `signal` once its
// first temporary file exists; returns the wait status.
int StopWhileWriting(const fs::path& folder, int signal) {
  const pid_t child = StartFenban(folder, {"divide", "示例.xlsx", "--classes", "10", "--seed", "9"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!LeftoverTemporaries(folder).empty() || !LeftoverTemporaries(folder / "数据").empty()) break;
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ::kill(child, signal);
  return WaitFor(child);
}

TEST(SaveSafety, AStoppedRunLeavesNoTemporaryFilesAndNoChange) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path pristine = temp.Path() / "pristine", folder = temp.Path() / "run";
  fs::create_directories(pristine);
  InitWithExample(pristine, 20000);
  const auto before = Snapshot(pristine);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    fs::remove_all(folder);
    fs::copy(pristine, folder, fs::copy_options::recursive);
    const int status = StopWhileWriting(folder, signal);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
        << "the run should have been stopped while writing; status " << status;
    for (const fs::path& place : {folder, folder / "数据"}) {
      for (const std::string& name : LeftoverTemporaries(place)) ADD_FAILURE() << signal << " left " << name;
    }
    if (Snapshot(folder) == before) continue;
    // A signal that comes while the files are renamed waits until both are.
    auto data = ReadBook(folder / "数据" / "示例.xlsx");
    EXPECT_NE(data->FindSheet("分班表1"), nullptr) << signal;
    EXPECT_EQ(ReadBook(folder / "fenban.xlsx")->FindSheet("DTB")->CellValue(2, 3), host::Value(10)) << signal;
  }
}

// A process id that no process has now.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  WaitFor(child);
  return child;
}

TEST(SaveSafety, TemporaryFilesOfAKilledRunAreRemovedAtTheNextStart) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  const fs::path data = temp.Path() / "数据";
  const std::string dead = std::to_string(DeadPid());
  const std::vector<fs::path> stale = {temp.Path() / (".~fenban-" + dead + "-abcdef.tmp"),
                                       data / (".~fenban-" + dead + "-ghijkl.tmp"),
                                       data / (".~fenban-" + dead + "-ghijkl.tmp.AbC123")};
  const std::vector<fs::path> teachers = {data / ".~示例.xlsx.123456.tmp", data / "fenban-1-abcdef.tmp",
                                          temp.Path() / ".~fenban-notes.tmp"};
  for (const fs::path& path : stale) std::ofstream(path) << std::string(1000, 'x');
  for (const fs::path& path : teachers) std::ofstream(path) << "mine";
  RunResult run = RunFenban(temp.Path(), {"template"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  for (const fs::path& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
  for (const fs::path& path : teachers) EXPECT_EQ(ReadFile(path), "mine") << path;
}

TEST(SaveSafety, ARunKilledBetweenItsTwoRenamesIsReportedByTheNext) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  const fs::path data = temp.Path() / "数据";
  // As a run killed (SIGKILL, power loss) after replacing fenban.xlsx and
  // before replacing the list leaves it: the journal, and the list's new file.
  const fs::path left = data / (".~fenban-" + std::to_string(DeadPid()) + "-zzzzzz.tmp");
  std::ofstream(left) << "the new list";
  std::ofstream(temp.Path() / ".~fenban.journal")
      << (temp.Path() / "fenban.xlsx").string() << '\t' << (temp.Path() / ".~fenban-1-yyyyyy.tmp").string() << '\n'
      << (data / "示例.xlsx").string() << '\t' << left.string() << '\n';

  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"});
  EXPECT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.err.find("上一个命令在替换工作簿的中途被中断了"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("replaced: “fenban.xlsx”"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("not replaced (as before that command): “示例.xlsx”"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(temp.Path() / ".~fenban.journal"));
  EXPECT_FALSE(fs::exists(left));
  // Told once: the next run says nothing of it.
  RunResult next = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表1"});
  EXPECT_EQ(next.status, 0) << Printed(next);
  EXPECT_EQ(next.err.find("中断"), std::string::npos) << next.err;
}

TEST(SaveSafety, ARunKilledBetweenItsTwoRenamesIsFinishedByTheNext) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 40);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  // The same second division made in a copy of the folder gives the two new
  // workbooks the killed run had written and read back.
  const fs::path copy = temp.Path() / "copy";
  fs::create_directory(copy);
  fs::copy(temp.Path() / "fenban.xlsx", copy / "fenban.xlsx");
  fs::copy(temp.Path() / "数据", copy / "数据", fs::copy_options::recursive);
  ASSERT_EQ(RunFenban(copy, {"divide", "示例.xlsx", "--classes", "3", "--seed", "2"}).status, 0);
  // What the kill left: fenban.xlsx renamed, the list's new file beside the
  // old list, the journal.
  const fs::path data = temp.Path() / "数据";
  const fs::path left = data / (".~fenban-" + std::to_string(DeadPid()) + "-zzzzzz.tmp");
  fs::copy_file(copy / "数据" / "示例.xlsx", left);
  fs::copy_file(copy / "fenban.xlsx", temp.Path() / "fenban.xlsx", fs::copy_options::overwrite_existing);
  std::ofstream(temp.Path() / ".~fenban.journal")
      << (temp.Path() / "fenban.xlsx").string() << '\t' << (temp.Path() / ".~fenban-1-yyyyyy.tmp").string() << '\n'
      << (data / "示例.xlsx").string() << '\t' << left.string() << '\n';
  const std::string newList = ReadFile(left);

  RunResult run = RunFenban(temp.Path(), {"stats", "示例.xlsx", "分班表2"});
  EXPECT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.err.find("上一个命令在替换工作簿的中途被中断了"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("replaced: “fenban.xlsx”"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("finished now (the new file had been written and checked): “示例.xlsx”"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("saved in full"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(temp.Path() / ".~fenban.journal"));
  EXPECT_FALSE(fs::exists(left));
  // Before, the new list was deleted: "分班表2" was missing while fenban.xlsx
  // already counted it, and this command failed.
  auto book = ReadBook(data / "示例.xlsx");
  EXPECT_NE(book->FindSheet("分班表2"), nullptr);
  EXPECT_NE(book->FindSheet("统计表2"), nullptr);
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "3"}).status, 0);
  std::vector<std::string> sheets = SheetNames(*ReadBook(data / "示例.xlsx"));
  std::sort(sheets.begin(), sheets.end());
  EXPECT_EQ(sheets, (std::vector<std::string>{"分班表1", "分班表2", "分班表3", "数据表", "统计表1", "统计表2", "统计表3"}));
  EXPECT_NE(ReadFile(data / "示例.xlsx"), newList);  // the last command saved again
}

}  // namespace
}  // namespace fenban::clitest
