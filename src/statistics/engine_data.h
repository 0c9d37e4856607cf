// Working data of one BuildDivisionStatistics call, shared by its steps, and
// the small helpers the steps have in common. Internal to the statistics layer
// (tests include it to check single steps).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "form/module_state.h"
#include "host/application.h"
#include "host/range.h"
#include "host/value.h"
#include "host/worksheet.h"

namespace fenban::statistics {

struct EngineData {
  host::Application* app = nullptr;
  const form::ModuleState* state = nullptr;
  host::Worksheet* division = nullptr;    // the division sheet
  host::Worksheet* statistics = nullptr;  // the statistics sheet
  std::string statisticsSheetName;

  int32_t classCount = 0;
  int32_t excellentQuota = 0;
  int32_t passQuota = 0;

  // Columns of the division sheet, 0 when the header is absent.
  int32_t nameColumn = 0;
  int32_t sexColumn = 0;
  int32_t boardingColumn = 0;
  int32_t graduateColumn = 0;
  int32_t totalColumn = 0;

  int32_t rowCount = 0;                 // rows of the table, header included
  std::vector<host::Value> classLabel;  // [1..classCount]; [0] unused
  std::vector<int32_t> classEnd;        // [0..classCount]; classEnd[0] = 1
  std::vector<int32_t> classCounts;     // [1..classCount]; scratch per statistic

  int32_t bandCount = 0;
  std::vector<int32_t> bandScore;  // [1..bandCount]; [0] unused
  int32_t firstBandColumn = 0;

  std::vector<std::string> subjectName;  // [0..subjectCount-1]
  std::vector<int32_t> subjectColumn;
  int32_t topWidth = 0;  // 1 + subjectCount

  std::string duplicateReport;

  // Whether the order of students tied in class, total and every subject
  // can show in what the engine writes; while it cannot, the sorts by class
  // and category are left out (see EarlySortsMatter).
  bool earlySortsMatter = true;

  // The "均衡列" tables below the others, one per column: its header, its
  // values as texts (sorted as FindBalanceColumns sorts them) and per class
  // the students of each value ([class - 1][value]).
  struct BalanceTable {
    std::string name;
    std::vector<std::string> values;
    std::vector<std::vector<int32_t>> counts;
  };
  std::vector<std::string> balanceNames;  // as the option names them
  std::vector<BalanceTable> balanceTables;

  int32_t SubjectCount() const { return static_cast<int32_t>(subjectName.size()); }
  int32_t FirstRowOf(int32_t c) const { return classEnd[static_cast<size_t>(c - 1)] + 1; }
  int32_t LastRowOf(int32_t c) const { return classEnd[static_cast<size_t>(c)]; }
};

// Steps of BuildDivisionStatistics, in the order it runs them.
void WriteClassCountTable(EngineData& data);
void WriteSubjectTables(EngineData& data);
void ReportDuplicateNames(EngineData& data);
void FinishDivisionSheet(EngineData& data);
void FinishStatisticsSheet(EngineData& data);

// Parts of the steps.
void WriteClassList(EngineData& data);       // class labels, classEnd, class sizes
void WriteCategoryCounts(EngineData& data);  // columns C to E
void WriteScoreBands(EngineData& data);      // total-score band columns
// Counts the students of every value of the "均衡列" per class, while the
// division sheet is sorted by class. Columns the sheet lacks, and columns of
// too many values, get no table.
void CountBalanceColumns(EngineData& data);

// The subjects of the tables: "总分" and the subjects of the entry sheet
// that the division sheet has a column for.
void FindSubjects(EngineData& data);

// Whether students tied in class (as the class ranges give it), total and
// every subject column exist, so that the order the sorts by class and
// category leave them in reaches the average table and the final order of
// the division sheet. Also true when a key is not a number in every student
// row, or the sheet holds fewer than two students. Runs after WriteClassList.
bool EarlySortsMatter(EngineData& data);
// Whether a sort in ascending order puts value a before value b: numbers,
// then texts (in code point order), Booleans, errors, empty cells last.
bool SortBefore(const host::Value& a, const host::Value& b);

// Sorts the current region of A1 of the division sheet, header row kept; the
// keys are the header cells of the given columns (key2Column 0 = one key).
void SortDivision(EngineData& data, int32_t key1Column, int32_t order1, int32_t key2Column = 0,
                  int32_t order2 = host::kAscending);

// The integer marks a descending sort by `column` (as SortDivision sorts)
// would bring to the given sheet rows, found without sorting. Only when every
// student row holds a number in that column and every mark fits a whole
// number; otherwise nothing, and the caller sorts and reads as usual. Callers
// use it where the next sort has the same column, descending, as its second
// key: that sort alone leaves the sheet in the order both sorts would.
// When `scores` is given it receives the column's numbers of the student rows
// (rows 2 down), in sheet order.
std::optional<std::vector<int32_t>> RankedMarks(EngineData& data, int32_t column, const std::vector<int32_t>& rows,
                                                std::vector<double>* scores = nullptr);

// A rectangle of a sheet as a Range; the corners may come in any order.
host::Range Area(host::Worksheet& sheet, int32_t row1, int32_t column1, int32_t row2, int32_t column2);

// bandCount for a table of rowCount rows (header included) and classCount classes:
// rowCount \ (classCount * 5) - 1, raised to 1, and 150 when above 200.
// classCount 0 raises error 11.
int32_t BandCountFor(int32_t rowCount, int32_t classCount);

// The integer part of a cell's value as a whole number (empty = 0); non-numeric
// text raises error 13, a value beyond 32 bits error 6, both naming the cell.
int32_t IntegerMark(const host::Worksheet& sheet, int32_t row, int32_t column);

// The mean of the top `quota` numeric scores of rows firstRow..lastRow of a
// column, taken over min(quota, class size) rows. A class without rows gives an
// empty value; quota 0 raises error 11.
host::Value TopAverage(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column,
                       int32_t quota);

// The short date text with every "-" replaced by ".".
std::string DateText(const std::string& shortDate);

// The workbook name without its extension (".xlsx", ".xls", ...): the text
// before its last dot, or the whole name when it has none.
std::string BookTitle(const std::string& bookName);

// The duplicate-name report as one cell can hold it: a report longer than a
// cell's 32,767 characters ends after the last whole entry that fits, followed
// by "……", instead of failing the whole division.
std::string FitReportToCell(const std::string& report);

// Merges the area unless it is a single cell (merging one cell changes nothing).
void MergeArea(const host::Range& area);

}  // namespace fenban::statistics
