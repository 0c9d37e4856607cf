#include "division/work_table.h"

#include "host/constants.h"
#include "host/range.h"
#include "host/workbook.h"

namespace fenban::division {

host::Worksheet& HostSheet(host::Application& app, const std::string& name) {
  return host::SheetsOf(app.ThisWorkbook())(name);
}

int32_t TableRowCount(host::Worksheet& sheet) { return sheet.Cells(1, 1).CurrentRegion().RowsCount(); }

void SortTableDescending(host::Worksheet& sheet, int32_t column) {
  sheet.Cells(1, 1).CurrentRegion().Sort(sheet.Cells(1, column), host::kDescending, host::kHeaderYes);
}

void DealSerpentine(host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t k, bool upward) {
  int32_t counter = upward ? 0 : k + 1;
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    if (upward) {
      ++counter;
      sheet.SetCellValue(row, 1, counter);
      if (counter == k) {
        counter = k + 1;
        upward = false;
      }
    } else {
      --counter;
      sheet.SetCellValue(row, 1, counter);
      if (counter == 1) {
        counter = 0;
        upward = true;
      }
    }
  }
}

}  // namespace fenban::division
