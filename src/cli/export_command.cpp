// fenban export BOOK 分班表N: the class lists of a division, written beside the list.
#include <fmt/format.h>

#include "app/class_export.h"
#include "app/app_error.h"
#include "cli/commands.h"
#include "app/folder_guard.h"
#include "form/form_routines.h"

namespace fenban::cli {

int RunExport(const std::filesystem::path& folder, const std::string& book, const app::ExportOptions& options,
              Terminal terminal) {
  const app::HeldHostFolder held(folder, terminal.err);
  const std::filesystem::path list = folder / form::kDataFolderName / book;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(list, ec)) {
    throw app::AppError(fmt::format("数据文件夹里没有 “{}” (no such data workbook)", book));
  }
  const std::vector<std::filesystem::path> written = app::ExportClassLists(list, options);
  terminal.out << fmt::format("已导出 {} 的名单 exported the class lists ({} 个文件 files):\n", options.sheet,
                              written.size());
  for (const std::filesystem::path& path : written) terminal.out << "  " << path.string() << '\n';
  return app::kExitSuccess;
}

}  // namespace fenban::cli
