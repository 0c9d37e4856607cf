// A nearly full disk: divisions run on a small file system filled to many
// levels. After each run either both workbooks are complete and read back,
// or both are byte for byte as before, with nothing left behind; and no
// line of libxlsxwriter's own reaches the terminal.
//
// The file system is a tmpfs mounted in a private mount namespace of a child
// process (as root, or through a user namespace), so that the test needs no
// privileges on the machine; where neither is allowed the test is skipped.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cstdio>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

constexpr int kSkip = 77;
constexpr int kStudents = 2000;

bool WriteText(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// Enters a private mount namespace (through a user namespace when not
// privileged) and mounts a tmpfs of `bytes` at folder; "" or why not.
std::string MountSmallDisk(const fs::path& folder, uint64_t bytes) {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWNS) != 0) {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return "no mount namespace may be made here";
    WriteText("/proc/self/setgroups", "deny");
    if (!WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return "the user namespace cannot be mapped";
    }
  }
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "mounts cannot be made private";
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return "a tmpfs cannot be mounted";
  return "";
}

uint64_t FreeBytes(const fs::path& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) return 0;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

// Fills the file system of folder until `left` bytes are free.
void FillUntil(const fs::path& filler, uint64_t left) {
  const uint64_t free = FreeBytes(filler.parent_path());
  std::ofstream file(filler, std::ios::binary);
  const std::string block(4096, '\0');
  for (uint64_t written = 0; written + left < free; written += block.size()) file << block;
}

std::vector<std::string> FilesNamed(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// The students on a division sheet (title in row 1, header in row 2).
int StudentsOn(host::Worksheet& division) {
  int count = 0;
  for (int32_t r = 3; !division.CellValue(r, 1).IsEmpty(); ++r) ++count;
  return count;
}

// What one run on a disk with `left` bytes free came to; "" when sound.
std::string CheckOneLevel(const fs::path& pristine, const fs::path& disk, uint64_t left, bool& saved) {
  const fs::path elsewhere = pristine.parent_path();  // the program's output is kept off the small disk
  const fs::path folder = disk / "分班";
  fs::remove_all(folder);
  fs::remove(disk / "filler");
  fs::copy(pristine, folder, fs::copy_options::recursive);
  FillUntil(disk / "filler", left);
  const auto before = Snapshot(folder);
  RunResult run = RunFenban(folder, {"divide", "示例.xlsx", "--classes", "8", "--seed", "4", "--by-sex"}, elsewhere);
  std::string problems;
  const auto problem = [&](const std::string& text) { problems += " " + text + ";"; };
  if (run.err.find("[ERROR]") != std::string::npos || run.err.find(".c:") != std::string::npos) {
    problem("a library's own line reached the terminal: " + run.err);
  }
  for (const fs::path& place : {folder, folder / "数据"}) {
    for (const std::string& name : FilesNamed(place, ".~fenban-")) problem("left " + name);
    for (const std::string& name : FilesNamed(place, "tmp")) problem("left " + name);
  }
  fs::remove(disk / "filler");  // room for reading back
  saved = run.status == 0;
  if (saved) {
    try {
      auto data = ReadBook(folder / "数据" / "示例.xlsx");
      auto host = ReadBook(folder / "fenban.xlsx");
      host::Worksheet* division = data->FindSheet("分班表2");
      if (division == nullptr || data->FindSheet("统计表2") == nullptr) problem("the new sheets are missing");
      if (division != nullptr && StudentsOn(*division) != kStudents) {
        problem("分班表2 holds " + std::to_string(StudentsOn(*division)) + " students");
      }
      if (data->FindSheet("数据表") == nullptr || StudentsOn(*data->FindSheet("分班表1")) != kStudents) {
        problem("the earlier sheets were damaged");
      }
      if (host->FindSheet("DTB") == nullptr) problem("fenban.xlsx lost DTB");
    } catch (const std::exception& error) {
      problem(std::string("a saved workbook cannot be read: ") + error.what());
    }
  } else {
    if (run.status != 1) problem("exit status " + std::to_string(run.status));
    if (!(Snapshot(folder) == before)) problem("a failed run changed the files");
    if (run.err.find("files left as they were") == std::string::npos ||
        (run.err.find("磁盘已满") == std::string::npos && run.err.find("可能已满") == std::string::npos)) {
      problem("no clear message: " + run.err);
    }
  }
  return problems.empty() ? "" : "with " + std::to_string(left / 1024) + " KB free:" + problems + "\n";
}

// The python3 line that opens a workbook with openpyxl and prints its sheets.
bool OpenpyxlReads(const fs::path& workbook, const std::string& sheet) {
  const std::string command = "/usr/bin/python3 -c \"import openpyxl,sys; wb=openpyxl.load_workbook(sys.argv[1]); "
                              "print(wb.sheetnames, wb[sys.argv[2]].max_row)\" '" +
                              workbook.string() + "' '" + sheet + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  return ::pclose(pipe) == 0 && output.find(std::to_string(kStudents + 2)) != std::string::npos;
}

TEST(DiskFull, EveryRunEndsWithBothWorkbooksCompleteOrBothAsBefore) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path pristine = temp.Path() / "pristine", disk = temp.Path() / "disk";
  fs::create_directories(pristine);
  fs::create_directories(disk);
  InitWithExample(pristine, kStudents);
  ASSERT_EQ(RunFenban(pristine, {"divide", "示例.xlsx", "--classes", "8", "--seed", "3"}).status, 0);
  fs::remove(pristine / "help.doc");

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string report;
    int status = 0;
    const std::string why = MountSmallDisk(disk, uint64_t{24} << 20);
    if (!why.empty()) {
      report = why;
      status = kSkip;
    } else {
      // From no room at all up to enough for both workbooks and the
      // libraries' scratch files, then a little more.
      int saves = 0, failures = 0, savedInARow = 0;
      bool openpyxlChecked = false;
      for (uint64_t left = 0; left <= (uint64_t{12} << 20) && savedInARow < 3; left += 160 * 1024) {
        bool saved = false;
        report += CheckOneLevel(pristine, disk, left, saved);
        saves += saved ? 1 : 0;
        failures += saved ? 0 : 1;
        savedInARow = saved ? savedInARow + 1 : 0;
        if (saved && !openpyxlChecked) {
          openpyxlChecked = true;
          if (!OpenpyxlReads(disk / "分班" / "数据" / "示例.xlsx", "分班表2")) {
            report += "openpyxl cannot read the first workbook saved on a nearly full disk\n";
          }
        }
      }
      if (saves == 0 || failures < 3) {
        report += "the levels did not reach both outcomes: " + std::to_string(saves) + " saved, " +
                  std::to_string(failures) + " refused\n";
      }
      status = report.empty() ? 0 : 1;
    }
    if (::write(pipeFds[1], report.data(), report.size()) < 0) status = 2;
    ::_exit(status);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(got));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kSkip) GTEST_SKIP() << "no small file system can be made here: " << report;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(report, "");
}

}  // namespace
}  // namespace fenban::clitest
