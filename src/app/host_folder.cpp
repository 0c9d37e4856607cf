#include "app/host_folder.h"

#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include <fmt/format.h>

#include "bridge/myfb.h"
#include "app/app_error.h"
#include "app/example_generator.h"
#include "app/folder_guard.h"
#include "maintenance/host_workbook_content.h"
#include "app/teacher_manual.h"
#include "app/workbook_history.h"
#include "app/desktop_services.h"
#include "files/workbook_files.h"
#include "form/form.h"
#include "form/form_routines.h"
#include "host/errors.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "sheets/workbook_layout.h"

namespace fenban::app {

namespace fs = std::filesystem;

fs::path ResolveFolder(const fs::path& base, const std::string& folder) {
  fs::path path = folder.empty() ? base : base / fs::path(folder);
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) absolute = path;
  fs::path normal = absolute.lexically_normal();
  // "a/b/" normalises to "a/b/" with an empty last part; drop it.
  if (normal.has_relative_path() && normal.filename().empty()) normal = normal.parent_path();
  return normal;
}

void WriteXlsxAtomically(const host::ModelWorkbook& book, const fs::path& target) {
  try {
    files::WriteXlsxReplacing(book, target.string());
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("无法写入 cannot write {}: {}", target.string(), error.Description()));
  }
}

void WriteTextAtomically(const std::string& text, const fs::path& target) {
  try {
    files::WriteTextReplacing(text, target.string());
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("无法写入 cannot write {}: {}", target.string(), error.Description()));
  }
}

bool RefreshManual(const fs::path& folder) {
  const fs::path manual = folder / form::kHelpDocumentName;
  std::error_code ec;
  if (!fs::is_regular_file(manual, ec)) return false;
  const std::string current = BuildTeacherManual();
  std::ifstream file(manual, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad() || bytes.str() == current) return false;
  WriteTextAtomically(current, manual);
  return true;
}

void CreateHostWorkbook(const fs::path& folder, DesktopServices& services) {
  host::ModelApplication app(services, files::ReadWorkbook);
  auto& book = app.AddWorkbook(std::make_unique<host::ModelWorkbook>(kHostBookName, folder.string()));
  maintenance::FillSettingsSheet(book.AppendSheet("DTB"));
  book.AppendSheet("FBB");
  book.AppendSheet("JZB");
  book.AppendSheet("SYB");
  maintenance::FillEntrySheet(book.AppendSheet(sheets::EntryTemplate::kSheetName));
  book.SetActiveSheetIndex(1);

  // The entry template command gives "登记表" its markers and the yes/no list of C2.
  form::FormModel form;
  bridge::myfb bridge;
  int32_t boxesBefore = services.BoxCount();
  bridge.MyFun(app, form, "cmdDengJiClick");
  if (services.BoxCount() != boxesBefore) throw AppError("无法建立登记表 cannot build the entry template sheet");
  WriteXlsxAtomically(book, folder / kHostBookName);
}

fs::path WriteExampleWorkbook(const fs::path& folder, int32_t students, uint64_t seed,
                              std::vector<KeptVersion>& kept) {
  fs::path dataFolder = folder / form::kDataFolderName;
  host::ModelWorkbook book(kExampleBookName, dataFolder.string());
  host::ModelWorksheet& sheet = book.AppendSheet("数据表");
  WriteTable(sheet, GenerateExampleTable(students, seed));
  sheet.SetColumnWidth(1, 1, 11);
  fs::path target = dataFolder / kExampleBookName;
  std::vector<files::PreparedSave> prepared;
  try {
    prepared.push_back(files::PrepareSave(book));
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("无法写入 cannot write {}: {}", target.string(), error.Description()));
  }
  // An example a teacher has worked on is kept as a version before it is written anew.
  CommitKeepingVersions(prepared, "", fmt::format("fenban init --example {}", students), kept);
  return target;
}

void InitHostFolder(const InitOptions& options, DesktopServices& services, std::ostream& out) {
  const fs::path& folder = options.folder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) {
    throw AppError(fmt::format("无法建立文件夹 cannot create folder {}", folder.string()));
  }
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, out);
  fs::path hostBook = folder / kHostBookName;
  fs::path dataFolder = folder / form::kDataFolderName;
  bool hostExists = fs::exists(hostBook, ec);
  if (hostExists && !options.exampleStudents) {
    throw AppError(fmt::format("{} 已存在，不会覆盖它 (already exists, left as it is)。"
                               "只想生成示例名单时用 --example N (use --example N to write only the example)。",
                               hostBook.string()));
  }
  if (!hostExists) {
    CreateHostWorkbook(folder, services);
    out << "已建立 created: " << hostBook.string() << '\n';
  }
  fs::create_directories(dataFolder, ec);
  if (ec || !fs::is_directory(dataFolder, ec)) {
    throw AppError(fmt::format("无法建立文件夹 cannot create folder {}", dataFolder.string()));
  }
  if (!hostExists) out << "已建立 created: " << dataFolder.string() << "/\n";
  fs::path manual = folder / form::kHelpDocumentName;
  if (!fs::exists(manual, ec)) {
    WriteTextAtomically(BuildTeacherManual(), manual);
    out << "已建立 created: " << manual.string() << '\n';
  }
  if (options.exampleStudents) {
    std::vector<KeptVersion> kept;
    fs::path example = WriteExampleWorkbook(folder, *options.exampleStudents, options.exampleSeed, kept);
    out << fmt::format("示例名单 example: {} ({} 名学生 students, 种子 seed {})\n", example.string(),
                       *options.exampleStudents, options.exampleSeed);
    for (const KeptVersion& version : kept) {
      out << fmt::format("原来的示例名单已留作版本 {}，可用 fenban restore {} 恢复 "
                         "(the example as it was is kept as version {}: fenban restore {} brings it back)\n",
                         version.number, kExampleBookName, version.number, kExampleBookName);
    }
  }
}

}  // namespace fenban::app
