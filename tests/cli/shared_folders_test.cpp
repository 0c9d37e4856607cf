// Folders and files reached in more than one way: two host folders sharing
// one data folder, a workbook behind a link opened where it really is, and a
// run started under nohup. Run as the built program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>

#include <chrono>
#include <thread>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

int ExitStatus(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Host folders a and b; b's 数据 is a link to a's.
struct TwoHostFolders {
  fs::path a, b;
};

TwoHostFolders ShareOneDataFolder(const fs::path& root, int students) {
  TwoHostFolders folders{root / "a", root / "b"};
  fs::create_directories(folders.a);
  fs::create_directories(folders.b);
  InitWithExample(folders.a, students);
  EXPECT_EQ(RunFenban(folders.b, {"init"}).status, 0);
  fs::remove_all(folders.b / "数据");
  fs::create_directory_symlink(folders.a / "数据", folders.b / "数据");
  return folders;
}

TEST(SharedDataFolder, TwoHostFoldersTakeTurnsOnIt) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const TwoHostFolders folders = ShareOneDataFolder(temp.Path(), 2000);
  const fs::path book = folders.a / "数据" / "示例.xlsx";
  // Before the data folder had a lock, both printed success and the second
  // save replaced the first one's division.
  const pid_t first = StartFenban(folders.a, {"divide", "示例.xlsx", "--classes", "8", "--seed", "1"});
  const pid_t second = StartFenban(folders.b, {"divide", "示例.xlsx", "--classes", "8", "--seed", "2"});
  const int firstStatus = ExitStatus(first), secondStatus = ExitStatus(second);
  auto divided = ReadBook(book);
  // One of them may have given up waiting (and then saved nothing).
  const int saved = (firstStatus == 0) + (secondStatus == 0);
  ASSERT_GE(saved, 1) << firstStatus << " " << secondStatus;
  EXPECT_EQ(firstStatus + secondStatus, saved == 2 ? 0 : 1) << firstStatus << " " << secondStatus;
  for (int number = 1; number <= saved; ++number) {
    EXPECT_NE(divided->FindSheet("分班表" + std::to_string(number)), nullptr) << number;
  }
}

TEST(SharedDataFolder, ItsLockIsTakenWhereverItIsReachedFromAndAfterTheHostFolders) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const TwoHostFolders folders = ShareOneDataFolder(temp.Path(), 20);
  // Another command of host folder a holds a's lock only: b need not wait.
  {
    const int hostHeld = ::open(folders.a.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(hostHeld, LOCK_EX), 0);
    RunResult run = RunFenban(folders.b, {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"});
    ::close(hostHeld);
    EXPECT_EQ(run.status, 0) << Printed(run);
  }
  // A command holds the data folder, where it really is: b waits, then refuses.
  const int dataHeld = ::open((folders.a / "数据").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(dataHeld, LOCK_EX), 0);
  const auto before = Snapshot(temp.Path());
  RunResult run = RunFenban(folders.b, {"divide", "示例.xlsx", "--classes", "2", "--seed", "2"});
  ::close(dataHeld);
  EXPECT_EQ(run.status, 1) << Printed(run);
  EXPECT_NE(run.err.find("另一个 fenban 命令正在使用这个文件夹"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((folders.b / "数据").string()), std::string::npos) << "names the data folder: " << run.err;
  EXPECT_TRUE(Snapshot(temp.Path()) == before);

  // A data folder that is the host folder itself is locked once, not waited for.
  fs::rename(folders.a / "数据" / "示例.xlsx", folders.a / "示例.xlsx");
  fs::remove(folders.b / "数据");
  fs::remove_all(folders.a / "数据");
  fs::create_directory_symlink(".", folders.a / "数据");
  const auto start = std::chrono::steady_clock::now();
  RunResult own = RunFenban(folders.a, {"divide", "示例.xlsx", "--classes", "2", "--seed", "3"});
  EXPECT_EQ(own.status, 0) << Printed(own);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "it waited for its own lock";
}

TEST(LinkedWorkbook, ALockFileBesideTheRealFileRefusesTheSave) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path host = temp.Path() / "host", shared = temp.Path() / "shared";
  InitWithLinkedExample(host, shared, 20);
  ASSERT_EQ(RunFenban(host, {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  // LibreOffice keeps ".~lock.<name>#" beside the file it opened: here the
  // real file, opened from the shared folder.
  std::ofstream(shared / ".~lock.名单.xlsx#") << "teacher,host,08.12.2026 09:00\n";
  const auto before = Snapshot(temp.Path());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"divide", "示例.xlsx", "--classes", "2"}, {"restore", "示例.xlsx"}}) {
    RunResult run = RunFenban(host, args);
    EXPECT_EQ(run.status, 1) << Printed(run);
    EXPECT_NE(run.err.find(".~lock.名单.xlsx#"), std::string::npos) << run.err;
    EXPECT_TRUE(Snapshot(temp.Path()) == before) << args[0];
  }
}

// The program's temporary files in the host folder and its data folder.
bool WritingNow(const fs::path& folder) {
  for (const fs::path& place : {folder, folder / "数据"}) {
    for (const auto& entry : fs::directory_iterator(place)) {
      if (entry.path().filename().string().rfind(".~fenban-", 0) == 0) return true;
    }
  }
  return false;
}

TEST(HangUp, ARunStartedUnderNohupOutlivesTheHangUp) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20000);
  // nohup(1) sets SIGHUP to be ignored before it runs the program; the
  // program must leave it so, also once it removes its temporary files on
  // the other signals.
  const pid_t child = StartFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "10", "--seed", "9"}, true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!WritingNow(temp.Path()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ASSERT_TRUE(WritingNow(temp.Path())) << "the run should still be writing";
  ::kill(child, SIGHUP);
  EXPECT_EQ(ExitStatus(child), 0) << "128 + signal when the hang-up ended it";
  EXPECT_NE(ReadBook(temp.Path() / "数据" / "示例.xlsx")->FindSheet("分班表1"), nullptr);
}

}  // namespace
}  // namespace fenban::clitest
