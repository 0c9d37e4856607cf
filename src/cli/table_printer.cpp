#include "cli/table_printer.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include <fmt/format.h>

#include "host/value.h"
#include "host/worksheet.h"

namespace fenban::cli {

namespace {

constexpr const char* kClassHeader = "新班级";
constexpr const char* kDiffLabel = "最大差";
// Total-score bands shown in the terminal; the sheet has them all.
constexpr size_t kShownBands = 10;

// The rows of one table of the statistics sheet.
struct TableRows {
  int32_t header = 0;
  int32_t diff = 0;
  int32_t lastColumn = 0;
};

std::string TextAt(const host::Worksheet& sheet, int32_t row, int32_t column) {
  const host::Value& value = sheet.CellValue(row, column);
  return value.IsText() ? std::string(value.Text()) : std::string();
}

int32_t LastFilledColumn(const host::Worksheet& sheet, int32_t row, int32_t maxColumn) {
  for (int32_t c = maxColumn; c >= 1; --c) {
    if (!sheet.CellValue(row, c).IsEmpty()) return c;
  }
  return 0;
}

// Finds the tables: each "最大差" row in column A closes the table whose header
// row is the nearest row above it with "新班级" in column A.
std::vector<TableRows> FindTables(const host::Worksheet& sheet) {
  host::Rect used = sheet.UsedRect();
  std::vector<TableRows> tables;
  int32_t header = 0;
  for (int32_t r = 1; r <= used.row2; ++r) {
    std::string label = TextAt(sheet, r, 1);
    if (label == kClassHeader) {
      header = r;
    } else if (label == kDiffLabel && header > 0) {
      tables.push_back({header, r, LastFilledColumn(sheet, header, used.col2)});
      header = 0;
    }
  }
  return tables;
}

// "语文\n≥120" -> {"语文", "≥120"}.
std::pair<std::string, std::string> SplitHeader(const std::string& text) {
  size_t lineFeed = text.find('\n');
  if (lineFeed == std::string::npos) return {text, ""};
  return {text.substr(0, lineFeed), text.substr(lineFeed + 1)};
}

// The columns of the class count table to print: every column but the
// total-score bands, and at most kShownBands bands spread evenly from the
// highest to the lowest. Sets bandCount to the number of bands there are.
std::vector<int32_t> ShownColumns(const host::Worksheet& sheet, const TableRows& table, int32_t& bandCount) {
  std::vector<int32_t> columns, bands;
  for (int32_t c = 1; c <= table.lastColumn; ++c) {
    bool band = TextAt(sheet, table.header, c).rfind("总分\n", 0) == 0;
    (band ? bands : columns).push_back(c);
  }
  bandCount = static_cast<int32_t>(bands.size());
  if (bands.size() <= kShownBands) {
    columns.insert(columns.end(), bands.begin(), bands.end());
    return columns;
  }
  for (size_t i = 0; i < kShownBands; ++i) {
    size_t index = (i * (bands.size() - 1) + (kShownBands - 1) / 2) / (kShownBands - 1);
    columns.push_back(bands[index]);
  }
  return columns;
}

void PrintClassCountTable(std::ostream& out, const host::Worksheet& sheet, const TableRows& table, size_t width) {
  int32_t bandCount = 0;
  std::vector<int32_t> columns = ShownColumns(sheet, table, bandCount);
  TextTable rows;
  for (int32_t r = table.header; r <= table.diff; ++r) {
    std::vector<std::string> row;
    for (int32_t c : columns) row.push_back(CellText(sheet.CellValue(r, c)));
    rows.push_back(std::move(row));
  }
  out << FormatTable(rows, false, width);
  if (static_cast<size_t>(bandCount) > kShownBands) {
    out << fmt::format("（总分共 {} 档，这里列出 {} 档；全部见统计表 showing {} of {} score bands）\n", bandCount,
                       kShownBands, kShownBands, bandCount);
  }
}

// One line per subject: the marks of the two halves and the "最大差" of the
// subject count table, and the "最大差" of the two halves of the average table.
void PrintSubjectDifferences(std::ostream& out, const host::Worksheet& sheet, const TableRows& counts,
                             const TableRows* averages, size_t width) {
  int32_t subjectCount = (counts.lastColumn - 1) / 2;
  if (subjectCount < 1) return;
  auto title = [&](int32_t row, int32_t column) {
    return row >= 1 ? CellText(sheet.CellValue(row, column)) : std::string();
  };
  std::string excellentTitle = title(counts.header - 1, 1);
  std::string passTitle = title(counts.header - 1, subjectCount + 2);
  TextTable rows;
  std::vector<std::string> head = {"科目", "优秀线", excellentTitle.empty() ? "优秀人数" : excellentTitle,
                                   "及格线", passTitle.empty() ? "及格人数" : passTitle};
  if (averages != nullptr) {
    head.push_back(title(averages->header - 1, 1));
    head.push_back(title(averages->header - 1, subjectCount + 2));
  }
  rows.push_back(head);
  for (int32_t s = 1; s <= subjectCount; ++s) {
    auto [name, excellentMark] = SplitHeader(TextAt(sheet, counts.header, 1 + s));
    auto passMark = SplitHeader(TextAt(sheet, counts.header, 1 + subjectCount + s)).second;
    std::vector<std::string> row = {name, excellentMark, CellText(sheet.CellValue(counts.diff, 1 + s)),
                                    passMark, CellText(sheet.CellValue(counts.diff, 1 + subjectCount + s))};
    if (averages != nullptr) {
      row.push_back(CellText(sheet.CellValue(averages->diff, 1 + s), true));
      row.push_back(CellText(sheet.CellValue(averages->diff, 1 + subjectCount + s), true));
    }
    rows.push_back(std::move(row));
  }
  out << "各科最大差 largest difference between classes:\n" << FormatTable(rows, false, width);
}

}  // namespace

namespace {

// The rows of the given columns, padded to their widths.
std::string FormatColumns(const TextTable& rows, const std::vector<size_t>& widths,
                          const std::vector<size_t>& columns, bool allLeft) {
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (size_t c : columns) {
      std::string cell = c < row.size() ? row[c] : std::string();
      std::string padding(widths[c] - host::DisplayWidth(cell), ' ');
      if (!line.empty() || c != columns.front()) line += "  ";
      line += (c == 0 || allLeft) ? cell + padding : padding + cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

}  // namespace

std::string FormatTable(const TextTable& rows, bool allLeft, size_t maxWidth) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], host::DisplayWidth(row[c]));
  }
  if (widths.empty()) return std::string(rows.size(), '\n');
  // Too wide for the terminal: the columns go in parts, one below the other,
  // each part led by the first column.
  std::string text;
  std::vector<size_t> part = {0};
  size_t used = widths[0];
  for (size_t c = 1; c < widths.size(); ++c) {
    if (maxWidth > 0 && part.size() > 1 && used + 2 + widths[c] > maxWidth) {
      text += FormatColumns(rows, widths, part, allLeft) + "\n";
      part = {0};
      used = widths[0];
    }
    part.push_back(c);
    used += 2 + widths[c];
  }
  return text + FormatColumns(rows, widths, part, allLeft);
}

void PrintStatisticsSummary(std::ostream& out, host::Worksheet& statisticsSheet, size_t width) {
  std::vector<TableRows> tables = FindTables(statisticsSheet);
  std::string title = TextAt(statisticsSheet, 1, 1);
  out << (title.empty() ? statisticsSheet.Name() : title) << '\n';
  if (tables.empty()) {
    out << "（统计表里没有找到表格 no tables found）\n";
    return;
  }
  PrintClassCountTable(out, statisticsSheet, tables[0], width);
  std::string report = TextAt(statisticsSheet, tables[0].diff + 1, 1);
  if (!report.empty()) out << report << '\n';
  if (tables.size() >= 2) {
    PrintSubjectDifferences(out, statisticsSheet, tables[1], tables.size() >= 3 ? &tables[2] : nullptr, width);
  }
}

}  // namespace fenban::cli
