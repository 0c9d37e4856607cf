#include "cli/commands.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <ostream>

#include <fmt/format.h>

#include "app/host_folder.h"
#include "app/app_error.h"
#include "app/folder_guard.h"
#include "app/kept_copy.h"
#include "cli/refinement_summary.h"
#include "app/session.h"
#include "cli/table_printer.h"
#include "cli/terminal_services.h"
#include "app/workbook_history.h"
#include "files/csv_list.h"
#include "form/form_routines.h"
#include "form/option_controls.h"
#include "host/value.h"
#include "sheets/workbook_layout.h"

namespace fenban::cli {

namespace {

using Entry = sheets::EntryTemplate;
constexpr const char* kDataSheetName = "数据表";

void PrintSeed(const TerminalServices& services, std::ostream& out) {
  if (services.UsedSeed()) out << "随机种子 seed: " << *services.UsedSeed() << '\n';
}

void PrintSheets(host::Workbook& book, std::ostream& out) {
  std::string names;
  for (int32_t i = 1; i <= book.SheetCount(); ++i) {
    if (!names.empty()) names += ", ";
    names += book.SheetAt(i).Name();
  }
  out << fmt::format("“{}” 的工作表 sheets: {}\n", book.Name(), names);
}

void PrintSummaryOf(host::Workbook& book, const std::string& statisticsName, std::ostream& out) {
  host::Worksheet* statistics = book.FindSheet(statisticsName);
  if (statistics == nullptr) return;
  out << '\n';
  PrintStatisticsSummary(out, *statistics, TerminalWidth());
}

// An option control as the terminal names it: "班级数 classes".
std::string OptionLabel(const form::OptionControl& option) {
  return fmt::format("{} {}", option.label, option.english);
}

// Says where the form's rules replaced a given value ("--classes abc" becomes 10).
void ReportReplacedCounts(const app::CountOptions& counts, form::FormModel& form, std::ostream& err) {
  for (const form::OptionControl& option : form::kOptionControls) {
    auto given = counts.find(option.control);
    if (given == counts.end()) continue;
    const host::Value& kept = form.Text(std::string(option.control)).value;
    const std::string used = CellText(kept);
    const host::Value typed(given->second);
    if (used == given->second || (!given->second.empty() && typed.IsNumeric() && kept.IsNumeric() &&
                                  typed.ToDouble() == kept.ToDouble())) {
      continue;
    }
    err << fmt::format("{} {} 无效，按 {} 处理 (not valid; {} is used)\n", OptionLabel(option), given->second, used,
                       used);
  }
}

// A word as the shell reads it back: quoted when it holds anything but
// plain letters, digits and a few safe marks.
std::string ShellWord(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    return byte >= 0x80 || std::isalnum(byte) || std::strchr("-_./,:=+@%", ch) != nullptr;
  });
  if (plain) return word;
  std::string quoted = "'";
  for (char ch : word) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

// One line on what to do after a division.
void PrintWhatNext(const std::filesystem::path& folder, host::Workbook& data, int32_t number, std::ostream& out) {
  const std::string book = data.Name();
  const std::string dashes = !book.empty() && book.front() == '-' ? "-- " : "";
  out << fmt::format("\n下一步 next: 打开 open {}；调整班号后重新统计 after moving students run: fenban -C {} stats {}{} 分班表{}\n",
                     ShellWord((folder / form::kDataFolderName / book).string()), ShellWord(folder.string()), dashes,
                     ShellWord(book), number);
}

// The option values a division ran with: the counts on one line, the check boxes on the next.
void PrintOptionsInEffect(form::FormModel& form, std::ostream& out) {
  std::string counts, checks;
  for (const form::OptionControl& option : form::kOptionControls) {
    const std::string control(option.control);
    const bool isCount = option.kind == form::OptionKind::Count;
    const host::Value& value = isCount ? form.Text(control).value : form.Check(control).value;
    std::string& line = isCount ? counts : checks;
    line += fmt::format("{}{} {} {}", line.empty() ? "" : "，", option.brief, option.english,
                        isCount ? CellText(value) : (value.IsBoolean() && value.Bool() ? "是" : "否"));
  }
  out << "选项 options: " << counts << "\n  " << checks << '\n';
  if (!form.txtJunHeng.value.IsEmpty()) out << fmt::format("  均衡列 balance {}\n", CellText(form.txtJunHeng.value));
}

// Where a save put each workbook.
void PrintSaved(const std::vector<files::SaveResult>& saved, std::ostream& out) {
  for (const std::string& line : app::SaveNotes(saved)) out << line << '\n';
}

// The versions a save kept, with where to find them again.
void PrintKeptVersions(const app::Session& session, std::ostream& out) {
  if (session.KeptVersions().empty()) return;
  std::string list;
  for (const app::KeptVersion& kept : session.KeptVersions()) {
    if (!list.empty()) list += ", ";
    list += fmt::format("{} 版本 {}", kept.workbook.filename().string(), kept.number);
  }
  out << fmt::format("留作旧版本 kept: {} (fenban history BOOK)\n", list);
}

// How a teacher names the workbook to undo a save of it.
std::string BookArgument(const std::filesystem::path& workbook) {
  const std::string name = workbook.filename().string();
  return (!name.empty() && name.front() == '-' ? "-- " : "") + ShellWord(name);
}

// The workbook BOOK names for history and restore, or an AppError naming those there are.
std::filesystem::path VersionedWorkbook(const std::filesystem::path& folder, const std::string& book) {
  if (std::optional<std::filesystem::path> path = app::NamedWorkbook(folder, book)) return *path;
  std::string names = app::kHostBookName;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder / form::kDataFolderName, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(ec) && !app::IsHiddenOrLockFile(name)) names += ", " + name;
  }
  throw app::AppError(fmt::format("没有 “{}”，也没有它的旧版本 (no such workbook and no versions of it)。"
                             "可选 available: {}",
                             book, names));
}

// A command that saves: its services, the host folder held for it, its session.
struct SavingRun {
  SavingRun(const std::filesystem::path& folder, Terminal terminal, std::optional<uint64_t> seed)
      : services(terminal.out, terminal.err, seed), held(folder, terminal.err), session(folder, services) {}
  TerminalServices services;
  app::HeldHostFolder held;
  app::Session session;
};

// A command the form stopped with a box.
int NothingSaved(Terminal terminal) {
  terminal.err << "没有保存任何文件 nothing was saved.\n";
  return app::kExitMessage;
}

// Starts the form and chooses the data workbook: the common start of the
// commands that work on one.
bool OpenDataWorkbook(app::Session& session, const std::string& book) {
  if (!session.Start() || !session.SelectBook(book)) return false;
  app::RefuseToReplaceTheKeptCopy(session.DataBook());
  return true;
}

// A CSV list named as BOOK is read into a new workbook beside it, which is
// then the book divided; any other name is BOOK itself.
std::string BookFromCsv(const std::filesystem::path& folder, const std::string& book, std::ostream& out) {
  const std::filesystem::path dataFolder = folder / form::kDataFolderName;
  std::error_code ec;
  if (!files::IsCsvName(book) || !std::filesystem::is_regular_file(dataFolder / book, ec)) return book;
  const files::CsvConversion conversion = files::ConvertCsvList(dataFolder.string(), book);
  out << conversion.note << '\n';
  return conversion.workbookName;
}

}  // namespace

int RunInit(const app::InitOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  app::InitHostFolder(options, services, terminal.out);
  return app::kExitSuccess;
}

int RunList(const std::filesystem::path& folder, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  app::Session session(folder, services);
  if (!session.Start()) return app::kExitMessage;
  form::FormModel& form = session.Form();
  std::filesystem::path dataFolder = folder / form::kDataFolderName;
  terminal.out << "数据工作簿 data workbooks (" << dataFolder.string() << "):\n";
  for (int32_t i = 0; i < form.ltbBiao.ListCount(); ++i) {
    terminal.out << fmt::format("{:>5}  {}\n", i + 1, form.ltbBiao.List(i));
  }
  if (form.ltbBiao.ListCount() == 0) {
    std::error_code ec;
    bool exists = std::filesystem::is_directory(dataFolder, ec);
    terminal.out << (exists ? "  （空 empty）把学生名单放进这个文件夹 put the student lists here\n"
                            : "  （文件夹不存在 folder missing）\n");
  }
  TextTable options;
  for (const form::OptionControl& option : form::kOptionControls) {
    const std::string control(option.control);
    const host::Value& value =
        option.kind == form::OptionKind::Count ? form.Text(control).value : form.Check(control).value;
    options.push_back({OptionLabel(option), "--" + std::string(option.option), app::DescribeValue(value),
                       std::string(option.meaning)});
  }
  options.push_back({"均衡列 balance", "--balance",
                     form.txtJunHeng.value.IsEmpty() ? "无" : app::DescribeValue(form.txtJunHeng.value),
                     "优化时也使这些列的各值在各班人数相近 extra columns whose values the refinement spreads evenly"});
  for (auto& row : options) row[0] = "  " + row[0];
  terminal.out << "选项 options:\n" << FormatTable(options, true);
  const std::string totalColumn = form::TotalColumnOption(form);
  terminal.out << fmt::format("  总分列 total column (--total-column): {}\n",
                              totalColumn.empty() ? "总分（空着时 when empty）" : totalColumn);
  if (form.ltbBiao.ListCount() > 0) {
    terminal.out << "名单可以写文件名或序号 name a list by its file name or its number: fenban divide 1\n";
  }
  return app::kExitSuccess;
}

int RunDivide(const std::filesystem::path& folder, const app::DivideOptions& options, Terminal terminal) {
  SavingRun run(folder, terminal, options.seed);
  app::Session& session = run.session;
  const std::string book = BookFromCsv(folder, options.book, terminal.out);
  bool ok = OpenDataWorkbook(session, book) && session.ApplyCounts(options.counts);
  if (ok) ReportReplacedCounts(options.counts, session.Form(), terminal.err);
  ok = ok && session.ApplyChecks(options.checks) && session.ApplyBalance(options.balance) &&
       session.ApplyListOptions(options.list);
  if (ok && options.round) session.SetRounding(*options.round);
  ok = ok && session.Fire("cmdFenBanClick");
  PrintSeed(run.services, terminal.out);
  if (!ok) return NothingSaved(terminal);
  host::ModelWorkbook& data = session.DataBook();
  int32_t number = session.NewDivisionSheetNumber();
  std::string statisticsName = fmt::format("统计表{}", number);
  terminal.out << fmt::format("新工作表 new sheets: 分班表{}, {}\n", number, statisticsName);
  PrintOptionsInEffect(session.Form(), terminal.out);
  for (const std::string& note : session.Bridge().State().ListNotes) terminal.out << note << '\n';
  session.SetHistoryCommand("fenban divide");
  PrintSaved(session.Save({&session.HostBook(), &data}), terminal.out);
  PrintKeptVersions(session, terminal.out);
  PrintSummaryOf(data, statisticsName, terminal.out);
  PrintRefinementSummary(terminal.out, session.Bridge().State().LastRefinement,
                         session.Bridge().State().LastRefinementNotes);
  PrintWhatNext(folder, data, number, terminal.out);
  return app::kExitSuccess;
}

int RunStats(const std::filesystem::path& folder, const app::StatsOptions& options, Terminal terminal) {
  SavingRun run(folder, terminal, std::nullopt);
  app::Session& session = run.session;
  if (!OpenDataWorkbook(session, options.book)) return app::kExitMessage;
  session.ActivateDataSheet(options.sheet);
  const bool applied = session.ApplyCounts(options.counts) && session.ApplyBalance(options.balance);
  if (applied) ReportReplacedCounts(options.counts, session.Form(), terminal.err);
  if (!applied || !session.Fire("cmdTiaoBanClick")) return NothingSaved(terminal);
  host::ModelWorkbook& data = session.DataBook();
  std::string statisticsName = sheets::StatisticsSheetOf(options.sheet);
  if (statisticsName.empty()) statisticsName = data.ActiveSheet().Name();
  terminal.out << fmt::format("已重建 rebuilt: {}\n", statisticsName);
  session.SetHistoryCommand("fenban stats " + options.sheet);
  PrintSaved(session.Save({&session.HostBook(), &data}), terminal.out);
  PrintKeptVersions(session, terminal.out);
  PrintSummaryOf(data, statisticsName, terminal.out);
  return app::kExitSuccess;
}

int RunClean(const std::filesystem::path& folder, const app::CleanOptions& options, Terminal terminal) {
  SavingRun run(folder, terminal, std::nullopt);
  app::Session& session = run.session;
  if (!OpenDataWorkbook(session, options.book)) return app::kExitMessage;
  session.ActivateDataSheet(options.sheet.empty() ? kDataSheetName : options.sheet);
  if (!session.Fire("cmdDelClick")) return NothingSaved(terminal);
  host::ModelWorkbook& data = session.DataBook();
  PrintSheets(data, terminal.out);
  session.SetHistoryCommand("fenban clean " + (options.sheet.empty() ? kDataSheetName : options.sheet));
  PrintSaved(session.Save({&session.HostBook(), &data}), terminal.out);
  PrintKeptVersions(session, terminal.out);
  for (const app::KeptVersion& kept : session.KeptVersions()) {
    if (kept.workbook == folder / app::kHostBookName) continue;
    terminal.out << fmt::format("删错了可用 fenban restore {} 恢复 (deleted by mistake? undo with: fenban restore {})\n",
                                BookArgument(kept.workbook), BookArgument(kept.workbook));
  }
  return app::kExitSuccess;
}

int RunTemplate(const std::filesystem::path& folder, const app::TemplateOptions& options, Terminal terminal) {
  SavingRun run(folder, terminal, std::nullopt);
  app::Session& session = run.session;
  if (options.subjects) {
    host::Worksheet* entry = session.HostBook().FindSheet(Entry::kSheetName);
    if (entry == nullptr) throw app::AppError(fmt::format("{} 里没有 “登记表” (no entry template sheet)", app::kHostBookName));
    const std::vector<std::string>& subjects = *options.subjects;
    for (int32_t row = Entry::kFirstSubjectRow; row <= Entry::kLastSubjectRow; ++row) {
      size_t index = static_cast<size_t>(row - Entry::kFirstSubjectRow);
      entry->SetCellValue(row, Entry::kSubjectColumn, index < subjects.size() ? host::Value(subjects[index]) : host::Value());
    }
  }
  if (!session.Fire("cmdDengJiClick")) return NothingSaved(terminal);
  host::Worksheet* entry = session.HostBook().FindSheet(Entry::kSheetName);
  if (entry != nullptr) {
    std::string names;
    for (int32_t row = Entry::kFirstSubjectRow; row <= Entry::kLastSubjectRow; ++row) {
      std::string name = CellText(entry->CellValue(row, Entry::kSubjectColumn));
      if (name.empty()) continue;
      if (!names.empty()) names += " ";
      names += name;
    }
    terminal.out << "登记的学科 subjects: " << (names.empty() ? "（无 none）" : names) << '\n';
    terminal.out << "总分化为整数 round totals: " << app::DescribeValue(entry->CellValue(Entry::kRoundingRow, Entry::kRoundingColumn)) << '\n';
  }
  session.SetHistoryCommand("fenban template");
  PrintSaved(session.Save({&session.HostBook()}), terminal.out);
  PrintKeptVersions(session, terminal.out);
  return app::kExitSuccess;
}

int RunHistory(const std::filesystem::path& folder, const std::string& book, Terminal terminal) {
  const std::filesystem::path workbook = VersionedWorkbook(folder, book);
  const std::vector<app::WorkbookVersion> versions = app::ListVersions(workbook);
  terminal.out << fmt::format("“{}” 的旧版本 versions kept ({}):\n", workbook.filename().string(),
                              app::HistoryFolderOf(workbook).string());
  if (versions.empty()) {
    terminal.out << "  （无 none）还没有命令替换过这个文件 (no command has replaced this file yet)\n";
    return app::kExitSuccess;
  }
  TextTable rows = {{"  编号 no.", "保存时间 kept at", "之后的命令 replaced by", "工作表 sheets"}};
  for (const app::WorkbookVersion& version : versions) {
    std::string sheets;
    for (const std::string& sheet : version.sheets) sheets += (sheets.empty() ? "" : ", ") + sheet;
    if (app::SameAsCurrent(version, workbook)) sheets += "  （与现在的文件相同 same as the file now）";
    rows.push_back({fmt::format("  {}", version.number), version.time, version.command, sheets});
  }
  terminal.out << FormatTable(rows, true);
  terminal.out << fmt::format("恢复 restore: fenban restore {} N（不写 N 时恢复最新的 without N: the newest）\n",
                              BookArgument(workbook));
  return app::kExitSuccess;
}

int RunRestore(const std::filesystem::path& folder, const app::RestoreOptions& options, Terminal terminal) {
  const app::HeldHostFolder held(folder, terminal.err);
  const std::filesystem::path workbook = VersionedWorkbook(folder, options.book);
  const app::RestoreResult result = app::RestoreVersion(workbook, options.version, "fenban restore");
  const app::WorkbookVersion& version = result.restored;
  if (result.unchanged) {
    terminal.out << fmt::format("“{}” 已经是版本 {}，没有改动 (the file already is version {}; nothing changed)\n",
                                workbook.filename().string(), version.number, version.number);
    return app::kExitSuccess;
  }
  std::string sheets;
  for (const std::string& sheet : version.sheets) sheets += (sheets.empty() ? "" : ", ") + sheet;
  terminal.out << fmt::format("已恢复 restored: {}\n  版本 version {}（{}，之后的命令 replaced by: {}）\n  工作表 sheets: {}\n",
                              workbook.string(), version.number, version.time, version.command, sheets);
  if (result.keptAs) {
    terminal.out << fmt::format("恢复前的文件已留作版本 {}；撤销这次恢复 to undo this restore: fenban restore {} {}\n",
                                *result.keptAs, BookArgument(workbook), *result.keptAs);
  }
  return app::kExitSuccess;
}

int RunHelp(const std::filesystem::path& folder, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  app::Session session(folder, services);
  if (app::RefreshManual(session.Folder())) {
    terminal.out << "help.doc 已换成本版本的说明 (updated to this version's guide)\n";
  }
  return session.Fire("cmdHelp") ? app::kExitSuccess : app::kExitMessage;
}

}  // namespace fenban::cli
