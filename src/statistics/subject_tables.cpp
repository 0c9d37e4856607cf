// The subject count table (excellent and pass counts per subject) and the
// subject average table (means over each class's best totals).
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>

#include "host/cell_values.h"
#include "host/errors.h"
#include "sheets/lookups.h"
#include "sheets/workbook_layout.h"
#include "statistics/engine_data.h"

namespace fenban::statistics {

namespace {

using Entry = sheets::EntryTemplate;

void WriteTableFrame(EngineData& data, int32_t headerRow) {
  host::Worksheet& stats = *data.statistics;
  stats.SetCellValue(headerRow, 1, host::Value("新班级"));
  for (int32_t c = 1; c <= data.classCount; ++c) {
    stats.SetCellValue(headerRow + c, 1, data.classLabel[static_cast<size_t>(c)]);
  }
  stats.SetCellValue(headerRow + data.classCount + 1, 1, host::Value("最大差"));
}

}  // namespace

void FindSubjects(EngineData& data) {
  host::Worksheet& entrySheet = host::Worksheets(data.app->ThisWorkbook())(Entry::kSheetName);
  std::vector<std::string> candidateName{"总分"};
  for (int32_t r = Entry::kFirstSubjectRow; r <= Entry::kLastSubjectRow; ++r) {
    std::string text = host::CellText(entrySheet, r, Entry::kSubjectColumn);
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

namespace {

// The row of the student ranked classCount * quota overall (after a
// descending sort); nothing when it lies beyond a whole number.
std::optional<int32_t> RankedRowIfValid(int32_t classCount, int32_t quota) {
  const int64_t row = static_cast<int64_t>(classCount) * quota + 1;
  if (row > std::numeric_limits<int32_t>::max() || row < std::numeric_limits<int32_t>::min()) return std::nullopt;
  return static_cast<int32_t>(row);
}

int32_t RankedRow(int32_t classCount, int32_t quota) {
  const auto row = RankedRowIfValid(classCount, quota);
  if (!row) host::Raise(host::kErrOverflow);
  return *row;
}

void WriteCountHeader(EngineData& data, int32_t subject, int32_t column, int32_t mark) {
  data.statistics->SetCellValue(data.classCount + 5, column,
                                host::Value(data.subjectName[static_cast<size_t>(subject)] + "\n≥" +
                                            host::NumberToText(mark)));
}

void WriteClassCounts(EngineData& data, int32_t column) {
  for (int32_t c = 1; c <= data.classCount; ++c) {
    data.statistics->SetCellValue(data.classCount + 5 + c, column,
                                  host::Value(data.classCounts[static_cast<size_t>(c)]));
  }
}

// One block of counts: per subject the mark reached by the student ranked
// classCount * quota, and per class the students at or above it, counted down
// each class after sorting it by the subject.
void WriteCountBlock(EngineData& data, int32_t quota, int32_t firstColumn) {
  host::Worksheet& division = *data.division;
  int32_t j = firstColumn;
  for (int32_t s = 0; s < data.SubjectCount(); ++s) {
    const int32_t column = data.subjectColumn[static_cast<size_t>(s)];
    const int32_t rankedRow = RankedRow(data.classCount, quota);
    int32_t mark = 0;
    if (const auto marks = RankedMarks(data, column, {rankedRow})) {
      mark = marks->front();
    } else {
      SortDivision(data, column, host::kDescending);
      mark = IntegerMark(division, rankedRow, column);
    }
    SortDivision(data, 1, host::kAscending, column, host::kDescending);
    WriteCountHeader(data, s, j, mark);
    for (int32_t c = 1; c <= data.classCount; ++c) {
      data.classCounts[static_cast<size_t>(c)] =
          sheets::CountRowsAtLeast(division, data.FirstRowOf(c), data.LastRowOf(c), column, mark);
    }
    WriteClassCounts(data, j);
    ++j;
  }
}

// The marks of both count blocks, [subject][0] excellent and [subject][1]
// pass, and the students of each class at or above them, when the
// per-subject sorts of the count blocks can be left out: every mark is found
// without sorting (see RankedMarks), every student row has a class, and the
// rows of each class hold one and the same label, so that a sort by class and
// subject keeps each class in its rows and puts its counted students first.
// Nothing otherwise.
struct UnsortedCounts {
  std::vector<std::array<int32_t, 2>> marks;                    // [subject][block]
  std::vector<std::array<std::vector<int32_t>, 2>> classCounts;  // [subject][block][class]
};

std::optional<UnsortedCounts> CountWithoutSorting(EngineData& data) {
  const auto excellentRow = RankedRowIfValid(data.classCount, data.excellentQuota);
  const auto passRow = RankedRowIfValid(data.classCount, data.passQuota);
  if (!excellentRow || !passRow) return std::nullopt;
  const host::Worksheet& division = *data.division;
  const int32_t lastRow = data.division->Cells(1, 1).CurrentRegion().Area().row2;
  if (data.LastRowOf(data.classCount) > lastRow) return std::nullopt;
  for (int32_t row = 2; row <= lastRow; ++row) {
    if (division.CellValue(row, 1).IsEmpty()) return std::nullopt;
  }
  for (int32_t c = 1; c <= data.classCount; ++c) {
    const int32_t first = data.FirstRowOf(c);
    if (first > lastRow) break;
    const host::Value& label = division.CellValue(first, 1);
    for (int32_t row = first + 1; row <= data.LastRowOf(c); ++row) {
      if (!(division.CellValue(row, 1) == label)) return std::nullopt;
    }
  }
  UnsortedCounts result;
  const auto classes = static_cast<size_t>(data.classCount) + 1;
  std::vector<double> scores;
  for (const int32_t column : data.subjectColumn) {
    const auto found = RankedMarks(data, column, {*excellentRow, *passRow}, &scores);
    if (!found) return std::nullopt;
    const std::array<int32_t, 2> mark{(*found)[0], (*found)[1]};
    // Every student row holds a number here, so the students of a class at
    // or above a mark are the ones a count down the sorted class would reach.
    std::array<std::vector<int32_t>, 2> counts{std::vector<int32_t>(classes, 0), std::vector<int32_t>(classes, 0)};
    for (int32_t c = 1; c <= data.classCount; ++c) {
      for (int32_t row = data.FirstRowOf(c); row <= data.LastRowOf(c); ++row) {
        const double score = scores[static_cast<size_t>(row - 2)];
        if (score >= mark[0]) ++counts[0][static_cast<size_t>(c)];
        if (score >= mark[1]) ++counts[1][static_cast<size_t>(c)];
      }
    }
    result.marks.push_back(mark);
    result.classCounts.push_back(std::move(counts));
  }
  return result;
}

// Both count blocks from counts taken without sorting.
void WriteCountBlocksUnsorted(EngineData& data, const UnsortedCounts& counts) {
  for (size_t block = 0; block < 2; ++block) {
    int32_t j = block == 0 ? 2 : data.topWidth + 1;
    for (int32_t s = 0; s < data.SubjectCount(); ++s) {
      WriteCountHeader(data, s, j, counts.marks[static_cast<size_t>(s)][block]);
      data.classCounts = counts.classCounts[static_cast<size_t>(s)][block];
      WriteClassCounts(data, j);
      ++j;
    }
    if (block == 0) data.topWidth = data.statistics->Cells(data.classCount + 5, 1).CurrentRegion().ColumnsCount();
  }
}

// Puts the division sheet in the order the left-out sorts would have left
// it in once the average block has sorted it by class and total. A run of
// stable sorts orders the rows by the last sort's keys, ties by the keys of
// the one before, and so on; a key already used by a later sort adds
// nothing. The count blocks sorted by class and each subject in turn (the
// excellent block's sorts repeat the pass block's), so after the final sort
// ties in class and total fall to the subjects from the last listed back to
// the first. Those keys are applied here two at a time, least weighty first.
void OrderTiesAsSubjectSorts(EngineData& data) {
  std::vector<int32_t> keys;  // weightiest first
  for (auto it = data.subjectColumn.rbegin(); it != data.subjectColumn.rend(); ++it) {
    const int32_t column = *it;
    if (column == 1 || column == data.totalColumn) continue;
    if (std::find(keys.begin(), keys.end(), column) == keys.end()) keys.push_back(column);
  }
  size_t end = keys.size();
  while (end >= 2) {
    SortDivision(data, keys[end - 2], host::kDescending, keys[end - 1], host::kDescending);
    end -= 2;
  }
  if (end == 1) SortDivision(data, keys[0], host::kDescending);
}

// One block of averages over the `quota` best totals of each class, once the
// division sheet is sorted by class and total.
void WriteAverageBlock(EngineData& data, int32_t quota, int32_t firstColumn) {
  host::Worksheet& division = *data.division;
  host::Worksheet& stats = *data.statistics;
  const int32_t headerRow = 2 * data.classCount + 9;
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

  if (const auto counts = CountWithoutSorting(data)) {
    WriteCountBlocksUnsorted(data, *counts);
    OrderTiesAsSubjectSorts(data);
  } else {
    WriteCountBlock(data, data.excellentQuota, 2);
    data.topWidth = data.statistics->Cells(classCount + 5, 1).CurrentRegion().ColumnsCount();
    WriteCountBlock(data, data.passQuota, data.topWidth + 1);
  }

  WriteTableFrame(data, 2 * classCount + 9);
  // A second sort by the same keys would leave every row in place.
  SortDivision(data, 1, host::kAscending, data.totalColumn, host::kDescending);
  WriteAverageBlock(data, data.excellentQuota, 2);
  WriteAverageBlock(data, data.passQuota, data.topWidth + 1);
}

}  // namespace fenban::statistics
