// fenban export BOOK 分班表N: the class lists of a division, written beside the list.
#include <fmt/format.h>

#include "cli/class_export.h"
#include "cli/cli_error.h"
#include "cli/commands.h"
#include "cli/folder_guard.h"
#include "form/form_routines.h"

namespace fenban::cli {

int RunExport(const std::filesystem::path& folder, const std::string& book, const ExportOptions& options,
              Terminal terminal) {
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, terminal.err);
  const std::filesystem::path list = folder / form::kDataFolderName / book;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(list, ec)) {
    throw CliError(fmt::format("数据文件夹里没有 “{}” (no such data workbook)", book));
  }
  const std::vector<std::filesystem::path> written = ExportClassLists(list, options);
  terminal.out << fmt::format("已导出 {} 的名单 exported the class lists ({} 个文件 files):\n", options.sheet,
                              written.size());
  for (const std::filesystem::path& path : written) terminal.out << "  " << path.string() << '\n';
  return kExitSuccess;
}

}  // namespace fenban::cli
