// The division command: copies the data sheet into the work table, has the
// class assignment number every student, and places the result as a new
// division sheet with its statistics sheet in the data workbook.
#include <algorithm>
#include <limits>
#include <string>

#include "division/column_formats.h"
#include "division/data_block.h"
#include "division/list_checks.h"
#include "division/list_layout.h"
#include "division/total_column.h"
#include "division/division.h"
#include "division/preset_text.h"
#include "division/refine_classes.h"
#include "division/work_table.h"
#include "form/balance_columns.h"
#include "form/form_routines.h"
#include "form/sheet_counters.h"
#include "host/cell_values.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/range.h"
#include "host/value.h"
#include "sheets/balance_columns.h"
#include "sheets/lookups.h"
#include "statistics/statistics.h"

namespace fenban::division {
namespace {

constexpr const char* kHintTitle = sheets::kNoticeTitle;
using sheets::kWarningTitle;
constexpr const char* kChooseDataBook = "应选择数据表！";
constexpr const char* kNoDataSheet = "缺少 数据表，请检查！";

constexpr const char* kDataSheetName = "数据表";
constexpr const char* kTemplateSheetName = "登记表";
constexpr const char* kSettingsSheetName = "DTB";
constexpr const char* kDivisionPrefix = "分班表";
constexpr const char* kStatisticsPrefix = "统计表";
constexpr const char* kRoundYes = "是";

// The options of one division, as the form holds them at the click.
struct DivisionOptions {
  int32_t classCount = 0;  // k
  int32_t topN = 0;        // N
  int32_t excellentQuota = 0;
  int32_t passQuota = 0;
  BalanceFlags flags;
  bool refine = false;   // chbYouHua
  int32_t topBlock = 0;  // T = k * N
  std::vector<std::string> balanceNames;  // txtJunHeng: the "均衡列" as named
  // Those the list holds with few enough values to spread, and the notice
  // for the others.
  std::vector<std::string> balanceColumns;
  std::string balanceNotice;
  std::string totalOption;  // txtZongFenLie: the total column's header, "" for "总分"
  int32_t headerRow = 0;    // txtBiaoTouHang: the header row confirmed, 0 for none
  bool addTotal = false;    // chbSuanZongFen
};

bool IsTicked(const host::Value& box) { return box.ToDouble() != 0; }

// The refinement box came after the form's other controls: a user form built
// without it divides as before (unticked) instead of failing on the missing
// control.
bool RefineTicked(form::Form& form) {
  bool ticked = false;
  host::SkipOnError([&] { ticked = IsTicked(form.ControlValue("chbYouHua")); });
  return ticked;
}

int32_t CheckedLong(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) host::Raise(host::kErrOverflow);
  return static_cast<int32_t>(value);
}

DivisionOptions ReadOptions(host::Application& app, form::Form& form) {
  DivisionOptions options;
  options.classCount = form::TextBoxLong(form, "txtFenBan");
  options.topN = form::TextBoxLong(form, "txtNMing");
  options.excellentQuota = form::TextBoxLong(form, "txtYouXiu");
  options.passQuota = form::TextBoxLong(form, "txtJiGe");
  options.flags.sex = IsTicked(form.ControlValue("chbXingBie"));
  options.flags.boarding = IsTicked(form.ControlValue("chbZuXiao"));
  options.flags.current = IsTicked(form.ControlValue("chbYingJie"));
  options.refine = RefineTicked(form);
  options.balanceNames = form::BalanceColumnsOption(app, form);
  options.totalOption = form::TotalColumnOption(form);
  // The boxes of lists kept as schools keep them came later still: a form
  // without them confirms nothing and adds no total.
  host::SkipOnError([&] {
    const host::Value row = form.ControlValue("txtBiaoTouHang");
    if (!row.IsEmpty() && row.IsNumeric()) options.headerRow = row.ToLong();
  });
  host::SkipOnError([&] { options.addTotal = IsTicked(form.ControlValue("chbSuanZongFen")); });
  options.topBlock = CheckedLong(int64_t{options.classCount} * options.topN);
  return options;
}

void ClearWorkingSheets(host::Application& app) {
  for (const char* name : {kWorkSheetName, kTopBlockSheetName, kLeftoverSheetName}) {
    HostSheet(app, name).Cells().Clear();
  }
}

// Used on the way out of a division that a message or an error ended: the
// working sheets are emptied as far as they can be, and the original error
// is what the caller sees.
void ClearWorkingSheetsQuietly(host::Application& app) {
  for (const char* name : {kWorkSheetName, kTopBlockSheetName, kLeftoverSheetName}) {
    host::SkipOnError([&] { HostSheet(app, name).Cells().Clear(); });
  }
}

// Replaces the totals by ROUND(total, 0), computed in the spare column and
// pasted back as values.
void RoundTotals(host::Worksheet& work, const WorkTable& table) {
  if (table.rowCount < 2) return;
  const int32_t offset = table.totalColumn - table.spareColumn;
  const host::Range rounded(work, host::Rect{2, table.spareColumn, table.rowCount, table.spareColumn});
  rounded.SetFormulaR1C1("=ROUND(RC[" + std::to_string(offset) + "],0)");
  rounded.Copy();
  work.Cells(2, table.totalColumn).PasteSpecial(host::kPasteValues);
}

// Deletes the sheet of that name when the workbook has one.
void DeleteSheetIfPresent(host::Workbook& book, const std::string& name) {
  if (sheets::SheetExists(book, name)) host::SheetsOf(book)(name).Delete();
}

// The number of the new sheet pair: the next number, or the one after it when
// the delete command reserved it for the pair it kept, and never the number
// of a pair sheet the workbook already has (its counters may have come from
// another list position or another host folder).
int32_t FreeSheetNumber(form::ModuleState& state, host::Workbook& dataBook) {
  int32_t sheetNo = std::max(state.NextSheetNo, 1);
  if (sheetNo == state.SkipSheetNo) sheetNo = CheckedLong(int64_t{sheetNo} + 1);
  while (sheets::SheetExists(dataBook, kDivisionPrefix + std::to_string(sheetNo)) ||
         sheets::SheetExists(dataBook, kStatisticsPrefix + std::to_string(sheetNo))) {
    sheetNo = CheckedLong(int64_t{sheetNo} + 1);
  }
  state.NextSheetNo = sheetNo;
  return sheetNo;
}

std::string TotalHeaderOf(const DivisionOptions& options) {
  return options.totalOption.empty() ? kTotalHeader : options.totalOption;
}

// Before anything else, the list is brought into the shape the division
// reads: title rows and merged header cells removed once the teacher has
// confirmed the header row, and a total added up from the subjects when
// asked. What was changed is noted in the module state. Returns false when
// a message ended the division.
bool PrepareList(host::Application& app, const DivisionOptions& options, form::ModuleState& state,
                 host::Worksheet& dataSheet) {
  const std::vector<std::string> subjects = EntrySubjects(app);
  const std::vector<std::string> markers =
      options.totalOption.empty() ? WellKnownTotalHeaders() : std::vector<std::string>{options.totalOption};
  if (const std::optional<HeaderLayout> layout = FindHeaderLayout(dataSheet, markers, subjects)) {
    if (options.headerRow != layout->lastHeaderRow) {
      state.AskedHeaderRow = layout->lastHeaderRow;
      app.MsgBox(HeaderLayoutQuestion(dataSheet, *layout, options.headerRow), host::kMsgExclamation, kWarningTitle);
      return false;
    }
    state.ListNotes.push_back(FixHeaderLayout(dataSheet, *layout));
    // The list below a title and a blank row was not around A1 when the
    // workbook was chosen: its spaces go now.
    form::RemoveListSpaces(dataSheet);
  }
  if (options.addTotal) {
    const ComputedTotal computed = AddTotalFromSubjects(dataSheet, subjects);
    if (!computed.done) {
      app.MsgBox(computed.message, host::kMsgExclamation, kWarningTitle);
      return false;
    }
    state.ListNotes.push_back(computed.message);
  }
  return true;
}

// The work table's total column: the one the option names is called "总分"
// there, and a "总分" column of the list beside it "原总分". 0 when the
// list has no such column.
int32_t NameTotalColumn(host::Worksheet& work, const DivisionOptions& options) {
  const int32_t column = sheets::FindHeaderColumn(work, TotalHeaderOf(options));
  if (column == 0 || options.totalOption.empty() || options.totalOption == kTotalHeader) return column;
  for (int32_t other = sheets::FindHeaderColumn(work, kTotalHeader); other != 0;
       other = sheets::FindHeaderColumn(work, kTotalHeader)) {
    work.SetCellValue(1, other, kFormerTotalHeader);
  }
  work.SetCellValue(1, column, kTotalHeader);
  return column;
}

// Steps 5 to 16, from an empty work table to the beep. Returns false when a
// message ended the division.
bool RunDivision(host::Application& app, form::Form& form, form::ModuleState& state,
                 const DivisionOptions& options, const std::string& roundingChoice, host::Workbook& dataBook) {
  host::Worksheet& work = HostSheet(app, kWorkSheetName);
  app.ReportStage(host::WorkStage::Dividing);

  host::Worksheet& dataSheet = host::SheetsOf(dataBook)(kDataSheetName);
  const host::Rect dataTable = dataSheet.CurrentRegion(1, 1);
  dataSheet.Cells(1, 1).CurrentRegion().Copy();
  work.Cells(1, 3).PasteSpecial(host::kPasteValues);
  work.SetCellValue(1, 1, "新班级");
  work.SetCellValue(1, 2, "序号");

  WorkTable table;
  table.sexColumn = sheets::FindHeaderColumn(work, "性别");
  table.boardingColumn = sheets::FindHeaderColumn(work, "住校");
  table.currentColumn = sheets::FindHeaderColumn(work, "应届");
  table.totalColumn = NameTotalColumn(work, options);
  for (const std::string& name : options.balanceColumns) {
    table.balanceColumns.emplace_back(name, sheets::FindHeaderColumn(work, name));
  }
  if (table.totalColumn == 0) {
    app.MsgBox(MissingTotalColumnMessage(dataSheet, options.totalOption, EntrySubjects(app)), host::kMsgExclamation,
               kWarningTitle);
    return false;
  }
  // A total the division cannot read is named on "数据表", where the
  // teacher finds it, not on the sorted work table.
  CheckTotals(dataSheet, TotalHeaderOf(options));
  const host::Range region = work.Cells(1, 1).CurrentRegion();
  table.spareColumn = region.ColumnsCount() + 1;
  table.rowCount = region.RowsCount();

  if (roundingChoice == kRoundYes) RoundTotals(work, table);

  if (!AssignClasses(app, work, table, options.classCount, options.topBlock, options.flags)) return false;
  if (options.refine) app.ReportStage(host::WorkStage::Refining);
  if (options.refine) {
    RefineOutcome outcome =
        RefineClasses(app, work, table, RefineQuotas{options.classCount, options.excellentQuota, options.passQuota});
    if (!outcome.completed) return false;
    state.LastRefinement = std::move(outcome.figures);
    state.LastRefinementNotes = std::move(outcome.notes);
  }

  const int32_t sheetNo = FreeSheetNumber(state, dataBook);

  const std::string divisionName = kDivisionPrefix + std::to_string(sheetNo);
  DeleteSheetIfPresent(dataBook, divisionName);
  host::Worksheet& divisionSheet = host::SheetsOf(dataBook).Add();
  divisionSheet.SetName(divisionName);
  MoveWorkTable(work, divisionSheet);
  KeepColumnNumberFormats(dataSheet, dataTable, divisionSheet);

  const std::string statisticsName = kStatisticsPrefix + std::to_string(sheetNo);
  DeleteSheetIfPresent(dataBook, statisticsName);
  host::Worksheet& statisticsSheet = host::SheetsOf(dataBook).Add(divisionSheet);
  statisticsSheet.SetName(statisticsName);

  const int32_t nextNo = CheckedLong(int64_t{sheetNo} + 1);
  state.NextSheetNo = nextNo;
  host::Worksheet& settings = HostSheet(app, kSettingsSheetName);
  const int32_t counterRow = form::ClaimCounterRow(settings, state.DataBookName, form.ListIndex("ltbBiao"),
                                                   form::ListedDataWorkbooks(app));
  settings.SetCellValue(counterRow, 1, nextNo);

  statistics::BuildDivisionStatistics(app, state, options.classCount, options.excellentQuota, options.passQuota,
                                      options.topN, divisionName, statisticsName, options.balanceColumns);
  WriteRefinementNotes(statisticsSheet, state.LastRefinementNotes);
  if (!options.balanceNotice.empty()) app.MsgBox(options.balanceNotice, host::kMsgInformation, kHintTitle);
  if (!options.refine) {
    for (const std::string& unused : {UnusedGroupsNotice(dataSheet), UnusedBalanceColumnsNotice(options.balanceColumns)}) {
      if (!unused.empty()) app.MsgBox(unused, host::kMsgInformation, kHintTitle);
    }
  }
  app.Beep(360, 36);
  return true;
}

}  // namespace

void DivideClasses(host::Application& app, form::Form& form, form::ModuleState& state) {
  if (form.ListIndex("ltbBiao") == -1) {
    app.MsgBox(kChooseDataBook, host::kMsgPlain, kHintTitle);
    return;
  }
  state.LastRefinement.clear();
  state.LastRefinementNotes.clear();
  state.ListNotes.clear();
  state.AskedHeaderRow = 0;
  DivisionOptions options = ReadOptions(app, form);
  const std::string roundingChoice = host::CellText(HostSheet(app, kTemplateSheetName), 2, 3);
  host::Workbook& dataBook = host::Workbooks(app)(state.DataBookName);
  if (!sheets::SheetExists(dataBook, kDataSheetName)) {
    app.MsgBox(kNoDataSheet, host::kMsgPlain, kHintTitle);
    return;
  }
  host::Worksheet& dataSheet = host::SheetsOf(dataBook)(kDataSheetName);
  if (!PrepareList(app, options, state, dataSheet)) return;
  // Students after a blank row would be left out: refuse before any work.
  const std::string outside = ValuesOutsideListWarning(dataSheet);
  if (!outside.empty()) {
    app.MsgBox(outside, host::kMsgExclamation, kWarningTitle);
    return;
  }
  for (const std::string& refusal : {ListSizeWarning(dataSheet, options.classCount), UncomputedTotalsWarning(dataSheet, TotalHeaderOf(options))}) {
    if (!refusal.empty()) {
      app.MsgBox(refusal, host::kMsgExclamation, kWarningTitle);
      return;
    }
  }
  if (options.classCount >= 1 && !CheckPresetValues(app, dataSheet, options.classCount)) return;
  if (!options.balanceNames.empty()) {
    const sheets::BalanceColumns found =
        sheets::FindBalanceColumns(dataSheet, options.balanceNames, dataSheet.CurrentRegion(1, 1).row2);
    const std::string missing = sheets::MissingBalanceColumnsWarning(dataSheet, found);
    if (!missing.empty()) {
      app.MsgBox(missing, host::kMsgExclamation, kWarningTitle);
      return;
    }
    for (const sheets::BalanceColumn& column : found.usable) options.balanceColumns.push_back(column.name);
    options.balanceNotice = sheets::TooManyBalanceValuesNotice(found);
  }

  // Everything above only reads. From here on the working sheets are used,
  // so the division starts from empty ones and leaves them empty however it ends.
  ClearWorkingSheets(app);
  bool completed = false;
  try {
    completed = RunDivision(app, form, state, options, roundingChoice, dataBook);
  } catch (...) {
    ClearWorkingSheetsQuietly(app);
    throw;
  }
  if (!completed) ClearWorkingSheetsQuietly(app);
}

}  // namespace fenban::division
