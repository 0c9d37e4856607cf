// Saving without loss: the workbook is written to a temporary file in the
// target's folder and renamed over the target only when complete. A
// workbook whose file the model cannot reproduce is saved beside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "files/file_error.h"
#include "files/workbook_files.h"
#include "files/xlsx_writer_internal.h"

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

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += "、";
    text += part;
  }
  return text;
}

// Creates an empty temporary file beside target and returns its path.
std::string CreateTemporary(const std::string& target) {
  const std::string prefix = FolderOf(target) + "/.~" + FileNameOf(target) + ".";
  std::random_device device;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = prefix + std::to_string(device() % 1000000u) + ".tmp";
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat info {};
      if (::stat(target.c_str(), &info) == 0) ::fchmod(fd, info.st_mode & 07777);
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw FormatError(std::string("无法在文件所在的文件夹中创建临时文件 (cannot create a temporary file): ") +
                        std::strerror(errno));
    }
  }
  throw FormatError("无法在文件所在的文件夹中创建临时文件 (cannot create a temporary file)");
}

void SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes the workbook to target through a temporary file and a rename.
void WriteReplacing(const host::ModelWorkbook& book, const std::string& target) {
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
    throw FormatError("文件是只读的 (the file is read-only)");
  }
  const std::string temporary = CreateTemporary(target);
  try {
    WriteXlsxFile(book, temporary);
    SyncPath(temporary, O_RDONLY);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
      throw FormatError(std::string("无法替换原文件 (cannot replace the file): ") + std::strerror(errno));
    }
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  SyncPath(FolderOf(target), O_RDONLY | O_DIRECTORY);
}

// The file a save goes to: the target itself, or the file a link points at.
std::string ResolveLink(const std::string& target) {
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
  char* real = ::realpath(target.c_str(), nullptr);
  if (real == nullptr) return target;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

}  // namespace

SaveResult SaveWorkbook(host::ModelWorkbook& book) {
  const std::string folder = book.Path().empty() ? "." : book.Path();
  const std::string name = book.Name();
  host::ModelWorkbook::Origin& origin = book.FileOrigin();
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
  const std::string fileName = result.besideOriginal ? StemOf(name) + "(fenban).xlsx" : name;
  const std::string target = folder + "/" + fileName;
  if (result.besideOriginal) result.reason += "：“" + fileName + "”";
  try {
    WriteReplacing(book, ResolveLink(target));
  } catch (const FormatError& failure) {
    RaiseWriteError(target, failure.what());
  } catch (const std::bad_alloc&) {
    RaiseWriteError(target, kTextTooLarge);
  }
  result.path = target;
  if (result.besideOriginal) {
    book.SetName(fileName);
    origin.fromXls = false;
    origin.unkeptParts.clear();
  }
  origin.fullPath = target;
  return result;
}

}  // namespace fenban::files
