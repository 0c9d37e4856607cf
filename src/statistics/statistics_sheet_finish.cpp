// Completes the statistics sheet: "最大差" rows, borders and fills, the
// subject tables' titles, column widths, the duplicate-name report, the sheet
// title and the page layout.
#include <string>

#include "host/errors.h"
#include "statistics/engine_data.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

namespace {

constexpr int32_t kLightGreen = 35;  // Interior.ColorIndex of header and "最大差" rows
constexpr int32_t kRed = 255;        // Font.Color of the duplicate-name report

// Borders, fills, bold "最大差" row and its values for one table.
void FrameTable(EngineData& data, int32_t headerRow, int32_t diffRow, int32_t lastColumn) {
  host::Worksheet& stats = *data.statistics;
  const int32_t k = data.classCount;
  Area(stats, headerRow, 1, diffRow, lastColumn).GetBorders().SetLineStyle(host::kLineContinuous);
  Area(stats, headerRow, 1, headerRow, lastColumn).GetInterior().SetColorIndex(kLightGreen);
  Area(stats, diffRow, 1, diffRow, lastColumn).GetInterior().SetColorIndex(kLightGreen);
  stats.Rows(diffRow).GetFont().SetBold(true);
  const std::string formula = "=MAX(R[-" + std::to_string(k) + "]C:R[-1]C)-MIN(R[-" + std::to_string(k) +
                              "]C:R[-1]C)";
  for (int32_t i = 2; i <= lastColumn; ++i) {
    const host::Range cell = stats.Cells(diffRow, i);
    cell.SetFormulaR1C1(formula);
    const host::Value result = cell.GetValue();
    cell.SetValue(result);
  }
}

void DoubleLineAfterTop(EngineData& data, int32_t headerRow, int32_t diffRow) {
  Area(*data.statistics, headerRow, data.topWidth, diffRow, data.topWidth)
      .GetBorders(host::kEdgeRight)
      .SetLineStyle(host::kLineDouble);
}

void WriteTitle(host::Worksheet& sheet, int32_t row, int32_t firstColumn, int32_t lastColumn,
                const std::string& text) {
  const host::Range title = Area(sheet, row, firstColumn, row, lastColumn);
  MergeArea(title);
  title.GetFont().SetSize(14);
  title.GetFont().SetBold(true);
  title.Cells(1, 1).SetValue(host::Value(text));
}

void WriteHalfTitles(EngineData& data, int32_t headerRow, int32_t subjectWidth, const std::string& firstTitle,
                     const std::string& secondTitle) {
  host::Worksheet& stats = *data.statistics;
  const int32_t titleRow = headerRow - 1;
  stats.Rows(titleRow).SetRowHeight(21);
  WriteTitle(stats, titleRow, 1, data.topWidth, firstTitle);
  WriteTitle(stats, titleRow, data.topWidth + 1, subjectWidth, secondTitle);
}

std::string QuotaTitle(const std::string& prefix, int32_t quota) {
  return prefix + "(前" + std::to_string(quota) + "名)";
}

// A value as a header cell shows it: in lines of at most four characters,
// as even as they come ("第二十三中学" in two lines of three), so that long
// names (of schools) stay readable in the sheet's narrow columns.
std::string HeaderText(const std::string& value) {
  constexpr size_t kLongestLine = 4;
  const size_t length = host::CharCount(value);
  const size_t lines = (length + kLongestLine - 1) / kLongestLine;
  const size_t line = lines > 0 ? (length + lines - 1) / lines : kLongestLine;
  std::string text;
  size_t characters = 0;
  for (const char byte : value) {
    const bool starts = (static_cast<unsigned char>(byte) & 0xC0) != 0x80;  // not a UTF-8 continuation byte
    if (starts && characters > 0 && characters % line == 0) text += '\n';
    if (starts) ++characters;
    text += byte;
  }
  return text;
}

// The "均衡列" tables from `titleRow` down: per column a title, the header
// row of its values, one row per class and a "最大差" row, one empty row
// between tables.
void WriteBalanceTables(EngineData& data, int32_t titleRow) {
  host::Worksheet& stats = *data.statistics;
  const int32_t k = data.classCount;
  for (const EngineData::BalanceTable& table : data.balanceTables) {
    const int32_t headerRow = titleRow + 1;
    const int32_t lastColumn = 1 + static_cast<int32_t>(table.values.size());
    stats.Rows(titleRow).SetRowHeight(21);
    WriteTitle(stats, titleRow, 1, lastColumn, table.name + "人数统计");
    stats.SetCellValue(headerRow, 1, host::Value("新班级"));
    for (size_t v = 0; v < table.values.size(); ++v) {
      stats.SetCellValue(headerRow, 2 + static_cast<int32_t>(v), host::Value(HeaderText(table.values[v])));
    }
    for (int32_t c = 1; c <= k; ++c) {
      stats.SetCellValue(headerRow + c, 1, data.classLabel[static_cast<size_t>(c)]);
      const std::vector<int32_t>& counts = table.counts[static_cast<size_t>(c - 1)];
      for (size_t v = 0; v < counts.size(); ++v) stats.SetCellValue(headerRow + c, 2 + static_cast<int32_t>(v), counts[v]);
    }
    const int32_t diffRow = headerRow + k + 1;
    stats.SetCellValue(diffRow, 1, host::Value("最大差"));
    FrameTable(data, headerRow, diffRow, lastColumn);
    titleRow = diffRow + 2;
  }
}

}  // namespace

void FinishStatisticsSheet(EngineData& data) {
  host::Worksheet& stats = *data.statistics;
  const int32_t k = data.classCount;
  stats.Parent().Activate();
  stats.Activate();
  stats.Cells().SetHorizontalAlignment(host::kAlignCenter);

  // The class count table reaches to its last header column, even when an
  // absent category leaves an empty column inside it.
  const int32_t tableWidth = data.firstBandColumn + data.bandCount - 1;
  const int32_t subjectWidth = 2 * data.topWidth - 1;
  FrameTable(data, 1, k + 2, tableWidth);

  int32_t headerRow = k + 5;
  int32_t diffRow = 2 * k + 6;
  FrameTable(data, headerRow, diffRow, subjectWidth);
  DoubleLineAfterTop(data, headerRow, diffRow);
  WriteHalfTitles(data, headerRow, subjectWidth, QuotaTitle("优秀人数统计", data.excellentQuota),
                  QuotaTitle("及格人数统计", data.passQuota));

  headerRow = 2 * k + 9;
  diffRow = 3 * k + 10;
  Area(stats, headerRow, 2, diffRow, subjectWidth).SetNumberFormatLocal("0.0");
  FrameTable(data, headerRow, diffRow, subjectWidth);
  DoubleLineAfterTop(data, headerRow, diffRow);
  WriteHalfTitles(data, headerRow, subjectWidth, QuotaTitle("平均分统计", data.excellentQuota),
                  QuotaTitle("平均分统计", data.passQuota));

  stats.Columns(2).AutoFit();
  stats.Cells().SetColumnWidth(stats.Columns(2).ColumnWidth());
  WriteBalanceTables(data, diffRow + 2);

  if (host::CharCount(data.duplicateReport) == 7) data.duplicateReport += "无";
  const host::Range reportCell = stats.Cells(k + 3, 1);
  reportCell.SetValue(host::Value(FitReportToCell(data.duplicateReport)));
  reportCell.SetHorizontalAlignment(host::kAlignLeft);
  reportCell.GetFont().SetColor(kRed);

  stats.Rows(1).Insert(host::kShiftDown);
  stats.Rows(1).SetRowHeight(21);
  WriteTitle(stats, 1, 1, tableWidth, "各项人数统计(" + data.statisticsSheetName + ")");

  SetStatisticsPageLayout(stats);
  data.app->ActiveWindow().SetZoom(90);
}

}  // namespace fenban::statistics
