#include "app/folder_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <system_error>
#include <thread>

#include <fmt/format.h>

#include "app/app_error.h"
#include "files/temporary_files.h"
#include "files/workbook_files.h"
#include "form/form_routines.h"

namespace fenban::app {

namespace fs = std::filesystem;

namespace {

// Opens `folder` (through any link) and takes its lock, waiting until
// `deadline`; -1 when there is no such folder or its file system has no
// locks. Raises AppError when another command keeps it locked.
int LockFolder(const fs::path& folder, std::chrono::steady_clock::time_point deadline) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;  // no folder: the command stops before it saves
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {  // a file system without locks
      ::close(fd);
      return -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      throw AppError(fmt::format(
          "另一个 fenban 命令正在使用这个文件夹，请等它结束后再试。没有保存任何文件。\n"
          "  Another fenban command is running in this folder; try again when it has finished. Nothing was saved.\n"
          "  {}",
          folder.string()),
          ErrorKind::FolderBusy);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return fd;
}

bool SameFolder(int fd, int other) {
  struct stat one {}, two {};
  return ::fstat(fd, &one) == 0 && ::fstat(other, &two) == 0 && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

}  // namespace

HostFolderLock::HostFolderLock(const fs::path& folder, std::chrono::milliseconds wait) {
  // The folder itself is locked, so that no file is added to it.
  const auto deadline = std::chrono::steady_clock::now() + wait;
  hostFd_ = LockFolder(folder, deadline);
  if (hostFd_ < 0) return;
  const fs::path data = folder / form::kDataFolderName;
  const int probe = ::open(data.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (probe < 0) return;  // no data folder yet
  // A data folder that is the host folder itself is already locked: a second
  // lock on it would wait for this one.
  const bool same = SameFolder(probe, hostFd_);
  ::close(probe);
  if (same) return;
  try {
    dataFd_ = LockFolder(data, deadline);
  } catch (...) {
    Release();
    throw;
  }
}

HostFolderLock::~HostFolderLock() { Release(); }

void HostFolderLock::Release() {
  // Closing releases a lock; the data folder's first, as it was taken last.
  if (dataFd_ >= 0) ::close(dataFd_);
  if (hostFd_ >= 0) ::close(hostFd_);
  dataFd_ = hostFd_ = -1;
}

std::vector<fs::path> OpenWorkbookMarks(const fs::path& workbook) {
  std::vector<fs::path> places{workbook};
  std::error_code ec;
  if (fs::is_symlink(workbook, ec)) {
    const fs::path real = fs::canonical(workbook, ec);
    if (!ec) places.push_back(real);
  }
  std::vector<fs::path> marks;
  for (const fs::path& place : places) {
    const std::string name = place.filename().string();
    for (const std::string& mark : {".~lock." + name + "#", "~$" + name}) {
      const fs::path path = place.parent_path() / mark;
      if (fs::exists(fs::symlink_status(path, ec))) marks.push_back(path);
    }
  }
  return marks;
}

void RefuseOpenWorkbooks(const std::vector<fs::path>& files) {
  for (const fs::path& file : files) {
    const std::vector<fs::path> marks = OpenWorkbookMarks(file);
    if (marks.empty()) continue;
    throw AppError(fmt::format(
        "“{}”正在被表格程序打开（旁边有它的锁文件“{}”）。请先在表格程序里保存并关闭它，再运行这个命令。没有保存任何文件。\n"
        "  The workbook is open in a spreadsheet program (lock file {}): save and close it there first. Nothing was "
        "saved.",
        file.filename().string(), marks.front().filename().string(), marks.front().string()),
        ErrorKind::WorkbookOpen);
  }
}

void TidyHostFolder(const fs::path& folder, std::ostream& err) {
  const std::vector<files::InterruptedSave> interrupted =
      files::TakeInterruptedSaves((folder / kJournalFileName).string());
  if (!interrupted.empty()) {
    std::string replaced, finished, kept;
    for (const files::InterruptedSave& save : interrupted) {
      std::string& list = save.finishedNow ? finished : save.replaced ? replaced : kept;
      if (!list.empty()) list += "、";
      list += "“" + fs::path(save.target).filename().string() + "”";
    }
    err << "注意 note: 上一个命令在替换工作簿的中途被中断了 (an earlier command was stopped while it replaced the "
           "workbooks).\n";
    if (!replaced.empty()) err << "  已是新内容 replaced: " << replaced << '\n';
    if (!finished.empty()) {
      err << "  新内容已写好并核对过，现在替换完成 finished now (the new file had been written and checked): "
          << finished << '\n';
    }
    if (!kept.empty()) err << "  仍是原来的内容 not replaced (as before that command): " << kept << '\n';
    if (kept.empty()) {
      err << "  那个命令的结果已完整保存 (that command's result is now saved in full).\n";
    } else {
      err << "  请检查这些文件，需要时重新运行那个命令 (check them, and run that command again if needed).\n";
    }
  }
  files::RemoveStaleTemporaries(folder.string());
  files::RemoveStaleTemporaries((folder / form::kDataFolderName).string());
}

}  // namespace fenban::app
