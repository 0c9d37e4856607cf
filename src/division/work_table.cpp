#include "division/work_table.h"

#include <algorithm>

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

void MoveWorkTable(host::Worksheet& work, host::Worksheet& destination, int32_t blockRows) {
  const host::Range region = work.Cells(1, 1).CurrentRegion();
  const int32_t rows = region.RowsCount();
  const int32_t block = std::max(blockRows, 1);
  for (int32_t first = 1; first <= rows; first += block) {
    const int32_t count = std::min(block, rows - first + 1);
    const host::Range part(work, host::Rect{region.Row() + first - 1, region.Column(), region.Row() + first + count - 2,
                                            region.Column() + region.ColumnsCount() - 1});
    part.Copy(destination.Cells(first, 1));
    part.Clear();
  }
  work.Cells().Clear();
}

}  // namespace fenban::division
