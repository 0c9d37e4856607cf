// The page's way back: the versions kept of a workbook before each save,
// and bringing one of them back.
#include <optional>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "app/host_folder.h"
#include "app/workbook_history.h"
#include "web/web_error.h"
#include "web/workspace.h"

namespace fenban::web {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

json VersionJson(const app::WorkbookVersion& version, const fs::path& workbook) {
  return {{"number", version.number},
          {"time", version.time},
          {"command", version.command},
          {"sheets", version.sheets},
          {"current", app::SameAsCurrent(version, workbook)}};
}

}  // namespace

fs::path Workspace::VersionedBookPath(const std::string& book) {
  if (book == app::kHostBookName) return folder_ / app::kHostBookName;
  return DataBookPath(book);
}

json Workspace::Versions(const std::string& book) {
  const fs::path workbook = VersionedBookPath(book);
  const std::vector<app::WorkbookVersion> versions = app::ListVersions(workbook);
  json list = json::array();
  for (auto version = versions.rbegin(); version != versions.rend(); ++version) {
    list.push_back(VersionJson(*version, workbook));
  }
  return {{"book", book}, {"versions", std::move(list)}};
}

json Workspace::Restore(const std::string& book, std::optional<int32_t> number) {
  RefuseWhilePending("恢复旧版本");
  const fs::path workbook = VersionedBookPath(book);
  app::RefuseOpenWorkbooks({workbook});
  if (app::ListVersions(workbook).empty()) {
    throw WebError(404, kNotice, fmt::format("“{}”还没有旧版本：还没有命令替换过它。", book));
  }
  const app::RestoreResult result = app::RestoreVersion(workbook, number, "恢复版本");
  const app::WorkbookVersion& version = result.restored;
  json notes = json::array();
  if (result.unchanged) {
    notes.push_back(fmt::format("“{}”已经是版本 {}，没有改动。", book, version.number));
  } else {
    notes.push_back(fmt::format("已恢复“{}”的版本 {}（{}）。", book, version.number, version.time));
  }
  if (result.keptAs) {
    notes.push_back(fmt::format("恢复前的文件已留作版本 {}，恢复它就能撤销这次恢复。", *result.keptAs));
  }
  json answer = {{"ok", true}, {"boxes", json::array()}, {"notes", std::move(notes)}};
  answer["versions"] = Versions(book)["versions"];
  answer["state"] = State();
  return answer;
}

}  // namespace fenban::web
