// Earlier versions of a workbook: before a command replaces a workbook's
// file, the file as it was is copied into a hidden folder beside it
// (".fenban-history/<file name>/"), at most kMaxVersions of them, so that any
// save can be undone. Nothing here prints: the front ends show what these
// functions return. Failures raise AppError with a message in Chinese and
// English.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/workbook_files.h"

namespace fenban::app {

inline constexpr const char* kHistoryFolderName = ".fenban-history";
inline constexpr size_t kMaxVersions = 20;

struct WorkbookVersion {
  int32_t number = 0;               // counted up for each workbook, never given twice
  std::string time;                 // when it was kept, local time "2026-12-08 14:50:03"
  std::string command;              // the command that replaced the file after it
  std::vector<std::string> sheets;  // the sheets the file held
  std::filesystem::path file;       // the kept copy
};

// The folder that keeps the versions of `workbook`: ".fenban-history/<name>"
// beside the file the workbook really is (through a link), so that every
// path to one file shares one history.
std::filesystem::path HistoryFolderOf(const std::filesystem::path& workbook);

// The versions kept for `workbook`, oldest first.
std::vector<WorkbookVersion> ListVersions(const std::filesystem::path& workbook);

// True when the version holds the same bytes as the workbook's file now.
bool SameAsCurrent(const WorkbookVersion& version, const std::filesystem::path& workbook);

// The workbook a teacher names for its versions: "fenban.xlsx" is the host
// workbook; any other name (or "数据/名单.xlsx") a file of the data folder,
// which may be gone as long as versions of it are kept. Empty when there is
// neither the file nor a version of it.
std::optional<std::filesystem::path> NamedWorkbook(const std::filesystem::path& hostFolder, const std::string& book);

struct KeptVersion {
  std::filesystem::path workbook;
  int32_t number = 0;
};


// Replaces the prepared files as files::CommitSaves does, keeping each file
// it replaces as a version first, recorded with `command`. The versions are
// named only once nothing can stop the renames that follow; a save that
// fails leaves no version of a file it left as it was. Returns what was
// saved and, in `kept`, the versions kept. Raises AppError.
std::vector<files::SaveResult> CommitKeepingVersions(std::vector<files::PreparedSave>& prepared,
                                                     const std::string& journal, const std::string& command,
                                                     std::vector<KeptVersion>& kept);

// Puts the file `incoming` (a checked temporary file beside it) in place of
// the workbook's file, keeping the file it replaces as a version recorded
// with `command`; refuses while a spreadsheet program has it open. Returns
// the version kept. The caller holds the folder locks. Raises AppError.
KeptVersion ReplaceKeepingVersion(const std::filesystem::path& workbook, files::TemporaryFile& incoming,
                                  const std::string& command);

// Removes the workbook's file after keeping it as a version recorded with
// `command`, so that a restore brings it back. Same rules as above.
KeptVersion RemoveKeepingVersion(const std::filesystem::path& workbook, const std::string& command);

struct RestoreResult {
  WorkbookVersion restored;
  std::optional<int32_t> keptAs;  // the version the replaced file became
  bool unchanged = false;         // the file already held that version: nothing was done
};

// Puts version `number` (the newest when not given) back as the workbook's
// file, through a link to its real file: refuses while a spreadsheet program
// has it open, checks that the version reads as a workbook, keeps the file
// it replaces as a version of its own (so a restore can be undone) and
// replaces the file in one rename; that version records `command` and the
// number restored ("fenban restore 3"). The caller holds the folder locks.
RestoreResult RestoreVersion(const std::filesystem::path& workbook, std::optional<int32_t> number,
                             const std::string& command);

}  // namespace fenban::app
