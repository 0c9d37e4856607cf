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
    form.ltbBiao.AddItem(fileName);
  }

  // Each control takes its cell's value as it is; a step that fails leaves
  // that control as it was.
  host::SkipOnError([&] { form.txtFenBan.value = SettingsSheet(app).CellValue(2, 3); });
  host::SkipOnError([&] { form.txtYouXiu.value = SettingsSheet(app).CellValue(2, 4); });
  host::SkipOnError([&] { form.txtJiGe.value = SettingsSheet(app).CellValue(2, 5); });
  host::SkipOnError([&] { form.txtNMing.value = SettingsSheet(app).CellValue(2, 6); });
  host::SkipOnError([&] { form.chbXingBie.value = SettingsSheet(app).CellValue(2, 7); });
  host::SkipOnError([&] { form.chbZuXiao.value = SettingsSheet(app).CellValue(2, 8); });
  host::SkipOnError([&] { form.chbYingJie.value = SettingsSheet(app).CellValue(2, 9); });

  host::SkipOnError([&] { MakeFormResizable(form, form.caption); });
}

void MakeFormResizable(Form& form, const std::string& caption) {
  // The form model is its own window, found by its (non-empty) caption. A
  // caption that names no window leaves the fixed border as it is.
  if (caption.empty() || caption != form.caption) return;
  form.resizable = true;
  form.minimisable = true;
}

}  // namespace fenban::form
