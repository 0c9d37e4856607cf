#include "web/sheet_json.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <map>

#include "host/display_text.h"
#include "host/style.h"

namespace fenban::web {

using nlohmann::json;

namespace {

constexpr const char* kMaxDiffLabel = "最大差";

std::string ShownText(const host::Worksheet& sheet, int32_t row, int32_t column) {
  const host::Value& value = sheet.CellValue(row, column);
  if (value.IsEmpty()) return "";
  return host::DisplayText(value, sheet.CellFormat(row, column).numberFormat);
}

std::string HexColour(int32_t rgb) { return fmt::format("#{:06x}", rgb); }

std::string AlignName(int32_t alignment) {
  switch (alignment) {
    case host::kAlignLeft: return "left";
    case host::kAlignCenter: return "center";
    case host::kAlignRight: return "right";
    default: return "";
  }
}

json CellJson(const host::Worksheet& sheet, int32_t row, int32_t column) {
  json cell = {{"text", ShownText(sheet, row, column)}};
  host::CellStyle style = sheet.CellFormat(row, column);
  if (style.bold) cell["bold"] = true;
  if (style.fontSize >= 13) cell["large"] = true;
  if (style.fillColorIndex != host::kColorIndexNone) {
    int32_t rgb = host::PaletteRgb(style.fillColorIndex);
    if (rgb >= 0) cell["fill"] = HexColour(rgb);
  }
  if (style.fontColor != host::kColorAutomatic) cell["color"] = HexColour(host::BgrToRgb(style.fontColor));
  std::string align = AlignName(style.horizontalAlignment);
  if (!align.empty()) cell["align"] = align;
  bool bordered = false;
  for (int32_t line : style.borders) bordered = bordered || line != 0;
  if (bordered) cell["border"] = true;
  if (style.borders[host::kSideRight] == host::kLineDouble) cell["doubleRight"] = true;
  return cell;
}

json ValueJson(const host::Value& value) {
  if (value.IsNumber()) return value.Number();
  if (value.IsBoolean()) return value.Bool();
  if (value.IsEmpty()) return nullptr;
  return value.ToText();
}

bool IsMaxDiffRow(const host::Worksheet& sheet, int32_t row) {
  const host::Value& label = sheet.CellValue(row, 1);
  return label.IsText() && label.Text() == kMaxDiffLabel;
}

}  // namespace

json GridJson(const host::Worksheet& sheet) {
  host::Rect used = sheet.UsedRect();
  std::map<std::pair<int32_t, int32_t>, host::Rect> mergeStarts;
  for (const host::Rect& area : sheet.MergedAreas()) mergeStarts[{area.row1, area.col1}] = area;
  auto covered = [&](int32_t row, int32_t column) {
    for (const host::Rect& area : sheet.MergedAreas()) {
      if (area.Contains(row, column) && !(area.row1 == row && area.col1 == column)) return true;
    }
    return false;
  };
  json rows = json::array();
  for (int32_t row = 1; row <= used.row2; ++row) {
    json cells = json::array();
    for (int32_t column = 1; column <= used.col2; ++column) {
      if (covered(row, column)) continue;
      json cell = CellJson(sheet, row, column);
      auto merged = mergeStarts.find({row, column});
      if (merged != mergeStarts.end()) cell["span"] = merged->second.Columns();
      cells.push_back(std::move(cell));
    }
    rows.push_back({{"row", row}, {"maxDiff", IsMaxDiffRow(sheet, row)}, {"cells", std::move(cells)}});
  }
  return {{"name", sheet.Name()}, {"columns", used.col2}, {"rows", std::move(rows)}};
}

std::vector<host::Value> StudentKey(const host::Worksheet& sheet, int32_t row) {
  std::vector<host::Value> key;
  int32_t lastColumn = sheet.CurrentRegion(DivisionHeaderRow(sheet), 1).col2;
  for (int32_t column = 3; column <= lastColumn; ++column) key.push_back(sheet.CellValue(row, column));
  return key;
}

std::string StudentId(const std::vector<host::Value>& key) {
  uint64_t hash = 14695981039346656037ull;
  auto add = [&hash](const std::string& bytes) {
    for (unsigned char c : bytes) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
  };
  for (const host::Value& value : key) {
    // The kind goes in too, so that the number 1 and the text "1" differ.
    add(value.IsNumber() ? "n" : value.IsText() ? "t" : value.IsBoolean() ? "b" : value.IsEmpty() ? "e" : "x");
    add(value.IsNumber() ? fmt::format("{}", value.Number()) : value.IsEmpty() ? "" : value.ToText());
    add(std::string(1, '\0'));
  }
  return fmt::format("{:016x}", hash);
}

namespace {

// The division table's classes in sheet order, those that `wanted` takes.
json DivisionClasses(const host::Worksheet& sheet, const std::function<bool(const std::string&)>& wanted) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  int32_t lastColumn = table.col2;
  json classes = json::array();
  std::string currentLabel;
  bool taken = false;
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    const host::Value& classValue = sheet.CellValue(row, 1);
    if (classValue.IsEmpty()) break;
    std::string label = ShownText(sheet, row, 1);
    if (row == headerRow + 1 || label != currentLabel) {
      currentLabel = label;
      taken = wanted(label);
      if (taken) classes.push_back({{"label", label}, {"value", ValueJson(classValue)}, {"students", json::array()}});
    }
    if (!taken) continue;
    json cells = json::array();
    for (int32_t column = 2; column <= lastColumn; ++column) cells.push_back(ShownText(sheet, row, column));
    classes.back()["students"].push_back(
        {{"row", row}, {"id", StudentId(StudentKey(sheet, row))}, {"cells", std::move(cells)}});
  }
  return classes;
}

json DivisionWith(const host::Worksheet& sheet, json classes) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  int32_t lastColumn = sheet.CurrentRegion(headerRow, 1).col2;
  json headers = json::array();
  for (int32_t column = 2; column <= lastColumn; ++column) headers.push_back(ShownText(sheet, headerRow, column));
  std::string title = headerRow == 2 ? ShownText(sheet, 1, 2) : "";
  return {{"name", sheet.Name()}, {"title", title}, {"headers", std::move(headers)}, {"classes", std::move(classes)}};
}

}  // namespace

json DivisionJson(const host::Worksheet& sheet) {
  return DivisionWith(sheet, DivisionClasses(sheet, [](const std::string&) { return true; }));
}

json DivisionPartJson(const host::Worksheet& sheet, const std::vector<std::string>& labels) {
  auto wanted = [&labels](const std::string& label) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
  };
  json division = DivisionWith(sheet, DivisionClasses(sheet, wanted));
  division["part"] = true;
  return division;
}

MaxDiffRows ReadMaxDiffRows(const host::Worksheet& statistics) {
  MaxDiffRows rows;
  host::Rect used = statistics.UsedRect();
  for (int32_t row = 1; row <= used.row2; ++row) {
    if (!IsMaxDiffRow(statistics, row)) continue;
    std::vector<std::optional<double>> numbers;
    for (int32_t column = 2; column <= used.col2; ++column) {
      const host::Value& value = statistics.CellValue(row, column);
      numbers.push_back(value.IsNumber() ? std::optional<double>(value.Number()) : std::nullopt);
    }
    rows.push_back(std::move(numbers));
  }
  return rows;
}

void MarkMaxDiffChanges(json& grid, const host::Worksheet& statistics, const MaxDiffRows& before) {
  MaxDiffRows after = ReadMaxDiffRows(statistics);
  if (after.size() != before.size()) return;
  size_t index = 0;
  for (json& row : grid["rows"]) {
    if (!row["maxDiff"].get<bool>()) continue;
    const auto& old = before[index];
    const auto& now = after[index];
    ++index;
    int32_t sheetRow = row["row"].get<int32_t>();
    // Cells of a "最大差" row are never merged, so cell i is column i + 1.
    json& cells = row["cells"];
    for (size_t i = 1; i < cells.size() && i - 1 < old.size() && i - 1 < now.size(); ++i) {
      if (!old[i - 1] || !now[i - 1]) continue;
      auto column = static_cast<int32_t>(i + 1);
      std::string format = statistics.CellFormat(sheetRow, column).numberFormat;
      std::string oldText = host::DisplayText(host::Value(*old[i - 1]), format);
      cells[i]["before"] = oldText;
      if (*now[i - 1] < *old[i - 1] - 1e-9) {
        cells[i]["change"] = "better";
      } else if (*now[i - 1] > *old[i - 1] + 1e-9) {
        cells[i]["change"] = "worse";
      }
    }
  }
}

}  // namespace fenban::web
