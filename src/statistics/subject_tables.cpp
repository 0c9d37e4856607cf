// The subject count table (excellent and pass counts per subject) and the
// subject average table (means over each class's best totals).
#include <limits>
#include <string>

#include "host/errors.h"
#include "sheets/lookups.h"
#include "statistics/engine_data.h"

namespace fenban::statistics {

namespace {

// The subject-name slots of the entry template: A2 to A20 of "登记表".
constexpr int32_t kFirstSubjectSlot = 2;
constexpr int32_t kLastSubjectSlot = 20;

void WriteTableFrame(EngineData& data, int32_t headerRow) {
  host::Worksheet& stats = *data.statistics;
  stats.SetCellValue(headerRow, 1, host::Value("新班级"));
  for (int32_t c = 1; c <= data.classCount; ++c) {
    stats.SetCellValue(headerRow + c, 1, data.classLabel[static_cast<size_t>(c)]);
  }
  stats.SetCellValue(headerRow + data.classCount + 1, 1, host::Value("最大差"));
}

void FindSubjects(EngineData& data) {
  host::Worksheet& entrySheet = host::Worksheets(data.app->ThisWorkbook())("登记表");
  std::vector<std::string> candidateName{"总分"};
  for (int32_t r = kFirstSubjectSlot; r <= kLastSubjectSlot; ++r) {
    std::string text = entrySheet.CellValue(r, 1).ToText();
    if (!text.empty()) candidateName.push_back(std::move(text));
  }
  data.subjectName.clear();
  data.subjectColumn.clear();
  for (const std::string& candidate : candidateName) {
    const int32_t column = sheets::FindHeaderColumn(*data.division, candidate);
    if (column != 0) {
      data.subjectName.push_back(candidate);
      data.subjectColumn.push_back(column);
    }
  }
}

// The row of the student ranked classCount * quota overall (after a descending sort).
int32_t RankedRow(int32_t classCount, int32_t quota) {
  const int64_t row = static_cast<int64_t>(classCount) * quota + 1;
  if (row > std::numeric_limits<int32_t>::max() || row < std::numeric_limits<int32_t>::min()) {
    host::Raise(host::kErrOverflow);
  }
  return static_cast<int32_t>(row);
}

// One block of counts: per subject the mark reached by the student ranked
// classCount * quota, and per class the students at or above it.
void WriteCountBlock(EngineData& data, int32_t quota, int32_t firstColumn) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  const int32_t headerRow = data.classCount + 5;
  int32_t j = firstColumn;
  for (int32_t s = 0; s < data.SubjectCount(); ++s) {
    const int32_t column = data.subjectColumn[static_cast<size_t>(s)];
    const int32_t rankedRow = RankedRow(data.classCount, quota);
    int32_t mark = 0;
    if (const auto marks = RankedMarks(data, column, {rankedRow})) {
      mark = marks->front();
    } else {
      SortDivision(data, column, host::kDescending);
      mark = IntegerMark(division.Cells(rankedRow, column).GetValue());
    }
    SortDivision(data, 1, host::kAscending, column, host::kDescending);
    stats.SetCellValue(headerRow, j,
                       host::Value(data.subjectName[static_cast<size_t>(s)] + "\n≥" + host::NumberToText(mark)));
    for (int32_t c = 1; c <= data.classCount; ++c) {
      data.classCounts[static_cast<size_t>(c)] =
          sheets::CountRowsAtLeast(division, data.FirstRowOf(c), data.LastRowOf(c), column, mark);
    }
    for (int32_t c = 1; c <= data.classCount; ++c) {
      stats.SetCellValue(headerRow + c, j, host::Value(data.classCounts[static_cast<size_t>(c)]));
    }
    ++j;
  }
}

// One block of averages over the `quota` best totals of each class.
void WriteAverageBlock(EngineData& data, int32_t quota, int32_t firstColumn) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  const int32_t headerRow = 2 * data.classCount + 9;
  SortDivision(data, 1, host::kAscending, data.totalColumn, host::kDescending);
  int32_t j = firstColumn;
  for (int32_t s = 0; s < data.SubjectCount(); ++s) {
    const int32_t column = data.subjectColumn[static_cast<size_t>(s)];
    stats.SetCellValue(headerRow, j, host::Value(data.subjectName[static_cast<size_t>(s)]));
    for (int32_t c = 1; c <= data.classCount; ++c) {
      stats.SetCellValue(headerRow + c, j,
                         TopAverage(division, data.FirstRowOf(c), data.LastRowOf(c), column, quota));
    }
    ++j;
  }
}

}  // namespace

void WriteSubjectTables(EngineData& data) {
  const int32_t classCount = data.classCount;
  WriteTableFrame(data, classCount + 5);
  FindSubjects(data);

  WriteCountBlock(data, data.excellentQuota, 2);
  data.topWidth = data.statistics->Cells(classCount + 5, 1).CurrentRegion().ColumnsCount();
  WriteCountBlock(data, data.passQuota, data.topWidth + 1);

  WriteTableFrame(data, 2 * classCount + 9);
  WriteAverageBlock(data, data.excellentQuota, 2);
  WriteAverageBlock(data, data.passQuota, data.topWidth + 1);
}

}  // namespace fenban::statistics
