#include "app/stored_options.h"

#include <exception>

#include "app/host_folder.h"
#include "maintenance/host_workbook_content.h"
#include "app/session.h"
#include "app/desktop_services.h"
#include "form/balance_columns.h"
#include "host/model_workbook.h"
#include "sheets/workbook_layout.h"

namespace fenban::app {

namespace {

// The options row of "DTB" and the entry template read into the values.
StoredOptions FromSheets(const host::Worksheet& dtb, const host::Worksheet* entry) {
  StoredOptions stored;
  for (size_t i = 0; i < form::kOptionControls.size(); ++i) {
    stored.values[i] = dtb.CellValue(form::kOptionRow, form::kOptionControls[i].settingsColumn);
  }
  const host::Value& balance = dtb.CellValue(form::kOptionRow, form::kBalanceColumnsColumn);
  stored.balance = balance.IsEmpty() || balance.IsError() ? "" : balance.ToText();
  stored.totalColumn = dtb.CellValue(2, sheets::kTotalColumnOptionColumn).IsText()
                           ? std::string(dtb.CellValue(2, sheets::kTotalColumnOptionColumn).Text())
                           : "";
  using Entry = sheets::EntryTemplate;
  if (entry != nullptr) {
    const host::Value& rounding = entry->CellValue(Entry::kRoundingRow, Entry::kRoundingColumn);
    stored.round = rounding.IsText() && rounding.Text() == "是";
  }
  return stored;
}

StoredOptions NewFolderOptions() {
  host::ModelWorkbook book("fenban.xlsx", "");
  host::Worksheet& dtb = book.AppendSheet("DTB");
  host::Worksheet& entry = book.AppendSheet(sheets::EntryTemplate::kSheetName);
  maintenance::FillSettingsSheet(dtb);
  maintenance::FillEntrySheet(entry);
  return FromSheets(dtb, &entry);
}

}  // namespace

StoredOptions ReadStoredOptions(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(folder / kHostBookName, ec)) return NewFolderOptions();
  DesktopServices services;  // boxes are recorded, never shown
  try {
    Session session(folder, services);
    const host::Worksheet* dtb = session.HostBook().FindSheet("DTB");
    if (dtb == nullptr) return NewFolderOptions();
    StoredOptions stored = FromSheets(*dtb, session.HostBook().FindSheet(sheets::EntryTemplate::kSheetName));
    stored.fromFolder = true;
    return stored;
  } catch (const std::exception&) {
    return NewFolderOptions();
  }
}

}  // namespace fenban::app
