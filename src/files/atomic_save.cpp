// Saving without loss. A workbook is written to a temporary file in the
// folder of the file it replaces (so that the rename stays on one disk and
// the disk that must hold it is the one checked), flushed, read back and
// compared with the model; only then is it renamed over the old file. A
// workbook whose file the model cannot reproduce is saved beside it.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "files/file_error.h"
#include "files/save_check.h"
#include "files/workbook_files.h"
#include "files/xlsx_writer_internal.h"
#include "host/errors.h"

namespace fenban::files {

namespace {

std::string AsciiLower(std::string text) {
  for (char& ch : text) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return text;
}

std::string ExtensionOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : AsciiLower(name.substr(dot));
}

std::string StemOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string KeptCopyName(const std::string& bookName) { return StemOf(bookName) + "(fenban).xlsx"; }

namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += "、";
    text += part;
  }
  return text;
}

[[noreturn]] void ThrowWriteFailure(int error) {
  if (error == ENOSPC || error == EDQUOT) throw FormatError(kTextDiskFull);
  throw FormatError(std::string("无法写入文件 (cannot write the file): ") + std::strerror(error));
}

// Flushes a file (or folder) to the disk; a file whose data the disk could
// not take fails here on file systems that allocate late.
void SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) ThrowWriteFailure(errno);
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file system without fsync
  const int error = errno;
  if (::close(fd) != 0 && synced) ThrowWriteFailure(errno);
  if (!synced) ThrowWriteFailure(error);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The file a save goes to: the target itself, or the file a link points at,
// so that the link stays a link.
std::string ResolveLink(const std::string& target) {
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
  char* real = ::realpath(target.c_str(), nullptr);
  if (real == nullptr) throw FormatError("文件是一个指向不存在的文件的链接 (the file is a link to a file that does not exist)");
  std::string resolved(real);
  std::free(real);
  return resolved;
}

// Checks what can be told before writing: the name fits the folder, the
// file may be replaced. Returns the permission bits the new file gets.
unsigned CheckTarget(const std::string& target) {
  const long nameMax = ::pathconf(FolderOf(target).c_str(), _PC_NAME_MAX);
  if (FileNameOf(target).size() > static_cast<size_t>(nameMax > 0 ? nameMax : NAME_MAX)) {
    throw FormatError(kTextNameTooLong);
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return 0;
  if (::access(target.c_str(), W_OK) != 0) throw FormatError("文件是只读的 (the file is read-only)");
  return info.st_mode & 07777;
}

// Below this much free space a failed write is likely the disk's fault:
// libxlsxwriter loses the writes to its scratch files without a word, and
// what comes of it is a package that does not read back.
constexpr uint64_t kLowDiskSpace = uint64_t{64} << 20;

// A note on the free space of folder's disk when it is low ("" otherwise).
std::string LowSpaceNote(const std::string& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) return "";
  const uint64_t free = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  if (free >= kLowDiskSpace) return "";
  char megabytes[32];
  std::snprintf(megabytes, sizeof megabytes, "%.1f", static_cast<double>(free) / (1 << 20));
  return std::string("。磁盘只剩 ") + megabytes + " MB，可能已满，请腾出空间后再试 (only " + megabytes +
         " MB are free on the disk: it may be full; make room and try again)";
}

// A temporary file beside target with the model written into it, flushed
// and read back.
TemporaryFile WriteChecked(const host::ModelWorkbook& book, const std::string& target, const SaveSeam& seam = {}) {
  const unsigned mode = CheckTarget(target);
  const std::string folder = FolderOf(target);
  RemoveStaleTemporaries(folder);
  try {
    TemporaryFile temporary(folder, mode);
    if (seam.write) {
      seam.write(book, temporary.Path());
    } else {
      WriteXlsxFile(book, temporary.Path());
    }
    SyncPath(temporary.Path(), O_RDONLY);
    if (seam.checking) seam.checking();
    CheckWrittenFile(book, temporary.Path());
    return temporary;
  } catch (const FormatError& failure) {
    const std::string what = failure.what();
    if (what.find(kTextDiskFull) != std::string::npos) throw;
    throw FormatError(what + LowSpaceNote(folder));
  }
}

// Runs a step of a save and turns its failures into a write error naming path.
template <class F>
auto Guarded(const std::string& path, F&& step) {
  try {
    return step();
  } catch (const FormatError& failure) {
    RaiseWriteError(path, failure.what());
  } catch (const host::RuntimeError& error) {
    RaiseWriteError(path, error.Description());
  } catch (const std::bad_alloc&) {
    RaiseWriteError(path, kTextTooLarge);
  } catch (const std::length_error&) {
    RaiseWriteError(path, kTextTooLarge);
  }
}

void WriteJournal(const std::vector<PreparedSave>& saves, const std::string& journal) {
  std::string text;
  for (const PreparedSave& save : saves) text += save.target + '\t' + save.temporary.Path() + '\n';
  const int fd = ::open(journal.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) ThrowWriteFailure(errno);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      ::close(fd);
      ::unlink(journal.c_str());
      ThrowWriteFailure(error);
    }
    written += static_cast<size_t>(n);
  }
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  if (::close(fd) != 0 || !synced) {
    ::unlink(journal.c_str());
    ThrowWriteFailure(synced ? errno : error);
  }
  SyncFolder(FolderOf(journal));
}

// What a save changes in the model once its file is in place.
void Settle(PreparedSave& save) {
  host::ModelWorkbook::Origin& origin = save.book->FileOrigin();
  if (save.result.besideOriginal) {
    save.book->SetName(FileNameOf(save.result.path));
    origin.fromXls = false;
    origin.unkeptParts.clear();
  }
  origin.fullPath = save.result.path;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// True when a new file a journal names may still be renamed over its
// target: a file of ours in the target's own folder that reads as a
// workbook, over a target nobody has changed since the journal was written.
bool MayFinish(const std::string& target, const std::string& temporary, const std::string& journal) {
  struct stat file {}, journalInfo {}, targetInfo {};
  if (::lstat(temporary.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return false;
  if (FolderOf(temporary) != FolderOf(target) || ::stat(journal.c_str(), &journalInfo) != 0) return false;
  if (::lstat(target.c_str(), &targetInfo) == 0) {
    if (!S_ISREG(targetInfo.st_mode)) return false;
    const auto changed = targetInfo.st_mtim, written = journalInfo.st_mtim;
    if (changed.tv_sec > written.tv_sec || (changed.tv_sec == written.tv_sec && changed.tv_nsec > written.tv_nsec)) {
      return false;
    }
  }
  try {
    ReadWorkbook(temporary);
  } catch (const host::RuntimeError&) {
    return false;
  }
  return true;
}

}  // namespace

PreparedSave PrepareSave(host::ModelWorkbook& book, const SaveSeam& seam) {
  const std::string folder = book.Path().empty() ? "." : book.Path();
  const std::string name = book.Name();
  const host::ModelWorkbook::Origin& origin = book.FileOrigin();
  SaveResult result;
  if (origin.fromXls) {
    result.reason = "“" + name + "”是旧格式（.xls）的工作簿，结果另存为 .xlsx，原文件保持不变";
  } else if (!origin.unkeptParts.empty()) {
    result.reason = "“" + name + "”含有本程序不能保留的内容（" + Joined(origin.unkeptParts) +
                    "），为免丢失，结果另存为新文件，原文件保持不变";
  } else if (ExtensionOf(name) != ".xlsx") {
    result.reason = "“" + name + "”不是 .xlsx 工作簿，结果另存为 .xlsx，原文件保持不变";
  }
  result.besideOriginal = !result.reason.empty();
  const std::string fileName = result.besideOriginal ? KeptCopyName(name) : name;
  result.path = folder + "/" + fileName;
  if (result.besideOriginal) result.reason += "：“" + fileName + "”";
  return Guarded(result.path, [&] {
    const std::string target = ResolveLink(result.path);
    TemporaryFile temporary = WriteChecked(book, target, seam);
    return PreparedSave{&book, target, std::move(temporary), result};
  });
}

std::vector<SaveResult> CommitSaves(std::vector<PreparedSave>& saves, const std::string& journal,
                                    const SaveSeam& seam) {
  const bool journaled = saves.size() > 1;
  std::vector<SaveResult> results;
  {
    // Held from before the journal is written until it is removed: a signal
    // then ends the program only once the renames are done. A journal is
    // therefore left only by a run that ended without cleaning up (SIGKILL, a
    // power cut), which also leaves the files not yet renamed.
    const SignalsHeld held;
    if (journaled) Guarded(journal, [&] { WriteJournal(saves, journal); });
    for (PreparedSave& save : saves) {
      try {
        save.temporary.RenameOver(save.target);
      } catch (const FormatError& failure) {
        if (journaled) ::unlink(journal.c_str());
        std::string what = failure.what();
        for (const SaveResult& done : results) {
          what += "；“" + FileNameOf(done.path) + "”已经保存 (was saved)";
        }
        RaiseWriteError(save.result.path, what);
      }
      results.push_back(save.result);
      if (seam.betweenRenames && results.size() < saves.size()) seam.betweenRenames(results.size());
    }
    for (const PreparedSave& save : saves) SyncFolder(FolderOf(save.target));
    if (journaled) {
      ::unlink(journal.c_str());
      SyncFolder(FolderOf(journal));
    }
  }
  for (PreparedSave& save : saves) Settle(save);
  return results;
}

SaveResult SaveWorkbook(host::ModelWorkbook& book) {
  std::vector<PreparedSave> saves;
  saves.push_back(PrepareSave(book));
  return CommitSaves(saves, "").front();
}

void WriteXlsxReplacing(const host::ModelWorkbook& book, const std::string& target) {
  Guarded(target, [&] {
    const std::string real = ResolveLink(target);
    WriteChecked(book, real).RenameOver(real);
    SyncFolder(FolderOf(real));
  });
}

bool WriteXlsxNew(const host::ModelWorkbook& book, const std::string& target) {
  return Guarded(target, [&] {
    const TemporaryFile temporary = WriteChecked(book, target);
    // A second name for the written file, given only when the target does
    // not exist: a file made meanwhile is never replaced.
    if (::link(temporary.Path().c_str(), target.c_str()) != 0) {
      if (errno == EEXIST) return false;
      throw FormatError(std::string("不能建立文件 (cannot create the file): ") + std::strerror(errno));
    }
    SyncFolder(FolderOf(target));
    return true;
  });
}

void WriteTextReplacing(const std::string& text, const std::string& target) {
  Guarded(target, [&] {
    const std::string real = ResolveLink(target);
    const unsigned mode = CheckTarget(real);
    TemporaryFile temporary(FolderOf(real), mode);
    {
      std::ofstream file(temporary.Path(), std::ios::binary | std::ios::trunc);
      file << text;
      file.close();
      if (!file) throw FormatError(kTextDiskFull);
    }
    SyncPath(temporary.Path(), O_RDONLY);
    temporary.RenameOver(real);
    SyncFolder(FolderOf(real));
  });
}

std::vector<InterruptedSave> TakeInterruptedSaves(const std::string& journal) {
  std::vector<InterruptedSave> saves;
  std::vector<std::string> temporaries;  // "" where the new file was already in place
  {
    std::ifstream file(journal, std::ios::binary);
    if (!file) return saves;
    std::string line;
    while (std::getline(file, line)) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string target = line.substr(0, tab);
      const std::string temporary = line.substr(tab + 1);
      const bool left = IsOurTemporaryName(FileNameOf(temporary)) && Exists(temporary);
      saves.push_back({target, !left, false});
      temporaries.push_back(left ? temporary : "");
    }
  }
  // The journal is written once every new file has been written, flushed
  // and read back, so a run killed after one rename had nothing left to do
  // but the other renames: they are done now. A run killed before its first
  // rename had changed nothing; its files are dropped.
  const bool started =
      std::any_of(saves.begin(), saves.end(), [](const InterruptedSave& save) { return save.replaced; });
  for (size_t i = 0; i < saves.size(); ++i) {
    const std::string& temporary = temporaries[i];
    if (temporary.empty()) continue;
    const std::string& target = saves[i].target;
    if (started && MayFinish(target, temporary, journal) && ::rename(temporary.c_str(), target.c_str()) == 0) {
      saves[i].replaced = true;
      saves[i].finishedNow = true;
      SyncFolder(FolderOf(target));
      continue;
    }
    struct stat info {};
    if (::lstat(temporary.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(temporary.c_str());
  }
  ::unlink(journal.c_str());
  SyncFolder(FolderOf(journal));
  return saves;
}

}  // namespace fenban::files
