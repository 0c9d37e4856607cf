#include "web/workspace.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fmt/format.h>

#include "cli/cli_error.h"
#include "cli/host_folder.h"
#include "files/workbook_files.h"
#include "form/form_routines.h"
#include "host/errors.h"
#include "cli/folder_guard.h"
#include "web/file_rules.h"
#include "web/request_guard.h"
#include "web/web_error.h"

namespace fenban::web {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

json ControlValue(const host::Value& value) {
  if (value.IsBoolean()) return value.Bool();
  if (value.IsNumber()) return value.Number();
  if (value.IsEmpty()) return nullptr;
  return value.ToText();
}

// The text an entry in a text box holds, as typed.
std::string EntryText(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  if (value.is_number()) return fmt::format("{}", value.get<double>());
  if (value.is_null()) return "";
  throw WebError(400, kNotice, "选项的值应是数字或文字 (an option value must be a number or a text)");
}

std::string PairNumber(const std::string& sheet, const std::string& kind) {
  std::string prefix = kind;  // "分班表" or "统计表"
  if (sheet.rfind(prefix, 0) != 0 || sheet.size() == prefix.size()) return "";
  return sheet.substr(prefix.size());
}

}  // namespace

std::string StatisticsSheetOf(const std::string& sheet) {
  for (const char* kind : {"分班表", "统计表"}) {
    std::string number = PairNumber(sheet, kind);
    if (!number.empty()) return "统计表" + number;
  }
  return "";
}

std::string DivisionSheetOf(const std::string& sheet) {
  for (const char* kind : {"分班表", "统计表"}) {
    std::string number = PairNumber(sheet, kind);
    if (!number.empty()) return "分班表" + number;
  }
  return "";
}

Workspace::Workspace(fs::path folder) : folder_(std::move(folder)) {
  OpenRun(false);  // a folder without a readable fenban.xlsx fails here, at start
}

FormRun Workspace::OpenRun(bool selectBook) {
  FormRun run;
  run.services = std::make_unique<WebServices>();
  run.session = std::make_unique<cli::Session>(folder_, *run.services);
  run.session->Start();
  if (selectBook && !chosen_.empty()) run.session->SelectBook(chosen_);
  return run;
}

json Workspace::Outcome(const FormRun& run, bool ok) {
  json boxes = json::array();
  for (const MessageBox& box : run.services->Boxes()) {
    boxes.push_back({{"title", box.title}, {"text", box.text}, {"style", box.style}});
  }
  return {{"ok", ok && boxes.empty()}, {"boxes", std::move(boxes)}, {"notes", json::array()}};
}

std::vector<std::string> Workspace::SaveBooks(FormRun& run, const std::vector<host::ModelWorkbook*>& books) {
  std::vector<fs::path> targets;
  for (host::ModelWorkbook* book : books) {
    if (!book->FileOrigin().fullPath.empty()) targets.emplace_back(book->FileOrigin().fullPath);
    targets.push_back(fs::path(book->Path()) / (fs::path(book->Name()).stem().string() + "(fenban).xlsx"));
  }
  try {
    cli::RefuseOpenWorkbooks(targets);
  } catch (const cli::CliError& error) {
    throw WebError(409, "文件正在使用", error.what());
  }
  std::ostringstream out;
  try {
    run.session->Save(books, out);
  } catch (const cli::CliError& error) {
    throw WebError(500, "保存失败", error.what());
  }
  std::vector<std::string> notes;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) notes.push_back(line);
  }
  return notes;
}

void Workspace::RefuseWhilePending(const std::string& what) {
  if (!pending_) return;
  if (pending_->done.empty()) {  // every move was undone: nothing to lose
    pending_.reset();
    return;
  }
  throw WebError(409, kNotice,
                 fmt::format("“{}” 有尚未保存的调班。请先保存或放弃这些调班，再{}。 "
                             "(save or discard the moved students first)",
                             pending_->sheet, what));
}

std::vector<std::string> Workspace::ListBooks() {
  WebServices services;
  fs::path data = folder_ / form::kDataFolderName;
  std::error_code ec;
  if (!fs::is_directory(data, ec)) return {};
  return services.ListDirectory(data.string());
}

json Workspace::PendingJson() const {
  if (!pending_) return nullptr;
  return {{"book", pending_->book},
          {"sheet", pending_->sheet},
          {"moves", pending_->done.size()},
          {"canUndo", !pending_->done.empty()},
          {"canRedo", !pending_->undone.empty()}};
}

json Workspace::State() {
  FormRun run = OpenRun(false);
  form::FormModel& form = run.session->Form();
  json options = {
      {"txtFenBan", ControlValue(form.txtFenBan.value)}, {"txtYouXiu", ControlValue(form.txtYouXiu.value)},
      {"txtJiGe", ControlValue(form.txtJiGe.value)},     {"txtNMing", ControlValue(form.txtNMing.value)},
      {"chbXingBie", ControlValue(form.chbXingBie.value)}, {"chbZuXiao", ControlValue(form.chbZuXiao.value)},
      {"chbYingJie", ControlValue(form.chbYingJie.value)}, {"chbYouHua", ControlValue(form.chbYouHua.value)},
  };
  json subjects = json::array();
  std::string round;
  if (host::Worksheet* entry = run.session->HostBook().FindSheet("登记表")) {
    for (int32_t row = 2; row <= 20; ++row) {
      const host::Value& name = entry->CellValue(row, 1);
      if (!name.IsEmpty()) subjects.push_back(name.ToText());
    }
    round = entry->CellValue(2, 3).IsText() ? entry->CellValue(2, 3).ToText() : "";
  }
  json books = json::array();
  for (const std::string& name : form.ltbBiao.Items()) books.push_back(name);
  if (!chosen_.empty() && std::find(form.ltbBiao.Items().begin(), form.ltbBiao.Items().end(), chosen_) ==
                              form.ltbBiao.Items().end()) {
    chosen_.clear();  // the file is gone
  }
  json sheets = json::array();
  if (pending_) {
    host::ModelWorkbook& data = pending_->run.session->DataBook();
    for (int32_t i = 1; i <= data.SheetCount(); ++i) sheets.push_back(data.SheetAt(i).Name());
  } else if (!chosen_.empty()) {
    try {
      auto data = files::ReadWorkbook(DataBookPath(chosen_).string());
      for (int32_t i = 1; i <= data->SheetCount(); ++i) sheets.push_back(data->SheetAt(i).Name());
    } catch (const host::RuntimeError&) {
      // Shown as no sheets; choosing the workbook again reports why.
    }
  }
  return {{"folder", folder_.string()},
          {"books", std::move(books)},
          {"book", chosen_.empty() ? json(nullptr) : json(chosen_)},
          {"sheets", std::move(sheets)},
          {"options", std::move(options)},
          {"round", round},
          {"subjects", std::move(subjects)},
          {"pending", PendingJson()}};
}

json Workspace::Select(const std::string& book) {
  if (pending_ && book != pending_->book) RefuseWhilePending("选择别的工作簿");
  FormRun run = OpenRun(false);
  bool ok = run.session->SelectBook(book);
  if (ok) chosen_ = book;
  json result = Outcome(run, ok);
  result["state"] = State();
  return result;
}

json Workspace::SetOption(const std::string& control, const json& value) {
  RefuseWhilePending("修改选项");
  FormRun run = OpenRun(true);
  bool ok = false;
  if (control == "round") {
    if (!value.is_boolean()) throw WebError(400, kNotice, "“总分化为整数”应是 是 或 否 (expected true or false)");
    run.session->SetRounding(value.get<bool>());
    ok = true;
  } else if (control == "txtFenBan" || control == "txtYouXiu" || control == "txtJiGe" || control == "txtNMing") {
    cli::CountOptions counts;
    std::string entry = EntryText(value);
    if (control == "txtFenBan") counts.classes = entry;
    if (control == "txtYouXiu") counts.excellent = entry;
    if (control == "txtJiGe") counts.pass = entry;
    if (control == "txtNMing") counts.top = entry;
    ok = run.session->ApplyCounts(counts);
  } else if (control == "chbXingBie" || control == "chbZuXiao" || control == "chbYingJie" || control == "chbYouHua") {
    if (!value.is_boolean()) throw WebError(400, kNotice, "勾选框的值应是 true 或 false (expected true or false)");
    cli::CheckOptions checks;
    bool ticked = value.get<bool>();
    if (control == "chbXingBie") checks.bySex = ticked;
    if (control == "chbZuXiao") checks.byBoarding = ticked;
    if (control == "chbYingJie") checks.byCurrent = ticked;
    if (control == "chbYouHua") checks.refine = ticked;
    ok = run.session->ApplyChecks(checks);
  } else {
    throw WebError(400, kNotice, fmt::format("没有这个选项 (unknown option): {}", control));
  }
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) result["notes"] = SaveBooks(run, {&run.session->HostBook()});
  result["state"] = State();
  return result;
}

json Workspace::Divide() {
  RefuseWhilePending("分班");
  FormRun run = OpenRun(true);
  bool ok = run.session->Fire("cmdFenBanClick");
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) {
    int32_t number = run.session->Bridge().State().NextSheetNo - 1;
    result["notes"] = SaveBooks(run, {&run.session->HostBook(), &run.session->DataBook()});
    result["sheet"] = fmt::format("分班表{}", number);
    if (run.services->UsedSeed()) result["seed"] = *run.services->UsedSeed();
    json refinement = json::array();
    for (const form::BalanceFigure& figure : run.session->Bridge().State().LastRefinement) {
      refinement.push_back({{"name", figure.name}, {"dealt", figure.dealt}, {"refined", figure.refined},
                            {"sheetTable", figure.sheetTable}, {"column", figure.column}});
    }
    result["refinement"] = std::move(refinement);
    result["refinementNotes"] = run.session->Bridge().State().LastRefinementNotes;
  }
  result["state"] = State();
  return result;
}

json Workspace::FireOnSheet(const std::string& sheet, const std::string& eventName) {
  FormRun run = OpenRun(true);
  bool ok = !chosen_.empty();
  if (ok) run.session->ActivateDataSheet(sheet);
  ok = run.session->Fire(eventName) && ok;
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) {
    result["notes"] = SaveBooks(run, {&run.session->HostBook(), &run.session->DataBook()});
  }
  result["state"] = State();
  return result;
}

json Workspace::Rebuild(const std::string& sheet) {
  RefuseWhilePending("统计");
  json result = FireOnSheet(sheet, "cmdTiaoBanClick");
  if (result["ok"].get<bool>()) result["sheet"] = DivisionSheetOf(sheet).empty() ? sheet : DivisionSheetOf(sheet);
  return result;
}

json Workspace::Delete(const std::string& sheet) {
  RefuseWhilePending("删除");
  return FireOnSheet(sheet.empty() ? "数据表" : sheet, "cmdDelClick");
}

json Workspace::Template() {
  FormRun run = OpenRun(false);
  bool ok = run.session->Fire("cmdDengJiClick");
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) result["notes"] = SaveBooks(run, {&run.session->HostBook()});
  result["state"] = State();
  return result;
}

json Workspace::Help() {
  FormRun run = OpenRun(false);
  bool ok = run.session->Fire("cmdHelp");
  json result = Outcome(run, ok);
  if (!run.services->OpenedDocuments().empty()) result["document"] = "/api/help.doc";
  return result;
}

fs::path Workspace::DataBookPath(const std::string& book) {
  std::vector<std::string> books = ListBooks();
  if (std::find(books.begin(), books.end(), book) == books.end()) {
    throw WebError(404, kNotice, fmt::format("数据文件夹里没有 “{}” (no such data workbook)", book));
  }
  return folder_ / form::kDataFolderName / book;
}

fs::path Workspace::HelpDocumentPath() const { return folder_ / cli::kManualName; }

json Workspace::Upload(const std::string& name, const std::string& bytes) {
  if (std::optional<std::string> problem = UploadNameProblem(name)) {
    throw WebError(400, "不能上传", fmt::format("“{}”：{}", name, *problem));
  }
  if (bytes.size() > kMaxUploadBytes) {
    throw WebError(413, "不能上传", fmt::format("文件太大，最多 {} MB (file too large)", kMaxUploadBytes >> 20));
  }
  fs::path data = folder_ / form::kDataFolderName;
  std::error_code ec;
  fs::create_directories(data, ec);
  fs::path target = data / name;
  if (fs::exists(target, ec)) {
    throw WebError(409, "不能上传",
                   fmt::format("数据文件夹里已有 “{}”，没有覆盖它。请换个文件名。 (a file of that name exists)", name));
  }
  try {
    files::ReadWorkbookFromMemory(bytes.data(), bytes.size(), name);
  } catch (const host::RuntimeError& error) {
    throw WebError(400, "不能上传", fmt::format("“{}” 不是能读的工作簿 (not a readable workbook): {}", name,
                                                error.Description()));
  }
  fs::path temporary = data / (".upload-" + NewToken() + ".tmp");
  {
    std::ofstream file(temporary, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
      file.close();
      fs::remove(temporary, ec);
      throw WebError(500, "不能上传", fmt::format("无法写入 cannot write {}", data.string()));
    }
  }
  // link() never replaces an existing file, unlike rename().
  int linked = ::link(temporary.c_str(), target.c_str());
  int linkError = errno;
  fs::remove(temporary, ec);
  if (linked != 0) {
    throw WebError(linkError == EEXIST ? 409 : 500, "不能上传",
                   fmt::format("无法保存 “{}” (cannot store the file): {}", name, std::strerror(linkError)));
  }
  json result = {{"ok", true}, {"boxes", json::array()}, {"notes", json::array({"已上传 uploaded: " + name})}};
  result["state"] = State();
  return result;
}

}  // namespace fenban::web
