#include "cli/commands.h"

#include <ostream>

#include <fmt/format.h>

#include "cli/cli_error.h"
#include "cli/folder_guard.h"
#include "cli/kept_copy.h"
#include "cli/refinement_summary.h"
#include "cli/session.h"
#include "cli/table_printer.h"
#include "cli/terminal_services.h"
#include "form/form_routines.h"
#include "host/value.h"

namespace fenban::cli {

namespace {

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

// The statistics sheet that belongs with a sheet of a pair ("分班表3" or "统计表3").
std::string StatisticsSheetFor(const std::string& sheetName) {
  std::string kind = host::LeftChars(sheetName, 2);
  size_t length = host::CharCount(sheetName);
  if (length <= 3) return "";
  std::string number = host::RightChars(sheetName, length - 3);
  if (kind == "分班" || kind == "统计") return "统计表" + number;
  return "";
}

void PrintSummaryOf(host::Workbook& book, const std::string& statisticsName, std::ostream& out) {
  host::Worksheet* statistics = book.FindSheet(statisticsName);
  if (statistics == nullptr) return;
  out << '\n';
  PrintStatisticsSummary(out, *statistics);
}

// Starts the form and chooses the data workbook: the common start of the
// commands that work on one.
bool OpenDataWorkbook(Session& session, const std::string& book) {
  if (!session.Start() || !session.SelectBook(book)) return false;
  RefuseToReplaceTheKeptCopy(session.DataBook());
  return true;
}

}  // namespace

int RunInit(const InitOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  InitHostFolder(options, services, terminal.out);
  return kExitSuccess;
}

int RunList(const std::filesystem::path& folder, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  Session session(folder, services);
  if (!session.Start()) return kExitMessage;
  form::FormModel& form = session.Form();
  std::filesystem::path dataFolder = folder / form::kDataFolderName;
  terminal.out << "数据工作簿 data workbooks (" << dataFolder.string() << "):\n";
  for (int32_t i = 0; i < form.ltbBiao.ListCount(); ++i) {
    terminal.out << fmt::format("{:>5}  {}\n", i, form.ltbBiao.List(i));
  }
  if (form.ltbBiao.ListCount() == 0) {
    std::error_code ec;
    bool exists = std::filesystem::is_directory(dataFolder, ec);
    terminal.out << (exists ? "  （空 empty）把学生名单放进这个文件夹 put the student lists here\n"
                            : "  （文件夹不存在 folder missing）\n");
  }
  TextTable options = {
      {"班级数 classes", "txtFenBan", DescribeValue(form.txtFenBan.value)},
      {"优秀人数 excellent", "txtYouXiu", DescribeValue(form.txtYouXiu.value)},
      {"及格人数 pass", "txtJiGe", DescribeValue(form.txtJiGe.value)},
      {"前N名 top", "txtNMing", DescribeValue(form.txtNMing.value)},
      {"按性别均衡 by sex", "chbXingBie", DescribeValue(form.chbXingBie.value)},
      {"按住校均衡 by boarding", "chbZuXiao", DescribeValue(form.chbZuXiao.value)},
      {"按应届均衡 by current", "chbYingJie", DescribeValue(form.chbYingJie.value)},
      {"优化均衡 refine", "chbYouHua", DescribeValue(form.chbYouHua.value)},
  };
  for (auto& row : options) row[0] = "  " + row[0];
  terminal.out << "选项 options:\n" << FormatTable(options, true);
  return kExitSuccess;
}

int RunDivide(const std::filesystem::path& folder, const DivideOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, options.seed);
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, terminal.err);
  Session session(folder, services);
  bool ok = OpenDataWorkbook(session, options.book) && session.ApplyCounts(options.counts) &&
            session.ApplyChecks(options.checks);
  if (ok && options.round) session.SetRounding(*options.round);
  ok = ok && session.Fire("cmdFenBanClick");
  PrintSeed(services, terminal.out);
  if (!ok) {
    terminal.err << "没有保存任何文件 nothing was saved.\n";
    return kExitMessage;
  }
  host::ModelWorkbook& data = session.DataBook();
  int32_t number = session.Bridge().State().NextSheetNo - 1;
  std::string statisticsName = fmt::format("统计表{}", number);
  terminal.out << fmt::format("新工作表 new sheets: 分班表{}, {}\n", number, statisticsName);
  session.Save({&session.HostBook(), &data}, terminal.out);
  PrintSummaryOf(data, statisticsName, terminal.out);
  PrintRefinementSummary(terminal.out, session.Bridge().State().LastRefinement);
  return kExitSuccess;
}

int RunStats(const std::filesystem::path& folder, const StatsOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, terminal.err);
  Session session(folder, services);
  if (!OpenDataWorkbook(session, options.book)) return kExitMessage;
  session.ActivateDataSheet(options.sheet);
  if (!session.ApplyCounts(options.counts) || !session.Fire("cmdTiaoBanClick")) {
    terminal.err << "没有保存任何文件 nothing was saved.\n";
    return kExitMessage;
  }
  host::ModelWorkbook& data = session.DataBook();
  std::string statisticsName = StatisticsSheetFor(options.sheet);
  if (statisticsName.empty()) statisticsName = data.ActiveSheet().Name();
  terminal.out << fmt::format("已重建 rebuilt: {}\n", statisticsName);
  session.Save({&session.HostBook(), &data}, terminal.out);
  PrintSummaryOf(data, statisticsName, terminal.out);
  return kExitSuccess;
}

int RunClean(const std::filesystem::path& folder, const CleanOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, terminal.err);
  Session session(folder, services);
  if (!OpenDataWorkbook(session, options.book)) return kExitMessage;
  session.ActivateDataSheet(options.sheet.empty() ? kDataSheetName : options.sheet);
  if (!session.Fire("cmdDelClick")) {
    terminal.err << "没有保存任何文件 nothing was saved.\n";
    return kExitMessage;
  }
  host::ModelWorkbook& data = session.DataBook();
  PrintSheets(data, terminal.out);
  session.Save({&session.HostBook(), &data}, terminal.out);
  return kExitSuccess;
}

int RunTemplate(const std::filesystem::path& folder, const TemplateOptions& options, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  const HostFolderLock lock(folder);
  TidyHostFolder(folder, terminal.err);
  Session session(folder, services);
  if (options.subjects) {
    host::Worksheet* entry = session.HostBook().FindSheet("登记表");
    if (entry == nullptr) throw CliError(fmt::format("{} 里没有 “登记表” (no entry template sheet)", kHostBookName));
    const std::vector<std::string>& subjects = *options.subjects;
    for (int32_t row = 2; row <= 20; ++row) {
      size_t index = static_cast<size_t>(row - 2);
      entry->SetCellValue(row, 1, index < subjects.size() ? host::Value(subjects[index]) : host::Value());
    }
  }
  if (!session.Fire("cmdDengJiClick")) {
    terminal.err << "没有保存任何文件 nothing was saved.\n";
    return kExitMessage;
  }
  host::Worksheet* entry = session.HostBook().FindSheet("登记表");
  if (entry != nullptr) {
    std::string names;
    for (int32_t row = 2; row <= 20; ++row) {
      std::string name = CellText(entry->CellValue(row, 1));
      if (name.empty()) continue;
      if (!names.empty()) names += " ";
      names += name;
    }
    terminal.out << "登记的学科 subjects: " << (names.empty() ? "（无 none）" : names) << '\n';
    terminal.out << "总分化为整数 round totals: " << DescribeValue(entry->CellValue(2, 3)) << '\n';
  }
  session.Save({&session.HostBook()}, terminal.out);
  return kExitSuccess;
}

int RunHelp(const std::filesystem::path& folder, Terminal terminal) {
  TerminalServices services(terminal.out, terminal.err, std::nullopt);
  Session session(folder, services);
  return session.Fire("cmdHelp") ? kExitSuccess : kExitMessage;
}

}  // namespace fenban::cli
