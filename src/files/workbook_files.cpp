// Reading a workbook file: tells .xlsx from .xls by content and turns every
// failure into one clear run-time error naming the file.
#include "files/workbook_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "files/file_error.h"
#include "files/xls_reader.h"
#include "files/xlsx_reader_internal.h"
#include "files/zip_archive.h"
#include "host/errors.h"

namespace fenban::files {

namespace {

enum class FileKind { Empty, Zip, Ole, Other };

constexpr unsigned char kOleMagic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

FileKind KindOf(const unsigned char* head, size_t size) {
  if (size == 0) return FileKind::Empty;
  if (size >= 4 && head[0] == 'P' && head[1] == 'K' && (head[2] == 3 || head[2] == 5 || head[2] == 7)) {
    return FileKind::Zip;
  }
  if (size >= sizeof kOleMagic && std::memcmp(head, kOleMagic, sizeof kOleMagic) == 0) return FileKind::Ole;
  return FileKind::Other;
}

std::string ReadPrefix(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FormatError("文件无法打开 (the file cannot be opened)");
  in.seekg(0, std::ios::end);
  const auto size = static_cast<uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(std::min<uint64_t>(size, limit)), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

std::unique_ptr<host::ModelWorkbook> ReadOle(const std::string& path, const std::string& name,
                                             const std::string& folder) {
  try {
    return ReadXlsFile(path, name, folder);
  } catch (const FormatError&) {
    const std::string bytes = ReadPrefix(path, size_t{256} << 20);
    if (IsEncryptedPackage(bytes) || HasFilePassRecord(bytes)) throw FormatError(kTextEncrypted);
    throw;
  }
}

// Runs a reader and turns its failures into RuntimeError(kErrFile).
template <class F>
std::unique_ptr<host::ModelWorkbook> Guarded(const std::string& path, F&& read) {
  try {
    return read();
  } catch (const FormatError& error) {
    RaiseReadError(path, error.what());
  } catch (const host::RuntimeError& error) {
    if (error.Number() == host::kErrFile) throw;
    RaiseReadError(path, error.Description());
  } catch (const std::bad_alloc&) {
    RaiseReadError(path, kTextTooLarge);
  } catch (const std::length_error&) {
    RaiseReadError(path, kTextTooLarge);
  }
}

}  // namespace

std::unique_ptr<host::ModelWorkbook> ReadWorkbook(const std::string& path) {
  return Guarded(path, [&path]() -> std::unique_ptr<host::ModelWorkbook> {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw FormatError("文件不存在 (file not found)");
    if (S_ISDIR(info.st_mode)) throw FormatError("这是一个文件夹，不是文件 (a folder, not a file)");
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string full = error ? path : absolute.lexically_normal().string();
    const std::string name = FileNameOf(full);
    const std::string folder = FolderOf(full);
    const std::string head = ReadPrefix(path, 8);
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    std::unique_ptr<host::ModelWorkbook> book;
    switch (KindOf(bytes, head.size())) {
      case FileKind::Empty:
        throw FormatError("文件是空的 (the file is empty)");
      case FileKind::Zip: {
        const ZipArchive zip = ZipArchive::OpenFile(path);
        book = ReadXlsxArchive(zip, name, folder);
        break;
      }
      case FileKind::Ole:
        book = ReadOle(path, name, folder);
        break;
      case FileKind::Other:
        throw FormatError(kTextNotWorkbook);
    }
    book->FileOrigin().fullPath = full;
    return book;
  });
}

std::unique_ptr<host::ModelWorkbook> ReadWorkbookFromMemory(const void* data, size_t size, const std::string& fileName) {
  return Guarded(fileName, [&]() -> std::unique_ptr<host::ModelWorkbook> {
    const auto* bytes = static_cast<const unsigned char*>(data);
    switch (KindOf(bytes, size)) {
      case FileKind::Empty:
        throw FormatError("文件是空的 (the file is empty)");
      case FileKind::Zip: {
        const ZipArchive zip = ZipArchive::OpenMemory(data, size);
        return ReadXlsxArchive(zip, fileName, ".");
      }
      case FileKind::Ole: {
        char temp[] = "/tmp/fenban-xls-XXXXXX";
        const int fd = ::mkstemp(temp);
        if (fd < 0) throw FormatError("无法创建临时文件 (cannot create a temporary file)");
        size_t written = 0;
        while (written < size) {
          const ssize_t n = ::write(fd, bytes + written, size - written);
          if (n <= 0) break;
          written += static_cast<size_t>(n);
        }
        ::close(fd);
        try {
          auto book = written == size ? ReadOle(temp, fileName, ".") : nullptr;
          ::unlink(temp);
          if (!book) throw FormatError("无法写入临时文件 (cannot write a temporary file)");
          return book;
        } catch (...) {
          ::unlink(temp);
          throw;
        }
      }
      case FileKind::Other:
        break;
    }
    throw FormatError(kTextNotWorkbook);
  });
}

}  // namespace fenban::files
