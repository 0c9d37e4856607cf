// Form start-up: the data folder's listing, the stored options, the window.
#include <string>
#include <vector>

#include "form/form_routines.h"
#include "host/errors.h"
#include "host/range.h"

namespace fenban::form {

host::Worksheet& SettingsSheet(host::Application& app) { return host::SheetsOf(app.ThisWorkbook())("DTB"); }

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
  host::SkipOnError([&] { form.SetControlValue("txtFenBan", SettingsSheet(app).CellValue(2, 3)); });
  host::SkipOnError([&] { form.SetControlValue("txtYouXiu", SettingsSheet(app).CellValue(2, 4)); });
  host::SkipOnError([&] { form.SetControlValue("txtJiGe", SettingsSheet(app).CellValue(2, 5)); });
  host::SkipOnError([&] { form.SetControlValue("txtNMing", SettingsSheet(app).CellValue(2, 6)); });
  host::SkipOnError([&] { form.SetControlValue("chbXingBie", SettingsSheet(app).CellValue(2, 7)); });
  host::SkipOnError([&] { form.SetControlValue("chbZuXiao", SettingsSheet(app).CellValue(2, 8)); });
  host::SkipOnError([&] { form.SetControlValue("chbYingJie", SettingsSheet(app).CellValue(2, 9)); });
  host::SkipOnError([&] { form.SetControlValue("chbYouHua", SettingsSheet(app).CellValue(2, 10)); });

  host::SkipOnError([&] { MakeFormResizable(form, form.Caption()); });
}

void MakeFormResizable(Form& form, const std::string& caption) {
  // A caption that names no window leaves the fixed border as it is.
  form.MakeResizable(caption);
}

}  // namespace fenban::form
