// Data workbook selection: open or activate the chosen workbook, prepare its
// "数据表", load its two sheet counters.
#include <optional>
#include <string>

#include "form/form_routines.h"
#include "form/sheet_counters.h"
#include "host/cell_values.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/range.h"
#include "sheets/lookups.h"

namespace fenban::form {

void RemoveListSpaces(host::Worksheet& sheet) {
  const host::Range block = sheet.GetRange("A1").CurrentRegion();
  block.Replace(" ", "", host::kLookAtPart);
  block.Replace("\u3000", "", host::kLookAtPart);
  block.Replace("\u00A0", "", host::kLookAtPart);
}

void SelectDataWorkbook(host::Application& app, Form& form, ModuleState& state) {
  const std::optional<std::string> chosen = form.ListValue("ltbBiao");
  if (!chosen) host::Raise(host::kErrInvalidNull);
  state.DataBookName = *chosen;

  host::Workbooks workbooks(app);
  bool alreadyOpen = false;
  for (int32_t index = 1; index <= workbooks.Count(); ++index) {
    host::Workbook& book = workbooks(index);
    if (book.Name() == state.DataBookName) {
      book.Activate();
      alreadyOpen = true;
      break;
    }
  }
  if (!alreadyOpen) {
    workbooks.Open(app.ThisWorkbook().Path() + kPathSeparator + kDataFolderName + kPathSeparator +
                   state.DataBookName);
  }

  host::Workbook& dataBook = workbooks(state.DataBookName);
  if (sheets::SheetExists(dataBook, "数据表")) {
    host::Worksheet& dataSheet = host::SheetsOf(dataBook)("数据表");
    // A hidden sheet cannot be activated; say which one and what to do.
    if (dataSheet.Visible() != host::kSheetVisible) {
      host::Raise(host::kErrHost, "工作簿“" + state.DataBookName +
                                      "”的“数据表”是隐藏的工作表，不能选用。请在电子表格程序里取消隐藏它（右键单击工作表标签，"
                                      "选“取消隐藏”），保存后再选这个名单。");
    }
    dataSheet.Activate();
  } else {
    dataBook.ActiveSheet().SetName("数据表");
  }

  host::Window& window = app.ActiveWindow();
  window.SetScrollRow(1);
  window.SetScrollColumn(1);
  window.SetTabRatio(0.9);
  window.SetSplitRow(1);
  window.SetSplitColumn(0);
  window.SetFreezePanes(true);

  RemoveListSpaces(app.ActiveSheet());

  host::Window& windowAfter = app.ActiveWindow();
  windowAfter.SetScrollRow(1);
  windowAfter.SetScrollColumn(1);

  host::Worksheet& settings = SettingsSheet(app);
  const int32_t row = FindCounterRow(settings, state.DataBookName, form.ListIndex("ltbBiao"));
  state.NextSheetNo = host::CellLong(settings, row, 1);
  state.SkipSheetNo = host::CellLong(settings, row, 2);
}

}  // namespace fenban::form
