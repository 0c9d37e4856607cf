// Running the built fenban program in a temporary folder, and reading the
// workbooks it writes.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <set>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/workbook_files.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"

namespace fenban::clitest {

namespace fs = std::filesystem;

#ifdef FENBAN_BINARY
inline constexpr const char* kBinary = FENBAN_BINARY;
#else
inline constexpr const char* kBinary = "";
#endif

inline bool BinaryAvailable() { return kBinary[0] != '\0' && fs::exists(kBinary); }

#define FENBAN_REQUIRE_BINARY()                                                  \
  do {                                                                           \
    if (!::fenban::clitest::BinaryAvailable()) GTEST_SKIP() << "fenban not built"; \
  } while (false)

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "_" + info->name() : "cli";
    std::string pattern = (fs::temp_directory_path() / ("fenban_cli_" + name + "_XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// Runs fenban with the arguments in `folder`, without a desktop (so help
// documents are printed, not opened) and without standard input.
// Its output is kept in outputFolder (default: folder) while it runs.
inline RunResult RunFenban(const fs::path& folder, const std::vector<std::string>& args,
                           const fs::path& outputFolder = {}) {
  fs::path outFile = (outputFolder.empty() ? folder : outputFolder) / ".run_out";
  fs::path errFile = (outputFolder.empty() ? folder : outputFolder) / ".run_err";
  pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kBinary));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(kBinary, argv.data());
    ::_exit(127);
  }
  RunResult result;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = ReadFile(outFile);
  result.err = ReadFile(errFile);
  std::error_code ec;
  fs::remove(outFile, ec);
  fs::remove(errFile, ec);
  return result;
}

// For failure messages: what the program printed.
inline std::string Printed(const RunResult& run) {
  return "status " + std::to_string(run.status) + "\n--- stdout\n" + run.out + "--- stderr\n" + run.err;
}

inline std::unique_ptr<host::ModelWorkbook> ReadBook(const fs::path& path) {
  return files::ReadWorkbook(path.string());
}

inline std::vector<std::string> SheetNames(host::ModelWorkbook& book) {
  std::vector<std::string> names;
  for (int32_t i = 1; i <= book.SheetCount(); ++i) names.push_back(book.SheetAt(i).Name());
  return names;
}

// Column of a header text in the given row; 0 when absent.
inline int32_t ColumnOf(const host::Worksheet& sheet, int32_t headerRow, const std::string& header) {
  host::Rect used = sheet.UsedRect();
  for (int32_t c = 1; c <= used.col2; ++c) {
    const host::Value& value = sheet.CellValue(headerRow, c);
    if (value.IsText() && value.Text() == header) return c;
  }
  return 0;
}

// The texts of a column from firstRow down to the first empty cell.
inline std::vector<std::string> ColumnTexts(const host::Worksheet& sheet, int32_t column, int32_t firstRow) {
  std::vector<std::string> texts;
  for (int32_t r = firstRow;; ++r) {
    const host::Value& value = sheet.CellValue(r, column);
    if (value.IsEmpty()) break;
    texts.push_back(value.ToText());
  }
  return texts;
}

// init with an example of `students` students in `folder`.
inline void InitWithExample(const fs::path& folder, int students, const std::string& seed = "7") {
  RunResult run = RunFenban(folder, {"init", ".", "--example", std::to_string(students), "--seed", seed});
  ASSERT_EQ(run.status, 0) << Printed(run);
}

// The bytes of every file under a folder, by relative path.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
  }
  return files;
}

// Writes a data workbook with the given table on "数据表".
inline void WriteDataBook(const fs::path& path, const std::vector<std::vector<host::Value>>& table) {
  host::ModelWorkbook book(path.filename().string(), path.parent_path().string());
  host::ModelWorksheet& sheet = book.AppendSheet("数据表");
  for (size_t r = 0; r < table.size(); ++r) {
    for (size_t c = 0; c < table[r].size(); ++c) {
      sheet.SetCellValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1), table[r][c]);
    }
  }
  files::WriteXlsx(book, path.string());
}

inline bool HaveOpenpyxl() { return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0; }

// Runs a Python script with openpyxl on the arguments; returns what it printed.
inline std::string RunPython(const fs::path& folder, const std::string& script, const std::vector<std::string>& args) {
  const fs::path scriptPath = folder / ".check.py";
  const fs::path outPath = folder / ".check.out";
  {
    std::ofstream file(scriptPath);
    file << script;
  }
  std::string command = "/usr/bin/python3 '" + scriptPath.string() + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " > '" + outPath.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::string out = ReadFile(outPath);
  fs::remove(scriptPath);
  fs::remove(outPath);
  return status == 0 ? out : "python failed: " + out;
}

}  // namespace fenban::clitest
