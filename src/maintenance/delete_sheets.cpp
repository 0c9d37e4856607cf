// The delete command: every sheet of the data workbook goes but "数据表" and
// the pair the user is viewing; the numbering restarts at 1. Each statement
// is guarded on its own, so a failing one is skipped and the rest still run.
#include <string>
#include <vector>

#include "form/form_routines.h"
#include "form/sheet_counters.h"
#include "host/errors.h"
#include "host/range.h"
#include "maintenance/maintenance.h"
#include "sheets/workbook_layout.h"

namespace fenban::maintenance {

void DeleteDivisionSheets(host::Application& app, form::Form& form, form::ModuleState& state) {
  bool noChoice = false;
  host::SkipOnError([&] { noChoice = form.ListIndex("ltbBiao") == -1; });
  if (noChoice) {
    host::SkipOnError([&] { app.MsgBox("应选择数据表！", host::kMsgPlain, sheets::kNoticeTitle); });
    return;
  }

  std::string name;
  host::SkipOnError([&] { name = host::Workbooks(app)(state.DataBookName).ActiveSheet().Name(); });
  const sheets::DivisionPair pair = sheets::DivisionPairOf(name);
  const std::string& suffix = pair.number;
  const std::string& keepDivision = pair.divisionSheet;
  const std::string& keepStatistics = pair.statisticsSheet;

  host::SkipOnError([&] {
    const host::Value number(suffix);
    state.SkipSheetNo = !suffix.empty() && number.IsNumeric() ? number.ToLong() : 0;
  });
  state.NextSheetNo = 1;
  int32_t row = 0;
  host::SkipOnError([&] {
    row = form::ClaimCounterRow(form::SettingsSheet(app), state.DataBookName, form.ListIndex("ltbBiao"),
                                form::ListedDataWorkbooks(app));
  });
  if (row >= 2) {
    host::SkipOnError([&] { form::SettingsSheet(app).SetCellValue(row, 1, host::Value(state.NextSheetNo)); });
    host::SkipOnError([&] { form::SettingsSheet(app).SetCellValue(row, 2, host::Value(state.SkipSheetNo)); });
  }

  // The names are taken first, so deleting does not disturb the walk.
  std::vector<std::string> sheetNames;
  host::SkipOnError([&] {
    host::Workbook& dataBook = host::Workbooks(app)(state.DataBookName);
    for (int32_t index = 1; index <= dataBook.SheetCount(); ++index) {
      sheetNames.push_back(dataBook.SheetAt(index).Name());
    }
  });
  for (const std::string& sheetName : sheetNames) {
    if (sheetName == "数据表" || sheetName == keepDivision || sheetName == keepStatistics) continue;
    host::SkipOnError([&] { host::SheetsOf(host::Workbooks(app)(state.DataBookName))(sheetName).Delete(); });
  }

  host::SkipOnError([&] { app.Beep(360, 36); });
}

}  // namespace fenban::maintenance
