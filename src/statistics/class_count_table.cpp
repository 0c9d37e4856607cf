// The class count table of the statistics sheet: class labels and sizes,
// category counts in columns C to E, and one column per total-score band.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "host/cell_values.h"
#include "host/errors.h"
#include "host/text_compare.h"
#include "sheets/lookups.h"
#include "statistics/engine_data.h"

namespace fenban::statistics {

void WriteClassCountTable(EngineData& data) {
  WriteClassList(data);
  data.earlySortsMatter = EarlySortsMatter(data);
  WriteCategoryCounts(data);
  WriteScoreBands(data);
}

void WriteClassList(EngineData& data) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  const int32_t classCount = data.classCount;
  if (classCount < 1) host::Raise(host::kErrSubscript);

  data.rowCount = division.Cells(1, 1).CurrentRegion().RowsCount();
  const int32_t rowCount = data.rowCount;
  data.classLabel.assign(static_cast<size_t>(classCount) + 1, host::Value());
  data.classEnd.assign(static_cast<size_t>(classCount) + 1, 0);
  data.classCounts.assign(static_cast<size_t>(classCount) + 1, 0);

  SortDivision(data, 1, host::kAscending);
  stats.SetCellValue(1, 1, host::Value("新班级"));

  // Distinct labels in sorted order; the scan stops after the classCount-th.
  host::Value currentLabel = division.CellValue(2, 1);
  (void)host::CellText(division, 2, 1);  // an error value ends the table here
  int32_t j = 1;
  for (int32_t r = 3; r <= rowCount; ++r) {
    if (host::CellSameText(division, r, 1, currentLabel)) continue;
    const host::Value& value = division.CellValue(r, 1);
    if (j == classCount) break;
    data.classLabel[static_cast<size_t>(j)] = currentLabel;
    ++j;
    currentLabel = value;
  }
  data.classLabel[static_cast<size_t>(j)] = currentLabel;

  for (int32_t c = 1; c <= classCount; ++c) {
    stats.SetCellValue(c + 1, 1, data.classLabel[static_cast<size_t>(c)]);
  }
  stats.SetCellValue(classCount + 2, 1, host::Value("最大差"));
  stats.SetCellValue(1, 2, host::Value("总人数"));

  data.classEnd[0] = 1;
  int32_t start = 2;
  for (int32_t c = 1; c <= classCount; ++c) {
    data.classEnd[static_cast<size_t>(c)] = sheets::LastRowOfRun(division, start, rowCount, 1);
    start = data.classEnd[static_cast<size_t>(c)] + 1;
  }
  for (int32_t c = 1; c <= classCount; ++c) {
    stats.SetCellValue(c + 1, 2, host::Value(data.LastRowOf(c) - data.classEnd[static_cast<size_t>(c - 1)]));
  }
}

namespace {

// The row a sort by class and `column` would bring to row 2: the first of
// the students with the least value among those of the first class, found
// without sorting. 0 when the sort is needed: the sort may raise; an error
// value in the column is reported by the row the sort leaves it in; and of
// equal numbers 0 and -0 the sort's order decides which is read.
int32_t FirstCategoryRow(EngineData& data, int32_t column) {
  const host::Worksheet& division = *data.division;
  if (data.earlySortsMatter) return 0;
  const host::Rect area = data.division->Cells(1, 1).CurrentRegion().Area();
  if (column < area.col1 || column > area.col2) return 0;
  const host::Value& firstLabel = division.CellValue(2, 1);
  bool inFirstClass = true;  // the first class as the sort groups it: equal keys
  int32_t best = 2;
  for (int32_t row = 2; row <= area.row2; ++row) {
    const host::Value& value = division.CellValue(row, column);
    if (value.IsError()) return 0;
    if (!inFirstClass) continue;
    const host::Value& label = division.CellValue(row, 1);
    inFirstClass = !SortBefore(firstLabel, label) && !SortBefore(label, firstLabel);
    if (inFirstClass && SortBefore(value, division.CellValue(best, column))) best = row;
  }
  const host::Value& found = division.CellValue(best, column);
  return found.IsNumber() && found.Number() == 0 ? 0 : best;
}

// One category column: the header names the value of the first student of
// class 1, and every class counts its students with exactly that value.
void WriteCategoryColumn(EngineData& data, const std::string& category, int32_t sourceColumn,
                         int32_t tableColumn) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  int32_t firstRow = FirstCategoryRow(data, sourceColumn);
  if (firstRow == 0) {
    SortDivision(data, 1, host::kAscending, sourceColumn, host::kAscending);
    firstRow = 2;
  }
  const host::Value counted = division.CellValue(firstRow, sourceColumn);
  const std::string countedText = host::CellText(division, firstRow, sourceColumn);
  stats.SetCellValue(1, tableColumn, host::Value(category + "\n" + countedText));
  for (int32_t c = 1; c <= data.classCount; ++c) {
    int32_t count = 0;
    for (int32_t r = data.FirstRowOf(c); r <= data.LastRowOf(c); ++r) {
      if (host::CellSameText(division, r, sourceColumn, counted)) ++count;
    }
    data.classCounts[static_cast<size_t>(c)] = count;
    stats.SetCellValue(c + 1, tableColumn, host::Value(count));
  }
}

}  // namespace

void WriteCategoryCounts(EngineData& data) {
  // The band columns follow the last column written among A to E.
  int32_t lastColumn = 2;
  if (data.sexColumn != 0) {
    WriteCategoryColumn(data, "性别", data.sexColumn, 3);
    lastColumn = 3;
  }
  if (data.boardingColumn != 0) {
    WriteCategoryColumn(data, "住校", data.boardingColumn, 4);
    lastColumn = 4;
  }
  if (data.graduateColumn != 0) {
    WriteCategoryColumn(data, "应届", data.graduateColumn, 5);
    lastColumn = 5;
  }
  data.firstBandColumn = lastColumn + 1;
}

void WriteScoreBands(EngineData& data) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  const int32_t classCount = data.classCount;

  data.bandCount = BandCountFor(data.rowCount, classCount);
  data.bandScore.assign(static_cast<size_t>(data.bandCount) + 1, 0);
  std::vector<int32_t> bandRows;
  for (int32_t g = 1; g <= data.bandCount; ++g) {
    const int64_t row = static_cast<int64_t>(g) * classCount * 5 + 1;
    bandRows.push_back(row > host::kMaxRows ? 0 : static_cast<int32_t>(row));
  }
  // With every total a number, the students of a class at or above a band
  // are counted in any order; the sort by class and total is left to the
  // average table, whose own sort by the same keys decides the order.
  const auto marks = RankedMarks(data, data.totalColumn, bandRows);
  if (marks) {
    std::copy(marks->begin(), marks->end(), data.bandScore.begin() + 1);
  } else {
    SortDivision(data, data.totalColumn, host::kDescending);
    for (int32_t g = 1; g <= data.bandCount; ++g) {
      const int64_t row = static_cast<int64_t>(g) * classCount * 5 + 1;
      if (row > host::kMaxRows) host::Raise(host::kErrHost);
      data.bandScore[static_cast<size_t>(g)] = IntegerMark(division, static_cast<int32_t>(row), data.totalColumn);
    }
    SortDivision(data, 1, host::kAscending, data.totalColumn, host::kDescending);
  }

  // Per class its totals, highest first, when counted without the sort.
  std::vector<std::vector<double>> classTotals;
  if (marks) {
    classTotals.resize(static_cast<size_t>(classCount) + 1);
    for (int32_t c = 1; c <= classCount; ++c) {
      std::vector<double>& totals = classTotals[static_cast<size_t>(c)];
      for (int32_t r = data.FirstRowOf(c); r <= data.LastRowOf(c); ++r) {
        totals.push_back(host::CellNumber(division, r, data.totalColumn));
      }
      std::sort(totals.begin(), totals.end(), std::greater<double>());
    }
  }
  for (int32_t g = 1; g <= data.bandCount; ++g) {
    const int32_t column = data.firstBandColumn + g - 1;
    const int32_t score = data.bandScore[static_cast<size_t>(g)];
    stats.SetCellValue(1, column, host::Value("总分\n≥" + host::NumberToText(score)));
    for (int32_t c = 1; c <= classCount; ++c) {
      int32_t count = 0;
      if (marks) {
        const std::vector<double>& totals = classTotals[static_cast<size_t>(c)];
        const auto below = std::lower_bound(totals.begin(), totals.end(), static_cast<double>(score),
                                            [](double total, double mark) { return total >= mark; });
        count = static_cast<int32_t>(below - totals.begin());
      } else {
        count = sheets::CountRowsAtLeast(division, data.FirstRowOf(c), data.LastRowOf(c), data.totalColumn, score);
      }
      data.classCounts[static_cast<size_t>(c)] = count;
      stats.SetCellValue(c + 1, column, host::Value(count));
    }
  }
}

}  // namespace fenban::statistics
