// Temporary files and their removal on SIGINT, SIGTERM and SIGHUP.
//
// A signal handler may only call async-signal-safe functions, so the paths
// to remove are kept in a fixed table of character arrays that the handler
// walks with unlink(). The table is the one piece of process-wide state of
// this layer: it stands for files of this process, and only the main thread
// changes it (a signal may arrive on any thread; it only reads it).
#include "files/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>

#include "files/file_error.h"

namespace fenban::files {

namespace {

constexpr const char* kPrefix = ".~fenban-";
constexpr const char* kSuffix = ".tmp";
constexpr int kSlotCount = 32;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct RemovalTable {
  char paths[kSlotCount][PATH_MAX];
  volatile sig_atomic_t used[kSlotCount];  // 0 free, 1 a file, 2 a folder
};

RemovalTable& Table() {
  static RemovalTable table{};
  return table;
}

// The head of a record that getdents64 returns; the name follows the type.
struct LinuxDirent64 {
  ino64_t inode;
  off64_t offset;
  unsigned short length;
  unsigned char type;
};

// Removes the entries of the folder open as dir whose names begin with
// prefix (all when it is empty). Only system calls, so that a signal
// handler may call it.
void RemoveEntries(int dir, const char* prefix) {
  const size_t prefixLength = std::strlen(prefix);
  alignas(8) char buffer[4096];
  for (;;) {
    const long got = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (got <= 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
      const char* name = buffer + at + offsetof(LinuxDirent64, type) + 1;
      at += entry->length;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (std::strncmp(name, prefix, prefixLength) == 0) ::unlinkat(dir, name, 0);
    }
  }
}

// Removes what libzip makes beside a package it rewrites ("<name>.Ab12Cd").
void RemoveFilesMadeBeside(const char* path) {
  const char* slash = std::strrchr(path, '/');
  if (slash == nullptr || slash == path) return;
  char folder[PATH_MAX];
  const size_t folderLength = static_cast<size_t>(slash - path);
  std::memcpy(folder, path, folderLength);
  folder[folderLength] = '\0';
  char prefix[NAME_MAX + 2];
  const size_t baseLength = std::strlen(slash + 1);
  if (baseLength > NAME_MAX) return;
  std::memcpy(prefix, slash + 1, baseLength);
  prefix[baseLength] = '.';
  prefix[baseLength + 1] = '\0';
  const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  RemoveEntries(dir, prefix);
  ::close(dir);
}

// Removes a folder of temporary files with the files in it.
void RemoveFolder(const char* path) {
  const int dir = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (dir >= 0) {
    RemoveEntries(dir, "");
    ::close(dir);
  }
  ::rmdir(path);
}

extern "C" void RemoveOnSignal(int signal) {
  const int savedErrno = errno;
  RemovalTable& table = Table();
  for (int i = 0; i < kSlotCount; ++i) {
    if (table.used[i] == 1) {
      ::unlink(table.paths[i]);
      RemoveFilesMadeBeside(table.paths[i]);
    } else if (table.used[i] == 2) {
      RemoveFolder(table.paths[i]);
    }
  }
  // Then end as the signal would have ended the program.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  errno = savedErrno;
  ::raise(signal);
}

void InstallHandlers() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  for (const int signal : kSignals) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;  // nohup keeps SIGHUP ignored
    struct sigaction action {};
    action.sa_handler = RemoveOnSignal;
    ::sigemptyset(&action.sa_mask);
    for (const int other : kSignals) ::sigaddset(&action.sa_mask, other);
    ::sigaction(signal, &action, nullptr);
  }
}

// Puts path into a free slot of the table; -1 when it is full or the path
// too long for a slot (the file is then only removed at the next start).
int Register(const std::string& path, sig_atomic_t kind) {
  InstallHandlers();
  RemovalTable& table = Table();
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlotCount; ++i) {
    if (table.used[i] != 0) continue;
    std::memcpy(table.paths[i], path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    table.used[i] = kind;
    return i;
  }
  return -1;
}

void Unregister(int slot) {
  if (slot >= 0) Table().used[slot] = 0;
}

std::string RandomTag() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device device;
  std::string tag;
  for (int i = 0; i < 6; ++i) tag += kDigits[device() % 36];
  return tag;
}

// A name for a new temporary file or folder in folder.
std::string NewTemporaryName(const std::string& folder) {
  return folder + "/" + kPrefix + std::to_string(::getpid()) + "-" + RandomTag() + kSuffix;
}

// The process id in a temporary file's name; 0 when the name is not one.
long PidOfTemporary(const std::string& name) {
  const size_t prefix = std::strlen(kPrefix);
  if (name.compare(0, prefix, kPrefix) != 0) return 0;
  size_t pos = prefix;
  long pid = 0;
  while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && pid < 100000000) {
    pid = pid * 10 + (name[pos] - '0');
    ++pos;
  }
  if (pos == prefix || pos >= name.size() || name[pos] != '-') return 0;
  ++pos;
  size_t tag = 0;
  while (pos < name.size() && ((name[pos] >= '0' && name[pos] <= '9') || (name[pos] >= 'a' && name[pos] <= 'z'))) {
    ++pos;
    ++tag;
  }
  if (tag != 6 || name.compare(pos, std::strlen(kSuffix), kSuffix) != 0) return 0;
  return pid;
}

[[noreturn]] void ThrowSystemError(const char* what, int error) {
  if (error == ENAMETOOLONG) throw FormatError(kTextNameTooLong);
  if (error == ENOSPC || error == EDQUOT) throw FormatError(kTextDiskFull);
  throw FormatError(std::string(what) + std::strerror(error));
}

}  // namespace

bool IsOurTemporaryName(const std::string& name) { return PidOfTemporary(name) > 0; }

// Makes a new temporary file or folder (kind 1 or 2) in folder with create,
// which returns false with errno set when it fails; returns its path and slot.
template <class Create>
std::pair<std::string, int> CreateTemporary(const std::string& folder, sig_atomic_t kind, Create&& create) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = NewTemporaryName(folder);
    // Registered before it exists, so that no moment is left in which a
    // signal would leave it behind.
    const int slot = Register(path, kind);
    if (create(path)) return {std::move(path), slot};
    const int error = errno;
    Unregister(slot);
    if (error != EEXIST) ThrowSystemError("无法在文件所在的文件夹中创建临时文件 (cannot create a temporary file): ", error);
  }
  throw FormatError("无法在文件所在的文件夹中创建临时文件 (cannot create a temporary file)");
}

TemporaryFile::TemporaryFile(const std::string& folder, unsigned mode) {
  std::tie(path_, slot_) = CreateTemporary(folder, 1, [mode](const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (mode != 0) ::fchmod(fd, mode & 07777);
    ::close(fd);
    return true;
  });
}

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
  Unregister(slot_);
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept : path_(std::move(other.path_)), slot_(other.slot_) {
  other.path_.clear();
  other.slot_ = -1;
}

void TemporaryFile::RenameOver(const std::string& target) {
  if (::rename(path_.c_str(), target.c_str()) != 0) {
    ThrowSystemError("无法替换原文件 (cannot replace the file): ", errno);
  }
  path_.clear();
  Unregister(slot_);
  slot_ = -1;
}

void TemporaryFile::Release() {
  path_.clear();
  Unregister(slot_);
  slot_ = -1;
}

int RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    const long pid = PidOfTemporary(name);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // its run may still be going
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    if (S_ISDIR(info.st_mode)) {
      RemoveFolder(path.c_str());
      removed += ::access(path.c_str(), F_OK) != 0 ? 1 : 0;
    }
  }
  ::closedir(dir);
  return removed;
}

TemporaryFolder::TemporaryFolder(const std::string& folder) {
  std::tie(path_, slot_) =
      CreateTemporary(folder, 2, [](const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; });
}

TemporaryFolder::~TemporaryFolder() {
  RemoveFolder(path_.c_str());
  Unregister(slot_);
}

SignalsHeld::SignalsHeld() {
  sigset_t set;
  ::sigemptyset(&set);
  for (const int signal : kSignals) ::sigaddset(&set, signal);
  ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

SignalsHeld::~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

}  // namespace fenban::files
