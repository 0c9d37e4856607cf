#include "maintenance/host_workbook_content.h"

#include "host/value.h"
#include "host/worksheet.h"

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
}

void FillEntrySheet(host::Worksheet& entry) {
  entry.SetCellValue(1, 1, "【学科名登记列】");
  int32_t row = 2;
  for (const std::string& subject : DefaultSubjects()) entry.SetCellValue(row++, 1, subject);
  entry.SetCellValue(21, 1, "【结束】");
  entry.SetCellValue(1, 3, "【总分化为整数】");
  entry.SetCellValue(2, 3, "否");
  entry.SetColumnWidth(1, 1, 18);
  entry.SetColumnWidth(3, 3, 18);
}

}  // namespace fenban::maintenance
