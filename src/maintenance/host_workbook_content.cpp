#include "maintenance/host_workbook_content.h"

#include "host/value.h"
#include "host/worksheet.h"
#include "sheets/workbook_layout.h"

namespace fenban::maintenance {

std::vector<std::string> DefaultSubjects() {
  return {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理"};
}

void FillSettingsSheet(host::Worksheet& dtb) {
  const char* headers[] = {"下一表号", "跳过表号", "班级数", "优秀人数", "及格人数",
                           "前N名",    "按性别",   "按住校", "按应届",   "优化均衡"};
  for (int32_t c = 1; c <= 10; ++c) dtb.SetCellValue(1, c, headers[c - 1]);
  dtb.SetCellValue(2, 3, 10);
  dtb.SetCellValue(2, 4, 20);
  dtb.SetCellValue(2, 5, 30);
  dtb.SetCellValue(2, 6, 3);
  for (int32_t c = 7; c <= 10; ++c) dtb.SetCellValue(2, c, host::Value::Boolean(false));
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
