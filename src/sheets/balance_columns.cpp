#include "sheets/balance_columns.h"

#include <algorithm>
#include <map>

#include "host/cell_values.h"
#include "sheets/lookups.h"

namespace fenban::sheets {

namespace {

constexpr size_t kMostHeadersShown = 40;

// Sort key of a value: numbers by value first, then texts by code point
// (UTF-8's byte order), then anything else by its text.
struct ValueKey {
  int32_t kind = 0;
  double number = 0;
  std::string text;
  bool operator<(const ValueKey& other) const {
    if (kind != other.kind) return kind < other.kind;
    if (number != other.number) return number < other.number;
    return text < other.text;
  }
};

std::vector<std::string> DistinctValues(const host::Worksheet& sheet, int32_t column, int32_t lastRow) {
  std::map<std::string, ValueKey> seen;
  for (int32_t row = 2; row <= lastRow; ++row) {
    const host::Value& value = sheet.CellValue(row, column);
    if (value.IsEmpty()) continue;
    std::string text = host::CellText(sheet, row, column);
    if (text.empty()) continue;
    if (seen.count(text) > 0) continue;
    ValueKey key{value.IsNumber() ? 0 : (value.IsText() ? 1 : 2), value.IsNumber() ? value.Number() : 0, text};
    seen.emplace(std::move(text), std::move(key));
  }
  std::vector<std::pair<ValueKey, std::string>> ordered;
  for (auto& [text, key] : seen) ordered.emplace_back(key, text);
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> values;
  for (auto& entry : ordered) values.push_back(std::move(entry.second));
  return values;
}

std::string Quoted(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "“" : "、“") + name + "”";
  return text;
}

}  // namespace

BalanceColumns FindBalanceColumns(const host::Worksheet& sheet, const std::vector<std::string>& names, int32_t lastRow) {
  BalanceColumns columns;
  for (const std::string& name : names) {
    const int32_t column = FindHeaderColumn(sheet, name);
    if (column == 0) {
      columns.missing.push_back(name);
      continue;
    }
    std::vector<std::string> values = DistinctValues(sheet, column, lastRow);
    if (values.size() > kMostBalanceValues) {
      columns.tooMany.emplace_back(name, values.size());
      continue;
    }
    columns.usable.push_back({name, column, std::move(values)});
  }
  return columns;
}

std::string MissingBalanceColumnsWarning(const host::Worksheet& sheet, const BalanceColumns& columns) {
  if (columns.missing.empty()) return "";
  std::vector<std::string> headers;
  for (int32_t column = 1;; ++column) {
    const std::string text = sheet.CellValue(1, column).IsError() ? "" : sheet.CellValue(1, column).ToText();
    if (text.empty()) break;
    headers.push_back(text);
  }
  std::string found;
  for (size_t h = 0; h < headers.size() && h < kMostHeadersShown; ++h) found += (found.empty() ? "" : "、") + headers[h];
  if (headers.size() > kMostHeadersShown) found += " 等 " + std::to_string(headers.size()) + " 列";
  return sheet.Name() + "第 1 行没有“均衡列”写的" + Quoted(columns.missing) + "列，没有分班。" + sheet.Name() +
         "的列名有：" + (found.empty() ? "（没有）" : found) +
         "。请在“均衡列”里写这些列名中的（几个列名用逗号或顿号分开），或者清空“均衡列”。";
}

std::string TooManyBalanceValuesNotice(const BalanceColumns& columns) {
  std::string text;
  for (const auto& [name, count] : columns.tooMany) {
    text += (text.empty() ? "" : "\r") + ("“" + name + "”有 " + std::to_string(count) + " 个不同的值，多于 " +
                                         std::to_string(kMostBalanceValues) + " 个，没有按它均衡，统计表里也不列它的人数。");
  }
  if (text.empty()) return "";
  return text + "\r“均衡列”适合值不多的列，如毕业学校、原班级。";
}

}  // namespace fenban::sheets
