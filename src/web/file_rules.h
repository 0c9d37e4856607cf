// Rules for the files the page may put into the host folder: which names an
// upload may take in 数据/.
#pragma once

#include <optional>
#include <string>

namespace fenban::web {

// Largest upload accepted, in bytes.
inline constexpr size_t kMaxUploadBytes = 64u * 1024u * 1024u;

// Why `name` cannot be the name of an uploaded data workbook, or nothing when
// it can: a plain file name (no folder part, not hidden, not a lock file)
// ending in .xlsx, .xls or .csv (a list read into a new workbook).
std::optional<std::string> UploadNameProblem(const std::string& name);

}  // namespace fenban::web
