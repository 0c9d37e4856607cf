#include "division/data_block.h"

#include <optional>
#include <string>

#include "host/cell_values.h"
#include "host/constants.h"
#include "host/rect.h"
#include "sheets/lookups.h"

namespace fenban::division {

namespace {

constexpr const char* kWhatToDo = "请删除空行或空列，让名单连成一块（第 1 行是标题行，每行一名学生），再分班。";

std::string Address(int32_t row, int32_t column) { return host::RectAddress(host::Rect{row, column, row, column}); }

// "A", "C" from an address such as "C1".
std::string ColumnName(int32_t column) {
  const std::string address = Address(1, column);
  return address.substr(0, address.size() - 1);
}

// "第 5 行" or "第 5 至 7 行"; the same for columns.
std::string Span(int32_t first, int32_t last, const std::string& firstText, const std::string& lastText,
                 const char* unit) {
  if (first == last) return "第 " + firstText + " " + unit;
  return "第 " + firstText + " 至 " + lastText + " " + unit;
}

}  // namespace

std::string ValuesOutsideListWarning(const host::Worksheet& dataSheet) {
  const host::Rect block = dataSheet.CurrentRegion(1, 1);
  const bool startsAtA1 = !dataSheet.CellValue(1, 1).IsEmpty();
  std::optional<host::Rect> right;
  if (block.col2 < host::kMaxColumns) {
    right = dataSheet.ValuesWithin(host::Rect{1, block.col2 + 1, block.row2, host::kMaxColumns});
  }
  std::optional<host::Rect> below;
  if (block.row2 < host::kMaxRows) {
    below = dataSheet.ValuesWithin(host::Rect{block.row2 + 1, 1, host::kMaxRows, host::kMaxColumns});
  }
  if (!right && !below) return "";

  const std::string listArea = host::RectAddress(block);
  if (!startsAtA1) {
    const host::Rect first = right ? *right : *below;
    return "数据表的 A1 单元格是空的，可名单要从 A1 开始：分班读不到从 " + Address(first.row1, first.col1) +
           " 起的数据！请删除名单上面的空行和左边的空列，再分班。";
  }
  if (right) {
    // The column right of the block is empty in every row of it.
    const std::string blank = Span(block.col2 + 1, right->col1 - 1, ColumnName(block.col2 + 1),
                                   ColumnName(right->col1 - 1), "列");
    return "数据表" + blank + "是空列，它右边从 " + Address(right->row1, right->col1) +
           " 起还有数据，分班只会读到名单 " + listArea + "，后面的列会被漏掉！" + kWhatToDo;
  }
  if (below->row1 > block.row2 + 1) {
    const std::string blank = Span(block.row2 + 1, below->row1 - 1, std::to_string(block.row2 + 1),
                                   std::to_string(below->row1 - 1), "行");
    return "数据表" + blank + "是空行，它下面第 " + std::to_string(below->row1) + " 行起还有数据，分班只会读到第 " +
           std::to_string(block.row2) + " 行，后面的学生会被漏掉！" + kWhatToDo;
  }
  // The row right below the block holds values, but only beyond a blank column.
  const std::optional<host::Rect> next =
      dataSheet.ValuesWithin(host::Rect{block.row2 + 1, 1, block.row2 + 1, host::kMaxColumns});
  return "数据表第 " + std::to_string(block.row2 + 1) + " 行从 " + Address(next->row1, next->col1) +
         " 起还有数据，它和名单 " + listArea + " 之间隔着空列，分班读不到它！" + kWhatToDo;
}

void CheckTotals(const host::Worksheet& dataSheet, const std::string& totalHeader) {
  const int32_t lastRow = dataSheet.CurrentRegion(1, 1).row2;
  if (const int32_t total = sheets::FindHeaderColumn(dataSheet, totalHeader); total != 0) {
    for (int32_t row = 2; row <= lastRow; ++row) (void)host::CellNumber(dataSheet, row, total);
  }
}

}  // namespace fenban::division
