// The "最大差" figures of the statistics sheet, worked out from a student
// list and an assignment without building the sheet, so that the refinement
// can say how the sheet changes and the benchmarks can measure it. Each
// figure is computed the way the statistics engine computes its column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "division/balance_features.h"

namespace fenban::division {

// The tables (and halves of tables) of the statistics sheet.
enum class SheetTable {
  ClassCounts,        // "各项人数统计": class size and category counts
  ScoreBands,         // "各项人数统计": the total-score band columns
  ExcellentCounts,    // "优秀人数统计(前N名)"
  PassCounts,         // "及格人数统计(前N名)"
  ExcellentAverages,  // "平均分统计(前N名)" over the excellent quota
  PassAverages,       // "平均分统计(前N名)" over the pass quota
};

// One column of the sheet: its header's name and its "最大差".
struct SheetColumn {
  SheetTable table;
  std::string name;  // "总人数", "性别", "总分≥520", a subject's name, ...
  double largest = 0;
};

// Every column of the sheet with its "最大差", table by table, left to right.
// The classes compared are those of list.comparedClasses; the band scores and
// the excellent and pass marks come from the whole year, as the sheet takes
// them. Averages add blanks as 0 and divide by the students taken, like the
// sheet; ties of the total fall to the subjects from the last listed back to
// the first, as the engine's run of sorts leaves them.
std::vector<SheetColumn> SheetDifferences(const StudentList& list, const std::vector<int32_t>& classOf);

// The value a category's column counts (see SheetDifferences): the first in
// the column's sort order among the first compared class's students.
int32_t SheetCountedCode(const StudentList& list, size_t category, const std::vector<int32_t>& classOf);

// The statistics sheet's columns as capped figures for the balance search,
// each capped at its "最大差" after the deal (list.classOf): every value of
// every category, the score bands, the excellent and pass counts and the
// averages over each class's best (as the search balances them: a class's
// best are its members among the year's best, so the average is the sheet's
// when the class holds the quota of them).
CappedColumns SheetCaps(const StudentList& list);

// The title of a table as the sheet writes it ("优秀人数统计(前20名)").
std::string SheetTableTitle(SheetTable table, const StudentList& list);

}  // namespace fenban::division
