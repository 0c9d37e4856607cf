// The page's export of class lists: the same lists as `fenban export`,
// written into the export folder beside the chosen workbook, which is never
// written; and the exported files, for the page to download.
#include <fmt/format.h>

#include "app/class_export.h"
#include "form/form_routines.h"
#include "web/name_text.h"
#include "web/web_error.h"
#include "web/workspace.h"

namespace fenban::web {

using nlohmann::json;

json Workspace::Export(const app::ExportOptions& options) {
  RefuseWhilePending("导出名单");
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  const std::vector<std::filesystem::path> written =
      app::ExportClassLists(folder_ / form::kDataFolderName / chosen_, options);
  json files = json::array();
  json notes = json::array({fmt::format("已导出 {} 的名单，{} 个文件，在“{}/{}”文件夹里：", options.sheet,
                                        written.size(), form::kDataFolderName, app::kExportFolderName)});
  for (const std::filesystem::path& path : written) {
    files.push_back(ShownName(path.filename().string()));
    notes.push_back(ShownName(path.filename().string()));
  }
  json result = {{"ok", true}, {"boxes", json::array()}, {"notes", std::move(notes)}, {"files", std::move(files)}};
  result["state"] = State();
  return result;
}

std::filesystem::path Workspace::ExportedListPath(const std::string& name) const {
  const std::filesystem::path file = folder_ / form::kDataFolderName / app::kExportFolderName / name;
  std::error_code ec;
  // A bare file name of a workbook there, never a way out of the folder.
  if (name.empty() || name.front() == '.' || std::filesystem::path(name).filename().string() != name ||
      !std::filesystem::is_regular_file(file, ec)) {
    throw WebError(404, kNotice, fmt::format("“{}/{}”文件夹里没有 “{}”", form::kDataFolderName,
                                             app::kExportFolderName, ShownName(name)));
  }
  return file;
}

}  // namespace fenban::web
