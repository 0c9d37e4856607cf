// Class lists to post and to send: a division's classes written to a new
// workbook in the folder "导出" beside the list (one sheet per class, or one
// workbook per class),
// with only the columns chosen, sorted, a heading per class, each class on
// one A4 page where it fits. The division itself is never written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fenban::app {

// The folder the lists go to, beside the list: a folder, so that the lists
// are never taken for data workbooks and the data workbooks keep their
// numbers in the form's list (the listing has no folders).
inline constexpr const char* kExportFolderName = "导出";

struct ExportOptions {
  std::string sheet;                                // "分班表N"
  std::optional<std::vector<std::string>> columns;  // default: 姓名, 性别 and a student number
  bool perClassFiles = false;
  std::string sortBy;                  // a column chosen, "" for the division's order
  std::string heading = "{n}班";       // "{n}" stands for the class
};

// The columns given when none are chosen: 姓名, 性别 and the first of 考号,
// 学号 the division has.
std::vector<std::string> DefaultExportColumns(const std::vector<std::string>& headers);

// Writes the lists of the division `options.sheet` of the workbook at
// `list` into the export folder beside it (made when missing) and returns
// the files written. A AppError when the sheet
// is not a division, a column is unknown, or a file is open elsewhere.
std::vector<std::filesystem::path> ExportClassLists(const std::filesystem::path& list, const ExportOptions& options);

}  // namespace fenban::app
