// The host folder: fenban.xlsx (the host workbook), the data folder 数据/
// and the manual help.doc. init creates it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/host_workbook_content.h"
#include "app/workbook_history.h"

namespace fenban::host {
class ModelWorkbook;
}

namespace fenban::app {

class DesktopServices;

inline constexpr const char* kHostBookName = "fenban.xlsx";

// Absolute, normalised form of a folder given on the command line.
std::filesystem::path ResolveFolder(const std::filesystem::path& base, const std::string& folder);

// Builds the host workbook and writes it to folder/fenban.xlsx: "DTB" with
// the default options, the working sheets "FBB", "JZB", "SYB" and the entry
// template "登记表", finished by the entry template command. Raises AppError.
void CreateHostWorkbook(const std::filesystem::path& folder, DesktopServices& services);

// Writes the workbook as .xlsx to a temporary file beside `target` and
// renames it over `target`. Raises AppError on failure, leaving `target` alone.
void WriteXlsxAtomically(const host::ModelWorkbook& book, const std::filesystem::path& target);
// The same for a text file.
void WriteTextAtomically(const std::string& text, const std::filesystem::path& target);

struct InitOptions {
  std::filesystem::path folder;
  std::optional<int32_t> exampleStudents;
  uint64_t exampleSeed = 0;
};

// init: creates the folder, fenban.xlsx, 数据/ and help.doc, and the example
// when asked. An existing fenban.xlsx is never overwritten: with --example
// only the example is (re)written, the one there kept as a version;
// otherwise it is an AppError.
void InitHostFolder(const InitOptions& options, DesktopServices& services, std::ostream& out);

// help.doc belongs to the program: one that differs from the guide compiled
// in (written by an earlier version) is written again before it is opened.
// A missing one stays missing (the help button then reports it). Returns
// whether it was written.
bool RefreshManual(const std::filesystem::path& folder);

// Writes 数据/示例.xlsx with the given number of students; an example that
// was there is kept as a version (in `kept`).
std::filesystem::path WriteExampleWorkbook(const std::filesystem::path& folder, int32_t students, uint64_t seed,
                                           std::vector<KeptVersion>& kept);

}  // namespace fenban::app
