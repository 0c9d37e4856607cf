// Form start-up: the data folder's listing, the stored options, the window.
#include <string>
#include <vector>

#include "form/balance_columns.h"
#include "form/form_routines.h"
#include "form/option_controls.h"
#include "host/errors.h"
#include "host/range.h"

namespace fenban::form {

host::Worksheet& SettingsSheet(host::Application& app) { return host::SheetsOf(app.ThisWorkbook())("DTB"); }

namespace {

// A text box takes the value of its "DTB" cell in row 2 and remembers where
// it came from; a step that fails leaves it as it was.
void LoadTextBox(host::Application& app, Form& form, const std::string& control, int32_t column) {
  host::SkipOnError([&] {
    form.SetControlValue(control, SettingsSheet(app).CellValue(kOptionRow, column));
    form.SetControlSource(control, "DTB!" + host::RectAddress(host::Rect{kOptionRow, column, kOptionRow, column}));
  });
}

}  // namespace

void InitializeForm(host::Application& app, Form& form) {
  std::string DataFolder;
  host::SkipOnError([&] { DataFolder = app.ThisWorkbook().Path() + kPathSeparator + kDataFolderName; });

  std::vector<std::string> fileNames;
  host::SkipOnError([&] { fileNames = app.Services().ListDirectory(DataFolder); });
  for (const std::string& fileName : fileNames) {
    if (fileName.empty()) break;
    form.AddItem("ltbBiao", fileName);
  }

  // Each control takes its cell's value as it is; a step that fails leaves
  // that control as it was.
  for (const OptionControl& option : kOptionControls) {
    const std::string control(option.control);
    if (option.kind == OptionKind::Count) {
      LoadTextBox(app, form, control, option.settingsColumn);
    } else {
      host::SkipOnError(
          [&] { form.SetControlValue(control, SettingsSheet(app).CellValue(kOptionRow, option.settingsColumn)); });
    }
  }
  // The balance columns are text, outside the table of the eight options.
  LoadTextBox(app, form, "txtJunHeng", kBalanceColumnsColumn);
  LoadTextBox(app, form, "txtZongFenLie", kTotalColumnOptionColumn);

  host::SkipOnError([&] { MakeFormResizable(form, form.Caption()); });
}

void MakeFormResizable(Form& form, const std::string& caption) {
  // A caption that names no window leaves the fixed border as it is.
  form.MakeResizable(caption);
}

}  // namespace fenban::form
