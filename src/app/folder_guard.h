// What keeps one command's saves apart from everything else in the host
// folder: a lock that a second command waits for, the refusal to replace a
// workbook a spreadsheet program has open, and the tidying at the start of a
// command after a run that was killed.
#pragma once

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <vector>

namespace fenban::app {

inline constexpr const char* kJournalFileName = ".~fenban.journal";

// An exclusive lock (flock) on the host folder itself, and then on its data
// folder, for the life of the object. The data folder is locked where it
// really is, so that two host folders sharing one data folder (through a
// link, or a link above it) take turns; always in this order, host folder
// first, so that two commands never wait for each other. Waits up to `wait`
// for a command that holds either, then raises AppError saying that another
// command is running. Where a folder cannot be locked (a file system without
// locks) the command runs without that lock.
class HostFolderLock {
 public:
  explicit HostFolderLock(const std::filesystem::path& folder,
                          std::chrono::milliseconds wait = std::chrono::seconds(3));
  ~HostFolderLock();
  HostFolderLock(const HostFolderLock&) = delete;
  HostFolderLock& operator=(const HostFolderLock&) = delete;

 private:
  void Release();

  int hostFd_ = -1;
  int dataFd_ = -1;
};

// The lock files that spreadsheet programs keep beside a workbook they have
// open (".~lock.名单.xlsx#", "~$名单.xlsx"), beside the file and, for a
// link, beside the file it points at; those that exist.
std::vector<std::filesystem::path> OpenWorkbookMarks(const std::filesystem::path& workbook);

// Raises AppError asking to close the workbook first when any of `files`
// is open in a spreadsheet program.
void RefuseOpenWorkbooks(const std::vector<std::filesystem::path>& files);

// At the start of a command that saves, inside the lock: reports on err a
// save that a killed run left between its renames, and removes the
// temporary files killed runs left in the host folder and its data folder.
void TidyHostFolder(const std::filesystem::path& folder, std::ostream& err);

// The host folder held for one command that saves: the lock taken, then the
// folder tidied before anything in it is read.
class HeldHostFolder {
 public:
  HeldHostFolder(const std::filesystem::path& folder, std::ostream& err) : lock_(folder) {
    TidyHostFolder(folder, err);
  }

 private:
  HostFolderLock lock_;
};

}  // namespace fenban::app
