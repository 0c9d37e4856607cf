// "cmdTiaoBanClick": rebuilds the statistics of the pair of the active sheet
// with the option values the form shows now.
#include <string>
#include <vector>

#include "host/cell_values.h"
#include "host/errors.h"
#include "host/range.h"
#include "form/balance_columns.h"
#include "sheets/balance_columns.h"
#include "sheets/lookups.h"
#include "sheets/workbook_layout.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

namespace {

// What the statistics leave out of the "均衡列": names the division sheet
// does not hold, and columns of too many values.
std::string BalanceColumnsNotice(const host::Worksheet& division, const std::vector<std::string>& names) {
  if (names.empty()) return "";
  const sheets::BalanceColumns columns = sheets::FindBalanceColumns(division, names, division.CurrentRegion(1, 1).row2);
  std::string notice = sheets::TooManyBalanceValuesNotice(columns);
  for (const std::string& name : columns.missing) {
    notice += (notice.empty() ? "" : "\r") + division.Name() + "没有“均衡列”写的“" + name + "”列，统计表里没有它的人数表。";
  }
  return notice;
}

}  // namespace

SheetPair SheetPairOf(const std::string& activeSheetName) {
  if (host::CharCount(activeSheetName) < 3) host::Raise(host::kErrInvalidCall);
  const sheets::DivisionPair pair = sheets::DivisionPairOf(activeSheetName);
  const std::string division = pair.divisionSheet.empty() ? sheets::kDivisionSheetPrefix : pair.divisionSheet;
  return {division, pair.statisticsSheet};
}

void RebuildStatistics(host::Application& app, form::Form& form, form::ModuleState& state) {
  if (form.ListIndex("ltbBiao") == -1) {
    app.MsgBox("应选择数据表！", host::kMsgPlain, sheets::kNoticeTitle);
    return;
  }
  host::Workbook& book = host::Workbooks(app)(state.DataBookName);
  const SheetPair pair = SheetPairOf(book.ActiveSheet().Name());

  const int32_t classCount = form::TextBoxLong(form, "txtFenBan");
  const int32_t excellentQuota = form::TextBoxLong(form, "txtYouXiu");
  const int32_t passQuota = form::TextBoxLong(form, "txtJiGe");
  const int32_t topN = form::TextBoxLong(form, "txtNMing");

  if (!sheets::SheetExists(book, pair.divisionSheetName)) {
    app.MsgBox("请先选择分班表，再按 统计 按钮！", host::kMsgPlain, sheets::kNoticeTitle);
    return;
  }
  host::Worksheets worksheets(book);
  host::Worksheet& division = worksheets(pair.divisionSheetName);
  // The statistics describe the division as it stands: its own classes,
  // whatever the class count box says now. Students without one of them
  // would be counted nowhere: refuse before anything changes, naming them
  // by the rows the user sees.
  const bool titleRow = HasTitleRow(division);
  int32_t recordedCount = 0;
  if (sheets::SheetExists(book, pair.statisticsSheetName)) {
    recordedCount = RecordedClassCount(worksheets(pair.statisticsSheetName));
  }
  const DivisionClasses classes = ClassesOf(division, titleRow ? 2 : 1, recordedCount);
  if (!classes.strays.empty()) {
    app.MsgBox(classes.strays, host::kMsgExclamation, sheets::kWarningTitle);
    return;
  }
  if (classes.count < 1) {
    app.MsgBox(pair.divisionSheetName + " 里没有学生，不能统计！", host::kMsgExclamation, sheets::kWarningTitle);
    return;
  }
  if (classes.count != classCount) {
    app.MsgBox(ClassCountNotice(pair.divisionSheetName, classes.count, classCount), host::kMsgInformation, sheets::kNoticeTitle);
  }
  division.ResetAllPageBreaks();
  if (titleRow) division.Rows(1).Delete(host::kShiftUp);
  const std::vector<std::string> balanceNames = form::BalanceColumnsOption(app, form);
  const std::string balanceNotice = BalanceColumnsNotice(division, balanceNames);

  if (sheets::SheetExists(book, pair.statisticsSheetName)) worksheets(pair.statisticsSheetName).Delete();
  worksheets.Add(division).SetName(pair.statisticsSheetName);

  BuildDivisionStatistics(app, state, classes.count, excellentQuota, passQuota, topN, pair.divisionSheetName,
                          pair.statisticsSheetName, balanceNames);
  if (!balanceNotice.empty()) app.MsgBox(balanceNotice, host::kMsgInformation, sheets::kNoticeTitle);
  app.Beep(360, 36);
}

}  // namespace fenban::statistics
