// BuildDivisionStatistics: the engine's entry and the helpers its steps share.
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "host/cell_values.h"
#include "host/errors.h"
#include "sheets/lookups.h"
#include "statistics/engine_data.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

void BuildDivisionStatistics(host::Application& app, const form::ModuleState& state, int32_t classCount,
                             int32_t excellentQuota, int32_t passQuota, int32_t /*topN*/,
                             const std::string& divisionSheetName, const std::string& statisticsSheetName,
                             const std::vector<std::string>& balanceColumns) {
  EngineData data;
  data.balanceNames = balanceColumns;
  data.app = &app;
  data.state = &state;
  data.classCount = classCount;
  data.excellentQuota = excellentQuota;
  data.passQuota = passQuota;
  data.statisticsSheetName = statisticsSheetName;

  host::Workbook& book = host::Workbooks(app)(state.DataBookName);
  data.division = &host::Worksheets(book)(divisionSheetName);
  data.division->Activate();

  data.nameColumn = sheets::FindHeaderColumn(*data.division, "姓名");
  data.sexColumn = sheets::FindHeaderColumn(*data.division, "性别");
  data.boardingColumn = sheets::FindHeaderColumn(*data.division, "住校");
  data.graduateColumn = sheets::FindHeaderColumn(*data.division, "应届");
  data.totalColumn = sheets::FindHeaderColumn(*data.division, "总分");
  if (data.totalColumn == 0) {
    app.MsgBox("分班表没有“总分”列，不能统计！", host::kMsgExclamation, sheets::kWarningTitle);
    return;
  }
  data.statistics = &host::Worksheets(book)(statisticsSheetName);

  WriteClassCountTable(data);
  CountBalanceColumns(data);
  WriteSubjectTables(data);
  ReportDuplicateNames(data);
  FinishDivisionSheet(data);
  FinishStatisticsSheet(data);
}

void SortDivision(EngineData& data, int32_t key1Column, int32_t order1, int32_t key2Column, int32_t order2) {
  host::Worksheet& sheet = *data.division;
  host::Range region = sheet.Cells(1, 1).CurrentRegion();
  if (key2Column == 0) {
    region.Sort(sheet.Cells(1, key1Column), order1, host::kHeaderYes);
  } else {
    region.Sort(sheet.Cells(1, key1Column), order1, sheet.Cells(1, key2Column), order2, host::kHeaderYes);
  }
}

std::optional<std::vector<int32_t>> RankedMarks(EngineData& data, int32_t column, const std::vector<int32_t>& rows,
                                                std::vector<double>* scores) {
  const host::Worksheet& sheet = *data.division;
  const host::Rect area = data.division->Cells(1, 1).CurrentRegion().Area();
  if (column < area.col1 || column > area.col2) return std::nullopt;  // the sort refuses such a key
  std::vector<double> numbers;
  numbers.reserve(static_cast<size_t>(std::max(0, area.row2 - area.row1)));
  for (int32_t row = area.row1 + 1; row <= area.row2; ++row) {
    const host::Value& value = sheet.CellValue(row, column);
    if (!value.IsNumber()) return std::nullopt;
    numbers.push_back(value.Number());
  }
  if (scores != nullptr) *scores = numbers;
  // Equal numbers are interchangeable, so the order among them does not
  // matter here; only the ranks asked for are put in place.
  size_t deepest = 0;
  for (const int32_t row : rows) {
    if (row > area.row1 && row <= area.row2) deepest = std::max(deepest, static_cast<size_t>(row - area.row1));
  }
  if (deepest > 0) {
    const auto end = numbers.begin() + static_cast<std::ptrdiff_t>(deepest);
    std::nth_element(numbers.begin(), end - 1, numbers.end(), std::greater<double>());
    std::sort(numbers.begin(), end - 1, std::greater<double>());
  }
  std::vector<int32_t> marks;
  for (const int32_t row : rows) {
    if (row < 1 || row > host::kMaxRows) return std::nullopt;  // the read after the sort fails
    double number = 0;
    if (row > area.row1 && row <= area.row2) {
      number = numbers[static_cast<size_t>(row - area.row1 - 1)];
    } else {
      // Rows outside the table are not moved by the sort.
      const host::Value& value = sheet.CellValue(row, column);
      if (!value.IsNumber() && !value.IsEmpty()) return std::nullopt;
      number = value.IsNumber() ? value.Number() : 0;
    }
    const double whole = host::IntegerPart(number);
    if (!(whole >= std::numeric_limits<int32_t>::min() && whole <= std::numeric_limits<int32_t>::max())) {
      return std::nullopt;
    }
    marks.push_back(static_cast<int32_t>(whole));
  }
  return marks;
}

host::Range Area(host::Worksheet& sheet, int32_t row1, int32_t column1, int32_t row2, int32_t column2) {
  host::Rect rect;
  rect.row1 = std::min(row1, row2);
  rect.row2 = std::max(row1, row2);
  rect.col1 = std::min(column1, column2);
  rect.col2 = std::max(column1, column2);
  return host::Range(sheet, rect);
}

int32_t BandCountFor(int32_t rowCount, int32_t classCount) {
  if (classCount == 0) host::Raise(host::kErrDivisionByZero);
  const int64_t perBand = static_cast<int64_t>(classCount) * 5;
  int64_t bandCount = static_cast<int64_t>(rowCount) / perBand - 1;
  if (bandCount < 1) bandCount = 1;
  if (bandCount > 200) bandCount = 150;
  return static_cast<int32_t>(bandCount);
}

int32_t IntegerMark(const host::Worksheet& sheet, int32_t row, int32_t column) {
  const double number = host::CellNumber(sheet, row, column);
  try {
    return host::RoundToLong(host::IntegerPart(number));
  } catch (const host::RuntimeError& error) {
    host::RaiseAtCell(error, sheet, row, column);
  }
}

host::Value TopAverage(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column,
                       int32_t quota) {
  if (quota == 0) host::Raise(host::kErrDivisionByZero);
  const int64_t size = static_cast<int64_t>(lastRow) - firstRow + 1;
  const int64_t taken = std::min<int64_t>(quota, size);
  if (taken <= 0) return host::Value();
  double sum = 0;
  for (int64_t i = 0; i < taken; ++i) {
    const host::Value& value = sheet.CellValue(static_cast<int32_t>(firstRow + i), column);
    // A sum over cells adds numbers only; an error value makes the sum fail.
    if (value.IsError()) {
      host::RaiseAtCell(host::RuntimeError(host::kErrTypeMismatch, host::DefaultDescription(host::kErrTypeMismatch)),
                        sheet, static_cast<int32_t>(firstRow + i), column);
    }
    if (value.IsNumber()) sum += value.Number();
  }
  return host::Value(sum / static_cast<double>(taken));
}

std::string DateText(const std::string& shortDate) {
  std::string text = shortDate;
  std::replace(text.begin(), text.end(), '-', '.');
  return text;
}

std::string BookTitle(const std::string& bookName) {
  const size_t dot = bookName.rfind('.');
  return dot == std::string::npos ? bookName : bookName.substr(0, dot);
}

std::string FitReportToCell(const std::string& report) {
  constexpr size_t kCellCharacters = 32767;
  const std::string ellipsis = "……";
  if (host::CharCount(report) <= kCellCharacters) return report;
  std::string kept = host::LeftChars(report, kCellCharacters - host::CharCount(ellipsis));
  const size_t lastEntry = kept.rfind("；");
  if (lastEntry != std::string::npos) kept.resize(lastEntry + std::string("；").size());
  return kept + ellipsis;
}

void MergeArea(const host::Range& area) {
  if (area.RowsCount() == 1 && area.ColumnsCount() == 1) return;
  area.Merge();
}

}  // namespace fenban::statistics
