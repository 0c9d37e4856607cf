// Workbooks read once and kept between the page's calls: a workbook is read
// from its file again only when the file's version (size, modification time,
// hash of the bytes) is no longer the one it was read at, so a change made
// by another program is always seen. A workbook the page has just saved is
// kept as written, with the version of the bytes written, and is not read back.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "host/model_workbook.h"
#include "web/file_version.h"

namespace fenban::web {

class WorkbookCache {
 public:
  // The workbook of the file as it is now, to read from and never to
  // change (the model's sheets are found through non-const calls); valid
  // until the next call. Failures of reading as files::ReadWorkbook.
  host::ModelWorkbook& Current(const std::filesystem::path& file);
  // A copy of it, to change.
  std::unique_ptr<host::ModelWorkbook> Copy(const std::filesystem::path& file);
  // Keeps `book` as the content of `file` at `version` (the version of the
  // bytes just written there).
  void Keep(const std::filesystem::path& file, const FileVersion& version, std::unique_ptr<host::ModelWorkbook> book);
  // How many times a file was read (for tests of the cache itself).
  int Reads() const { return reads_; }

 private:
  struct Entry {
    FileVersion version;
    std::unique_ptr<host::ModelWorkbook> book;
  };
  std::map<std::string, Entry> entries_;
  int reads_ = 0;
};

}  // namespace fenban::web
