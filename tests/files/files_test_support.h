// Temporary folders and small helpers for the file layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "files/workbook_files.h"
#include "host/errors.h"
#include "host/model_workbook.h"

namespace fenban::files::testing {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fenban-files-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string DataFile(const std::string& name) { return std::string(FENBAN_TEST_DATA) + "/" + name; }

// Writes the workbook into dir and reads the file back.
inline std::unique_ptr<host::ModelWorkbook> RoundTrip(const host::ModelWorkbook& book, const TempDir& dir,
                                                      const std::string& name = "round.xlsx") {
  WriteXlsx(book, dir.File(name));
  return ReadWorkbook(dir.File(name));
}

// The description of the kErrFile error the statement raises; "" when it
// raises none, and a marker text for any other error.
template <class F>
std::string FileErrorOf(F&& statement) {
  try {
    statement();
  } catch (const host::RuntimeError& error) {
    if (error.Number() != host::kErrFile) return "wrong error number " + std::to_string(error.Number());
    return error.Description();
  }
  return "";
}

}  // namespace fenban::files::testing
