// Rules for the files the page may touch in the host folder: which names an
// upload may take in 数据/, and whether a spreadsheet program has a workbook
// open (its lock file lies beside it).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace fenban::web {

// Largest upload accepted, in bytes.
inline constexpr size_t kMaxUploadBytes = 64u * 1024u * 1024u;

// Why `name` cannot be the name of an uploaded data workbook, or nothing when
// it can: a plain file name (no folder part, not hidden, not a lock file)
// ending in .xlsx or .xls.
std::optional<std::string> UploadNameProblem(const std::string& name);

// The lock file of a spreadsheet program that has `workbook` open
// (".~lock.NAME#" or "~$NAME" beside it), or nothing.
std::optional<std::filesystem::path> SpreadsheetLockFile(const std::filesystem::path& workbook);

}  // namespace fenban::web
