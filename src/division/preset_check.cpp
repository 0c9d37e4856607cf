// The check of the preset column before a division: every preset must be a
// class number 1..k, or empty / 0 for none.
#include <cmath>
#include <string>
#include <vector>

#include "division/preset_text.h"
#include "host/constants.h"
#include "host/value.h"
#include "sheets/lookups.h"

namespace fenban::division {
namespace {

constexpr size_t kListedItems = 20;

// True when the value names no class (empty or 0) or a class 1..k.
bool IsUsablePreset(const host::Value& value, int32_t k) {
  if (value.IsEmpty()) return true;
  if (!value.IsNumber() && !value.IsText()) return false;  // Booleans and error values
  double number = 0;
  if (value.IsNumber()) {
    number = value.Number();
  } else if (!host::ParseNumber(value.Text(), number)) {
    return false;
  }
  if (number != std::floor(number)) return false;
  return number == 0 || (number >= 1 && number <= k);
}

}  // namespace

std::string ShownText(const host::Worksheet& sheet, int32_t row, int32_t column) {
  if (column <= 0) return "";
  const host::Value& value = sheet.CellValue(row, column);
  if (value.IsError()) return std::string(value.Error().code);
  return value.ToText();
}

std::string JoinListed(const std::vector<std::string>& items, const std::string& separator) {
  std::string joined;
  for (size_t i = 0; i < items.size() && i < kListedItems; ++i) {
    if (i > 0) joined += separator;
    joined += items[i];
  }
  if (items.size() > kListedItems) joined += separator + "……共 " + std::to_string(items.size()) + " 人";
  return joined;
}

bool CheckPresetValues(host::Application& app, const host::Worksheet& dataSheet, int32_t k) {
  const int32_t presetColumn = sheets::FindHeaderColumn(dataSheet, kPresetHeader);
  if (presetColumn == 0) return true;
  const int32_t nameColumn = sheets::FindHeaderColumn(dataSheet, kNameHeader);
  const host::Rect table = dataSheet.CurrentRegion(1, 1);
  std::vector<std::string> wrong;
  for (int32_t row = 2; row <= table.row2; ++row) {
    if (IsUsablePreset(dataSheet.CellValue(row, presetColumn), k)) continue;
    const std::string name = ShownText(dataSheet, row, nameColumn);
    wrong.push_back("第" + std::to_string(row) + "行" + (name.empty() ? "" : " " + name) + "：“" +
                    ShownText(dataSheet, row, presetColumn) + "”");
  }
  if (wrong.empty()) return true;
  app.MsgBox("数据表“预设班”列有无效的班号，不能分班。预设班应为 1 到 " + std::to_string(k) +
                 " 的整数，空白或 0 表示不预设。请改正这些学生的预设班：\n" + JoinListed(wrong, "\n"),
             host::kMsgExclamation, sheets::kWarningTitle);
  return false;
}

}  // namespace fenban::division
