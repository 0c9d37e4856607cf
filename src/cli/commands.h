// The commands of the fenban program. Each returns the exit status; program
// failures are thrown as AppError.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "app/class_export.h"
#include "app/command_options.h"
#include "app/host_folder.h"

namespace fenban::cli {

// Where a command prints: out for results, err for messages.
struct Terminal {
  std::ostream& out;
  std::ostream& err;
};

int RunInit(const app::InitOptions& options, Terminal terminal);
int RunList(const std::filesystem::path& folder, Terminal terminal);
int RunDivide(const std::filesystem::path& folder, const app::DivideOptions& options, Terminal terminal);
int RunStats(const std::filesystem::path& folder, const app::StatsOptions& options, Terminal terminal);
int RunClean(const std::filesystem::path& folder, const app::CleanOptions& options, Terminal terminal);
int RunTemplate(const std::filesystem::path& folder, const app::TemplateOptions& options, Terminal terminal);
// history BOOK: the versions kept of a workbook. restore BOOK [N]: brings one back.
int RunHistory(const std::filesystem::path& folder, const std::string& book, Terminal terminal);
int RunRestore(const std::filesystem::path& folder, const app::RestoreOptions& options, Terminal terminal);
// export BOOK 分班表N: the class lists of a division in a new workbook beside the list.
int RunExport(const std::filesystem::path& folder, const std::string& book, const app::ExportOptions& options,
              Terminal terminal);
int RunHelp(const std::filesystem::path& folder, Terminal terminal);

}  // namespace fenban::cli
