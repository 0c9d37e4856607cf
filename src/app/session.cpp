#include "app/session.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "app/host_folder.h"
#include "app/desktop_services.h"
#include "files/workbook_files.h"
#include "form/form_routines.h"
#include "form/option_controls.h"
#include "host/errors.h"
#include "sheets/workbook_layout.h"

namespace fenban::app {

namespace fs = std::filesystem;

namespace {

std::string JoinNames(const std::vector<std::string>& names) {
  if (names.empty()) return "（无 none）";
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

// The files a save of book may replace or write: the file the workbook came
// from, and the file saved beside it ("名单(fenban).xlsx").
std::vector<fs::path> FilesOfBook(const host::ModelWorkbook& book) {
  std::vector<fs::path> paths;
  if (!book.FileOrigin().fullPath.empty()) paths.emplace_back(book.FileOrigin().fullPath);
  fs::path folder = book.Path().empty() ? fs::path(".") : fs::path(book.Path());
  paths.push_back(folder / book.Name());
  paths.push_back(folder / files::KeptCopyName(book.Name()));
  return paths;
}

// The form command an event belongs to, as a version records it.
std::string CommandOfEvent(const std::string& eventName) {
  if (eventName == "cmdFenBanClick") return "分班";
  if (eventName == "cmdTiaoBanClick") return "统计";
  if (eventName == "cmdDelClick") return "删除";
  if (eventName == "cmdDengJiClick") return "登记表";
  return "修改选项";
}

}  // namespace

Session::Session(const fs::path& folder, DesktopServices& services, host::WorkbookLoader loader)
    : folder_(folder), services_(&services) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    throw AppError(fmt::format("文件夹不存在 folder not found: {}", folder.string()));
  }
  fs::path hostPath = folder / kHostBookName;
  if (!fs::is_regular_file(hostPath, ec)) {
    throw AppError(fmt::format("找不到 {} (not found)。请先运行 run first: fenban init {}", hostPath.string(),
                               folder.string()));
  }
  // Each workbook read is a stage of the run's progress.
  host::WorkbookLoader reading = [loader, &services](const std::string& path) {
    if (host::ProgressSink* sink = services.Progress()) sink->Stage(host::WorkStage::Reading);
    return loader(path);
  };
  app_ = std::make_unique<host::ModelApplication>(services, reading);
  try {
    hostBook_ = &app_->AddWorkbook(reading(hostPath.string()));
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("无法读取 cannot read {}: {}", hostPath.string(), error.Description()));
  }
}

bool Session::Fire(const std::string& eventName) {
  int32_t before = services_->BoxCount();
  lastEvent_ = eventName;
  bridge_.MyFun(*app_, form_, eventName);
  // The event's long work is over; what the front end prints next stands on its own lines.
  if (host::ProgressSink* progress = services_->Progress()) progress->Done();
  return services_->BoxCount() == before;
}

bool Session::SelectBook(const std::string& book) {
  const std::vector<std::string>& items = form_.ltbBiao.Items();
  int32_t index = -1;
  for (size_t i = 0; i < items.size() && index < 0; ++i) {
    if (items[i] == book) index = static_cast<int32_t>(i);
  }
  if (index < 0) {
    // Also accept a path such as 数据/名单.xlsx.
    std::string fileName = fs::path(book).filename().string();
    for (size_t i = 0; i < items.size() && index < 0; ++i) {
      if (items[i] == fileName) index = static_cast<int32_t>(i);
    }
  }
  if (index < 0 && !book.empty() && book.size() <= 6 &&
      std::all_of(book.begin(), book.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
    // The number that list shows in front of the file name, counted from 1.
    const int32_t number = std::stoi(book);
    if (number >= 1 && static_cast<size_t>(number) <= items.size()) index = number - 1;
  }
  if (index < 0) {
    throw AppError(fmt::format("数据文件夹里没有 “{}” (no such data workbook in {})。可选 available: {}", book,
                               (folder_ / form::kDataFolderName).string(), JoinNames(items)));
  }
  form_.ltbBiao.SetListIndex(index);
  return Fire("ltbBiaoClick");
}

host::ModelWorkbook& Session::DataBook() {
  const std::string& name = bridge_.State().DataBookName;
  for (int32_t i = 1; i <= app_->WorkbookCount(); ++i) {
    host::ModelWorkbook& book = app_->ModelWorkbookAt(i);
    if (&book != hostBook_ && book.Name() == name) return book;
  }
  throw AppError(fmt::format("数据工作簿没有打开 the data workbook is not open: {}", name));
}

bool Session::SetTextAndFire(const std::string& entry, const std::string& control, const std::string& option) {
  // A text box holds what was typed; numbers go in as numbers.
  double number = 0;
  host::Value value = host::ParseNumber(entry, number) ? host::Value(number) : host::Value(entry);
  form_.SetControlValue(control, value);
  form_.SetControlSource(control, option + " " + entry);
  return Fire(control + "AfterUpdate");
}

bool Session::SetCheckAndFire(bool ticked, const std::string& control) {
  form_.Check(control).value = host::Value::Boolean(ticked);
  return Fire(control + "AfterUpdate");
}

bool Session::ApplyCounts(const CountOptions& counts) {
  for (const form::OptionControl& option : form::kOptionControls) {
    auto given = counts.find(option.control);
    if (option.kind != form::OptionKind::Count || given == counts.end()) continue;
    if (!SetTextAndFire(given->second, std::string(option.control), "--" + std::string(option.option))) return false;
  }
  return true;
}

bool Session::ApplyChecks(const CheckOptions& checks) {
  for (const form::OptionControl& option : form::kOptionControls) {
    auto given = checks.find(option.control);
    if (option.kind != form::OptionKind::Check || given == checks.end()) continue;
    if (!SetCheckAndFire(given->second, std::string(option.control))) return false;
  }
  return true;
}

bool Session::ApplyBalance(const std::optional<std::string>& names) {
  if (!names) return true;
  form_.txtJunHeng.value = host::Value(*names);
  form_.txtJunHeng.source = "--balance " + *names;
  return Fire("txtJunHengAfterUpdate");
}

bool Session::ApplyListOptions(const ListOptions& list) {
  if (list.headerRow) form_.txtBiaoTouHang.value = *list.headerRow;
  form_.chbSuanZongFen.value = host::Value::Boolean(list.totalFromSubjects);
  return !list.totalColumn || SetTextAndFire(*list.totalColumn, "txtZongFenLie", "--total-column");
}

void Session::SetRounding(bool round) {
  using Entry = sheets::EntryTemplate;
  host::Worksheet* entry = hostBook_->FindSheet(Entry::kSheetName);
  if (entry == nullptr) throw AppError(fmt::format("{} 里没有 “登记表” (no entry template sheet)", kHostBookName));
  entry->SetCellValue(Entry::kRoundingRow, Entry::kRoundingColumn, round ? "是" : "否");
}

void Session::ActivateDataSheet(const std::string& sheet) {
  host::ModelWorkbook& book = DataBook();
  host::Worksheet* found = book.FindSheet(sheet);
  if (found == nullptr) {
    std::vector<std::string> names;
    for (int32_t i = 1; i <= book.SheetCount(); ++i) names.push_back(book.SheetAt(i).Name());
    throw AppError(fmt::format("“{}” 里没有工作表 “{}” (no such sheet)。现有 sheets: {}", book.Name(), sheet,
                               JoinNames(names)));
  }
  found->Activate();
}

std::vector<files::SaveResult> Session::Save(const std::vector<host::ModelWorkbook*>& books, const WrittenHook& written) {
  keptVersions_.clear();
  std::vector<fs::path> files;
  for (const host::ModelWorkbook* book : books) {
    for (fs::path& path : FilesOfBook(*book)) files.push_back(std::move(path));
  }
  RefuseOpenWorkbooks(files);
  // Every workbook is written and read back before the first is replaced.
  std::vector<files::PreparedSave> prepared;
  host::ProgressSink* progress = services_->Progress();
  files::SaveSeam seam;
  if (progress != nullptr) seam.checking = [progress] { progress->Stage(host::WorkStage::Checking); };
  try {
    for (host::ModelWorkbook* book : books) {
      if (progress != nullptr) progress->Stage(host::WorkStage::Writing);
      prepared.push_back(files::PrepareSave(*book, seam));
    }
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("{}。文件保持原样 files left as they were。", error.Description()),
                   ErrorKind::SaveFailed);
  }
  if (written) {
    for (const files::PreparedSave& save : prepared) written(save);
  }
  const std::string command = historyCommand_.empty() ? CommandOfEvent(lastEvent_) : historyCommand_;
  const std::vector<files::SaveResult> saved =
      CommitKeepingVersions(prepared, (folder_ / kJournalFileName).string(), command, keptVersions_);
  if (progress != nullptr) progress->Done();
  return saved;
}

int32_t Session::NewDivisionSheetNumber() { return bridge_.State().NextSheetNo - 1; }

std::vector<std::string> SaveNotes(const std::vector<files::SaveResult>& saved) {
  std::vector<std::string> notes;
  for (const files::SaveResult& result : saved) {
    if (result.besideOriginal) {
      notes.push_back("另存为 saved beside the original: " + result.path);
      notes.push_back("  " + result.reason);
      notes.push_back("  以后请选用 from now on choose: " + fs::path(result.path).filename().string());
    } else {
      notes.push_back("已保存 saved: " + result.path);
    }
  }
  return notes;
}

}  // namespace fenban::app
