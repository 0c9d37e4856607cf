#include "app/kept_copy.h"

#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "app/app_error.h"
#include "files/workbook_files.h"

namespace fenban::app {

namespace fs = std::filesystem;

void RefuseToReplaceTheKeptCopy(const host::ModelWorkbook& book) {
  const fs::path name(book.Name());
  std::string extension = name.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool savedBeside =
      book.FileOrigin().fromXls || !book.FileOrigin().unkeptParts.empty() || extension != ".xlsx";
  if (!savedBeside) return;
  const std::string copyName = files::KeptCopyName(book.Name());
  const fs::path copy = (book.Path().empty() ? fs::path(".") : fs::path(book.Path())) / copyName;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(copy, ec))) return;
  throw AppError(fmt::format(
      "“{0}”已经存在，里面保存着以前选用“{1}”时的结果；再选用“{1}”会用新结果替换它。请改选“{0}”，"
      "或者先把它移到别处。没有保存任何文件。({0} already exists and holds the earlier results; choose it "
      "instead, or move it away first. Nothing was saved.)",
      copyName, book.Name()));
}

}  // namespace fenban::app
