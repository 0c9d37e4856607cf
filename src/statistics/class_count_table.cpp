// The class count table of the statistics sheet: class labels and sizes,
// category counts in columns C to E, and one column per total-score band.
#include <algorithm>
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

// One category column: the header names the value of the first student of
// class 1, and every class counts its students with exactly that value.
void WriteCategoryColumn(EngineData& data, const std::string& category, int32_t sourceColumn,
                         int32_t tableColumn) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  SortDivision(data, 1, host::kAscending, sourceColumn, host::kAscending);
  const host::Value counted = division.CellValue(2, sourceColumn);
  const std::string countedText = host::CellText(division, 2, sourceColumn);
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
  if (const auto marks = RankedMarks(data, data.totalColumn, bandRows)) {
    std::copy(marks->begin(), marks->end(), data.bandScore.begin() + 1);
  } else {
    SortDivision(data, data.totalColumn, host::kDescending);
    for (int32_t g = 1; g <= data.bandCount; ++g) {
      const int64_t row = static_cast<int64_t>(g) * classCount * 5 + 1;
      if (row > host::kMaxRows) host::Raise(host::kErrHost);
      data.bandScore[static_cast<size_t>(g)] = IntegerMark(division, static_cast<int32_t>(row), data.totalColumn);
    }
  }

  SortDivision(data, 1, host::kAscending, data.totalColumn, host::kDescending);
  for (int32_t g = 1; g <= data.bandCount; ++g) {
    const int32_t column = data.firstBandColumn + g - 1;
    const int32_t score = data.bandScore[static_cast<size_t>(g)];
    stats.SetCellValue(1, column, host::Value("总分\n≥" + host::NumberToText(score)));
    for (int32_t c = 1; c <= classCount; ++c) {
      data.classCounts[static_cast<size_t>(c)] =
          sheets::CountRowsAtLeast(division, data.FirstRowOf(c), data.LastRowOf(c), data.totalColumn, score);
      stats.SetCellValue(c + 1, column, host::Value(data.classCounts[static_cast<size_t>(c)]));
    }
  }
}

}  // namespace fenban::statistics
