#include "web/workspace.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/host_folder.h"
#include "app/kept_copy.h"
#include "app/workbook_history.h"
#include "files/csv_list.h"
#include "files/temporary_files.h"
#include "files/workbook_files.h"
#include "form/form_routines.h"
#include "form/option_controls.h"
#include "host/constants.h"
#include "host/display_text.h"
#include "host/errors.h"
#include "sheets/workbook_layout.h"
#include "web/file_rules.h"
#include "web/name_text.h"
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

// Where the form's rules replaced a typed count ("abc" becomes 10): the
// note the terminal prints, or "" when the value was kept.
std::string CorrectionNote(std::string_view meaning, const std::string& typed, const host::Value& kept) {
  const std::string used = kept.IsEmpty() ? "" : host::DisplayText(kept, "General");
  const host::Value typedValue(typed);
  if (used == typed) return "";
  if (!typed.empty() && typedValue.IsNumeric() && kept.IsNumeric() && typedValue.ToDouble() == kept.ToDouble()) {
    return "";
  }
  return fmt::format("{} {} 无效，按 {} 处理", meaning, typed.empty() ? "（空）" : typed, used.empty() ? "（空）" : used);
}

std::string BaseField(const json& object, const char* name) {
  auto found = object.find(name);
  if (found == object.end() || !found->is_string()) {
    throw WebError(400, kNotice, fmt::format("请求的 base 缺少 “{}”，请重新读取页面", name));
  }
  return found->get<std::string>();
}

}  // namespace

json BaseJson(const ViewBase& base) {
  return {{"book", base.book}, {"host", base.host}, {"data", base.data}, {"edit", base.edit}};
}

ViewBase BaseOf(const json& body) {
  auto found = body.find("base");
  if (found == body.end() || !found->is_object()) {
    throw WebError(400, kNotice, "请求缺少页面所示文件的版本 base，请重新读取页面");
  }
  return {BaseField(*found, "book"), BaseField(*found, "host"), BaseField(*found, "data"), BaseField(*found, "edit")};
}

Workspace::Workspace(fs::path folder) : folder_(std::move(folder)), serverMark_(NewToken().substr(0, 8)) {
  OpenRun(false);  // a folder without a readable fenban.xlsx fails here, at start
}

ReadVersions Workspace::DiskVersions() const {
  ReadVersions versions;
  versions.host = VersionOf(folder_ / app::kHostBookName);
  if (!chosen_.empty()) versions.data = VersionOf(folder_ / form::kDataFolderName / chosen_);
  return versions;
}

FormRun Workspace::OpenRun(bool selectBook) {
  FormRun run;
  // Taken before reading: a file replaced in between then shows as changed.
  run.read = DiskVersions();
  if (!selectBook) run.read.data = FileVersion();
  run.services = std::make_unique<app::DesktopServices>();
  run.services->SetProgress(&progress_);
  run.session = std::make_unique<app::Session>(folder_, *run.services,
                                               [this](const std::string& path) { return cache_.Copy(path); });
  run.session->Start();
  if (selectBook && !chosen_.empty() && run.session->SelectBook(chosen_)) {
    app::RefuseToReplaceTheKeptCopy(run.session->DataBook());
  }
  return run;
}

std::string Workspace::EditMark() const { return fmt::format("{}-{}", serverMark_, edits_); }

void Workspace::Edited() { ++edits_; }

ViewBase Workspace::CurrentBase() const {
  ReadVersions versions = pending_ ? pending_->run.read : DiskVersions();
  return {chosen_.empty() ? "" : ShownName(chosen_), versions.host.Text(), versions.data.Text(), EditMark()};
}

std::vector<std::string> Workspace::MovesText() const {
  std::vector<std::string> lines;
  if (!pending_) return lines;
  for (const MoveStep& step : pending_->done) {
    for (const StudentMove& move : step) {
      lines.push_back(fmt::format("{}：{}班 → {}班{}", move.who, host::DisplayText(move.from, "General"),
                                  host::DisplayText(move.to, "General"),
                                  move.warning.empty() ? "" : "（" + move.warning + "）"));
    }
  }
  return lines;
}

void Workspace::RequireCurrent(const ViewBase& base, bool movesToo) {
  std::vector<std::string> changed;
  const ReadVersions disk = DiskVersions();
  const std::string shownBook = chosen_.empty() ? "" : ShownName(chosen_);
  const bool staleMoves = pending_ && !(pending_->run.read == disk);
  if (base.book != shownBook) {
    changed.push_back(shownBook.empty() ? "现在没有选用数据工作簿（另一个页面改了选择）"
                                        : fmt::format("现在选用的是 “{}”（另一个页面改了选择）", shownBook));
  } else {
    const FileVersion host = pending_ ? pending_->run.read.host : disk.host;
    const FileVersion data = pending_ ? pending_->run.read.data : disk.data;
    if (staleMoves && !(pending_->run.read.host == disk.host)) {
      changed.push_back(fmt::format("{}（选项、登记表）在调班之后被别的程序改动了", app::kHostBookName));
    } else if (base.host != host.Text()) {
      changed.push_back(fmt::format("{}（选项、登记表）在页面读取之后被改动了", app::kHostBookName));
    }
    if (staleMoves && !(pending_->run.read.data == disk.data)) {
      changed.push_back(fmt::format("“{}” 在调班之后被别的程序改动了（终端里的分班、统计、删除，或在表格程序里保存）",
                                    shownBook));
    } else if (base.data != data.Text()) {
      changed.push_back(fmt::format("“{}” 在页面读取之后被改动了（终端里的分班、统计、删除，另一个页面，或在表格程序里保存）",
                                    shownBook));
    }
  }
  if (movesToo && changed.empty() && base.edit != EditMark()) {
    changed.push_back("另一个页面调了班，或撤销、保存、放弃了调班");
  }
  if (changed.empty()) return;
  std::string text = "没有执行，没有写任何文件：";
  for (const std::string& line : changed) text += "\n· " + line;
  json moves = json::array();
  if (staleMoves) {
    text += "\n以下调班还没有保存，重新读取后请重做：";
    for (const std::string& line : MovesText()) {
      text += "\n  " + line;
      moves.push_back(line);
    }
  }
  text += "\n请按“重新读取”看现在的文件。";
  throw WebError(409, kChangedTitle, text, {{"changed", changed}, {"moves", std::move(moves)}, {"reload", true}});
}

void Workspace::RequireUnchangedSince(const ReadVersions& read) {
  const ReadVersions disk = DiskVersions();
  std::vector<std::string> changed;
  if (!(read.host == disk.host)) changed.push_back(app::kHostBookName);
  if (read.data.exists && !(read.data == disk.data)) changed.push_back(ShownName(chosen_));
  if (changed.empty()) return;
  std::string names;
  for (const std::string& name : changed) names += (names.empty() ? "" : "、") + name;
  throw WebError(409, kChangedTitle,
                 fmt::format("没有保存：{} 在这个命令读取之后被别的程序改动了。请按“重新读取”看现在的文件。", names),
                 {{"changed", changed}, {"moves", json::array()}, {"reload", true}});
}

json Workspace::Reload() {
  if (pending_ && !(pending_->run.read == DiskVersions())) {
    pending_.reset();  // made on files that are gone; the page listed them
    Edited();
  }
  json result = {{"ok", true}, {"boxes", json::array()}, {"notes", json::array()}};
  result["state"] = State();
  return result;
}

std::string Workspace::RawBookName(const std::string& shown) {
  std::vector<std::string> books = ListBooks();
  if (std::find(books.begin(), books.end(), shown) != books.end()) return shown;
  for (const std::string& raw : books) {
    if (ShownName(raw) == shown) return raw;
  }
  return shown;
}

void Workspace::FollowSavedCopy(const std::vector<files::SaveResult>& saved, const host::ModelWorkbook& data) {
  fs::path original = fs::path(data.Path()) / data.Name();
  for (const files::SaveResult& result : saved) {
    if (!result.besideOriginal) continue;
    // The copy goes into the folder of the original, under its own name.
    if (fs::path(result.path).parent_path().lexically_normal() == original.parent_path().lexically_normal()) {
      chosen_ = fs::path(result.path).filename().string();
    }
  }
}

json Workspace::Outcome(const FormRun& run, bool ok) {
  json boxes = json::array();
  bool refused = false;  // a box other than a notice ended the command
  for (const app::MessageBox& box : run.services->Boxes()) {
    boxes.push_back({{"title", box.title}, {"text", box.text}, {"style", box.style}});
    refused = refused || box.style != host::kMsgInformation;
  }
  return {{"ok", ok && !refused}, {"boxes", std::move(boxes)}, {"notes", json::array()}};
}

std::vector<std::string> Workspace::SaveBooks(FormRun& run, const std::vector<host::ModelWorkbook*>& books) {
  RequireUnchangedSince(run.read);
  // What was written in place of each file, kept as it is without reading it back.
  struct Written {
    fs::path file;
    FileVersion version;
    const host::ModelWorkbook* book;
  };
  std::vector<Written> written;
  auto remember = [&written](const files::PreparedSave& save) {
    if (!save.result.besideOriginal) written.push_back({save.target, VersionOf(save.temporary.Path()), save.book});
  };
  const std::vector<files::SaveResult> saved = run.session->Save(books, remember);
  for (host::ModelWorkbook* book : books) {
    if (book != &run.session->HostBook()) FollowSavedCopy(saved, *book);
  }
  // The run ends with its save: the workbooks written go to the cache as they are, not copied.
  for (const Written& file : written) cache_.Keep(file.file, file.version, run.session->App().TakeWorkbook(*file.book));
  return app::SaveNotes(saved);
}

void Workspace::RefuseWhilePending(const std::string& what) {
  if (!pending_) return;
  if (pending_->done.empty()) {  // every move was undone: nothing to lose
    pending_.reset();
    Edited();
    return;
  }
  throw WebError(409, kNotice,
                 fmt::format("“{}” 有尚未保存的调班。请先保存或放弃这些调班，再{}。 "
                             "(save or discard the moved students first)",
                             pending_->sheet, what));
}

std::vector<std::string> Workspace::ListBooks() {
  app::DesktopServices services;
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
  ViewBase base = CurrentBase();  // before reading, as every run takes it
  FormRun run = OpenRun(false);
  form::FormModel& form = run.session->Form();
  json options = json::object();
  json controls = json::array();
  for (const form::OptionControl& option : form::kOptionControls) {
    const std::string control(option.control);
    const bool isCount = option.kind == form::OptionKind::Count;
    options[control] = ControlValue(isCount ? form.Text(control).value : form.Check(control).value);
    controls.push_back({{"control", control}, {"kind", isCount ? "count" : "check"}, {"label", option.label}});
  }
  // The balance columns: a text box outside the table of the eight options.
  options["txtJunHeng"] = ControlValue(form.txtJunHeng.value);
  controls.push_back({{"control", "txtJunHeng"}, {"kind", "text"}, {"label", "均衡列"}});
  // The total column's option is a text of its own, outside the table of counts and check boxes.
  options["txtZongFenLie"] = ControlValue(form.txtZongFenLie.value);
  json subjects = json::array();
  std::string round;
  using Entry = sheets::EntryTemplate;
  if (host::Worksheet* entry = run.session->HostBook().FindSheet(Entry::kSheetName)) {
    for (int32_t row = Entry::kFirstSubjectRow; row <= Entry::kLastSubjectRow; ++row) {
      const host::Value& name = entry->CellValue(row, Entry::kSubjectColumn);
      if (!name.IsEmpty()) subjects.push_back(name.ToText());
    }
    const host::Value& rounding = entry->CellValue(Entry::kRoundingRow, Entry::kRoundingColumn);
    round = rounding.IsText() ? rounding.ToText() : "";
  }
  json books = json::array();
  for (const std::string& name : form.ltbBiao.Items()) books.push_back(ShownName(name));
  if (!chosen_.empty() && std::find(form.ltbBiao.Items().begin(), form.ltbBiao.Items().end(), chosen_) ==
                              form.ltbBiao.Items().end()) {
    chosen_.clear();  // the file is gone
    base.book = "";
    base.data = FileVersion().Text();
  }
  json sheets = json::array();
  if (pending_) {
    host::ModelWorkbook& data = pending_->run.session->DataBook();
    for (int32_t i = 1; i <= data.SheetCount(); ++i) sheets.push_back(data.SheetAt(i).Name());
  } else if (!chosen_.empty()) {
    try {
      host::ModelWorkbook& data = cache_.Current(folder_ / form::kDataFolderName / chosen_);
      for (int32_t i = 1; i <= data.SheetCount(); ++i) sheets.push_back(data.SheetAt(i).Name());
    } catch (const host::RuntimeError&) {
      // Shown as no sheets; choosing the workbook again reports why.
    }
  }
  return {{"folder", ShownName(folder_.string())},
          {"books", std::move(books)},
          {"book", chosen_.empty() ? json(nullptr) : json(ShownName(chosen_))},
          {"sheets", std::move(sheets)},
          {"options", std::move(options)},
          {"controls", std::move(controls)},
          {"round", round},
          {"subjects", std::move(subjects)},
          {"pending", PendingJson()},
          {"base", BaseJson(base)}};
}

json Workspace::Select(const std::string& shownBook) {
  std::string book = RawBookName(shownBook);
  if (pending_ && book != pending_->book) RefuseWhilePending("选择别的工作簿");
  // A CSV list put into 数据/ by hand is read into a new workbook, which is chosen.
  std::string converted;
  if (files::IsCsvName(book) && fs::is_regular_file(DataBookPath(shownBook))) {
    try {
      const files::CsvConversion conversion =
          files::ConvertCsvList((folder_ / form::kDataFolderName).string(), book);
      converted = conversion.note;
      book = conversion.workbookName;
    } catch (const host::RuntimeError& error) {
      throw WebError(400, kNotice, error.Description());
    }
  }
  FormRun run = OpenRun(false);
  bool ok = run.session->SelectBook(book);
  // As the terminal does: an .xls list whose results went to its
  // "(fenban).xlsx" copy is not chosen again over that copy.
  if (ok) app::RefuseToReplaceTheKeptCopy(run.session->DataBook());
  if (ok) chosen_ = book;
  json result = Outcome(run, ok);
  if (!converted.empty()) result["notes"].push_back(converted);
  result["state"] = State();
  return result;
}

json Workspace::SetOption(const std::string& control, const json& value) {
  RefuseWhilePending("修改选项");
  FormRun run = OpenRun(true);
  bool ok = false;
  std::string correction;
  if (control == "round") {
    if (!value.is_boolean()) throw WebError(400, kNotice, "“总分化为整数”应是 是 或 否 (expected true or false)");
    run.session->SetRounding(value.get<bool>());
    ok = true;
  } else if (const form::OptionControl* option = form::FindOptionControl(control)) {
    if (option->kind == form::OptionKind::Count) {
      const std::string entry = EntryText(value);
      ok = run.session->ApplyCounts({{control, entry}});
      if (ok) correction = CorrectionNote(option->label, entry, run.session->Form().Text(control).value);
    } else {
      if (!value.is_boolean()) throw WebError(400, kNotice, "勾选框的值应是 true 或 false (expected true or false)");
      ok = run.session->ApplyChecks({{control, value.get<bool>()}});
    }
  } else if (control == "txtJunHeng") {
    ok = run.session->ApplyBalance(EntryText(value));
  } else if (control == "txtZongFenLie") {
    app::ListOptions list;
    list.totalColumn = EntryText(value);
    ok = run.session->ApplyListOptions(list);
  } else {
    throw WebError(400, kNotice, fmt::format("没有这个选项 (unknown option): {}", control));
  }
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) {
    result["notes"] = SaveBooks(run, {&run.session->HostBook()});
    if (!correction.empty()) {
      result["notes"].push_back(correction);
      result["corrected"] = {{"control", control}, {"text", correction}};
    }
  }
  result["state"] = State();
  return result;
}

json Workspace::Divide(const app::ListOptions& list) {
  RefuseWhilePending("分班");
  FormRun run = OpenRun(true);
  // The total column is the stored option's; only this division's boxes come with it.
  app::ListOptions thisDivision = list;
  thisDivision.totalColumn.reset();
  bool ok = run.session->ApplyListOptions(thisDivision) && run.session->Fire("cmdFenBanClick");
  json result = Outcome(run, ok);
  const form::ModuleState& state = run.session->Bridge().State();
  if (state.AskedHeaderRow != 0) result["askHeaderRow"] = state.AskedHeaderRow;
  if (result["ok"].get<bool>()) {
    int32_t number = run.session->NewDivisionSheetNumber();
    result["notes"] = SaveBooks(run, {&run.session->HostBook(), &run.session->DataBook()});
    for (const std::string& note : state.ListNotes) result["notes"].push_back(note);
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

json Workspace::DeleteDivision(const std::string& sheet) {
  RefuseWhilePending("删除");
  const std::string division = DivisionSheetOf(sheet);
  if (division.empty()) throw WebError(400, kNotice, fmt::format("“{}” 不是分班表", sheet));
  FormRun run = OpenRun(true);
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  if (!run.services->Boxes().empty()) return Outcome(run, false);
  host::ModelWorkbook& data = run.session->DataBook();
  json removed = json::array();
  for (const std::string& name : {division, StatisticsSheetOf(division)}) {
    if (host::Worksheet* found = data.FindSheet(name)) {
      found->Delete();
      removed.push_back(name);
    }
  }
  if (removed.empty()) throw WebError(404, kNotice, fmt::format("没有工作表 “{}”", division));
  run.session->SetHistoryCommand("删除" + division);
  json result = Outcome(run, true);
  result["notes"] = SaveBooks(run, {&data});
  result["removed"] = removed;
  result["state"] = State();
  return result;
}

json Workspace::Template() {
  RefuseWhilePending("重建登记表");
  FormRun run = OpenRun(false);
  bool ok = run.session->Fire("cmdDengJiClick");
  json result = Outcome(run, ok);
  if (result["ok"].get<bool>()) result["notes"] = SaveBooks(run, {&run.session->HostBook()});
  result["state"] = State();
  return result;
}

json Workspace::Help() {
  app::RefreshManual(folder_);
  FormRun run = OpenRun(false);
  bool ok = run.session->Fire("cmdHelp");
  json result = Outcome(run, ok);
  if (!run.services->OpenedDocuments().empty()) result["document"] = "/api/help.doc";
  return result;
}

fs::path Workspace::DataBookPath(const std::string& shownBook) {
  const std::string book = RawBookName(shownBook);
  std::vector<std::string> books = ListBooks();
  if (std::find(books.begin(), books.end(), book) == books.end()) {
    throw WebError(404, kNotice, fmt::format("数据文件夹里没有 “{}”", ShownName(book)));
  }
  return folder_ / form::kDataFolderName / book;
}

fs::path Workspace::HelpDocumentPath() const { return folder_ / form::kHelpDocumentName; }

namespace {

// The bytes in a new temporary file in `folder`.
files::TemporaryFile WrittenTemporary(const fs::path& folder, const std::string& bytes) {
  files::TemporaryFile temporary(folder.string(), 0644);
  std::ofstream file(temporary.Path(), std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.flush();
  if (!file) throw WebError(500, "不能上传", fmt::format("无法写入 cannot write {}", folder.string()));
  return temporary;
}

}  // namespace

json Workspace::Upload(const std::string& givenName, const std::string& bytes, bool replace) {
  // A name the page can show and send back: bytes that are not UTF-8 become "_".
  const std::string name = Utf8Name(givenName);
  if (std::optional<std::string> problem = UploadNameProblem(name)) {
    throw WebError(400, "不能上传", fmt::format("“{}”：{}", name, *problem));
  }
  if (bytes.size() > kMaxUploadBytes) {
    throw WebError(413, "不能上传", fmt::format("文件太大，最多 {} MB (file too large)", kMaxUploadBytes >> 20));
  }
  fs::path data = folder_ / form::kDataFolderName;
  std::error_code ec;
  fs::create_directories(data, ec);
  json notes = json::array();
  std::string book = name;
  if (files::IsCsvName(name)) {
    try {
      const files::CsvConversion conversion = files::ConvertCsvBytes(bytes, data.string(), name);
      book = conversion.workbookName;
      notes.push_back(conversion.note);
    } catch (const host::RuntimeError& error) {
      throw WebError(400, "不能上传", fmt::format("“{}” 不是能读的 CSV 名单: {}", name, error.Description()));
    }
  } else {
    try {
      files::ReadWorkbookFromMemory(bytes.data(), bytes.size(), name);
    } catch (const host::RuntimeError& error) {
      throw WebError(400, "不能上传", fmt::format("“{}” 不是能读的工作簿 (not a readable workbook): {}", name,
                                                  error.Description()));
    }
    const fs::path target = data / name;
    if (fs::exists(target, ec)) {
      if (!replace) {
        return {{"ok", false},
                {"ask", "replace"},
                {"book", name},
                {"text", fmt::format("数据文件夹里已有“{}”。要用上传的文件替换它吗？原来的文件会留作旧版本，可以恢复。", name)},
                {"state", State()}};
      }
      RefuseWhilePending("替换名单");
      files::TemporaryFile temporary = WrittenTemporary(data, bytes);
      try {
        const app::KeptVersion kept = app::ReplaceKeepingVersion(target, temporary, "上传替换");
        notes.push_back(fmt::format("已用上传的文件替换“{}”，原来的文件留作版本 {}。", name, kept.number));
      } catch (const app::AppError& error) {
        throw WebError(409, "不能上传", error.what());
      }
    } else {
      files::TemporaryFile temporary = WrittenTemporary(data, bytes);
      // link() never replaces an existing file, unlike rename().
      if (::link(temporary.Path().c_str(), target.c_str()) != 0) {
        const int linkError = errno;
        throw WebError(linkError == EEXIST ? 409 : 500, "不能上传",
                       fmt::format("无法保存 “{}” (cannot store the file): {}", name, std::strerror(linkError)));
      }
      notes.push_back("已上传 uploaded: " + name);
    }
  }
  if (name != givenName) notes.push_back("原来的文件名不是 UTF-8 文字，已改名为 “" + name + "”");
  // The new list is the one chosen, unless moves on another wait to be saved.
  json result = pending_ ? json{{"ok", true}, {"boxes", json::array()}} : Select(book);
  result["notes"] = notes;
  result["book"] = book;
  result["state"] = State();
  return result;
}

json Workspace::Remove(const std::string& shownBook) {
  const fs::path workbook = DataBookPath(shownBook);
  const std::string book = RawBookName(shownBook);
  if (pending_ && pending_->book == book) RefuseWhilePending("移除名单");
  app::KeptVersion kept;
  try {
    kept = app::RemoveKeepingVersion(workbook, "移除名单");
  } catch (const app::AppError& error) {
    throw WebError(409, "不能移除", error.what());
  }
  if (chosen_ == book) chosen_.clear();
  json notes = json::array({fmt::format("已从数据文件夹移除“{}”，它留作版本 {}（恢复：fenban restore {}）。", ShownName(book),
                                        kept.number, ShownName(book))});
  return {{"ok", true}, {"boxes", json::array()}, {"notes", std::move(notes)}, {"state", State()}};
}

}  // namespace fenban::web
