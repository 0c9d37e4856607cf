#include "maintenance/host_workbook_content.h"

#include "form/balance_columns.h"
#include "form/option_controls.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "sheets/workbook_layout.h"

namespace fenban::maintenance {

std::vector<std::string> DefaultSubjects() {
  return {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理"};
}

void FillSettingsSheet(host::Worksheet& dtb) {
  dtb.SetCellValue(1, 1, "下一表号");
  dtb.SetCellValue(1, 2, "跳过表号");
  for (const form::OptionControl& option : form::kOptionControls) {
    dtb.SetCellValue(1, option.settingsColumn, std::string(option.header));
    dtb.SetCellValue(form::kOptionRow, option.settingsColumn,
                     option.kind == form::OptionKind::Count ? host::Value(option.defaultValue)
                                                            : host::Value::Boolean(option.defaultValue != 0));
  }
  dtb.SetCellValue(1, form::kBalanceColumnsColumn, "均衡列");  // empty in row 2: no balance columns
  // The total column's option: empty means the column "总分".
  dtb.SetCellValue(1, sheets::kTotalColumnOptionColumn, "总分列");
}

void FillEntrySheet(host::Worksheet& entry) {
  using Entry = sheets::EntryTemplate;
  entry.SetCellValue(Entry::kFirstSubjectRow - 1, Entry::kSubjectColumn, "【学科名登记列】");
  int32_t row = Entry::kFirstSubjectRow;
  for (const std::string& subject : DefaultSubjects()) entry.SetCellValue(row++, Entry::kSubjectColumn, subject);
  entry.SetCellValue(Entry::kLastSubjectRow + 1, Entry::kSubjectColumn, "【结束】");
  entry.SetCellValue(Entry::kRoundingRow - 1, Entry::kRoundingColumn, "【总分化为整数】");
  entry.SetCellValue(Entry::kRoundingRow, Entry::kRoundingColumn, "否");
  entry.SetColumnWidth(1, 1, 18);
  entry.SetColumnWidth(3, 3, 18);
}

}  // namespace fenban::maintenance
