// The class assignment: random tie order, the top block, balance groups cut
// to multiples of k, serpentine dealing, and the preset classes.
#include <algorithm>
#include <array>

#include "division/division.h"
#include "division/work_table.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/range.h"
#include "host/value.h"
#include "sheets/lookups.h"

namespace fenban::division {
namespace {

using sheets::kWarningTitle;
constexpr const char* kNoCurrentColumn = "数据表没有“应届”列，不应该勾选“应届”项！";
constexpr const char* kNoBoardingColumn = "数据表没有“住校”列，不应该勾选“住校”项！";
constexpr const char* kNoSexColumn = "数据表没有“性别”列，不应该勾选“性别”项！";

// The group table: entry(g) is the first row of group g, entry(g + 1) the
// first row after it. Ten entries, so at most nine groups; an index beyond
// them is a subscript error.
class GroupTable {
 public:
  int32_t& Entry(int32_t index) {
    if (index < 1 || index > kEntries) host::Raise(host::kErrSubscript);
    return entries_[static_cast<size_t>(index - 1)];
  }

 private:
  static constexpr int32_t kEntries = 10;
  std::array<int32_t, kEntries> entries_{};
};

// Step 1: random keys, then the two sorts that leave the students in
// descending total order with equal totals in random order. The keys go
// into the "序号" column, empty below its header until the statistics
// number the students: a column of their own right of the table would widen
// every row of the table while it is sorted (a tenth more memory for a
// million students).
void RankWithRandomTies(host::Application& app, host::Worksheet& work, const WorkTable& table) {
  constexpr int32_t kKeyColumn = 2;
  app.Randomize();
  const double rowCount = table.rowCount;
  for (int32_t row = 2; row <= table.rowCount; ++row) {
    work.SetCellValue(row, kKeyColumn, host::IntegerPart(app.Rnd() * rowCount));
  }
  SortTableDescending(work, kKeyColumn);
  SortTableDescending(work, table.totalColumn);
  if (table.rowCount >= 2) host::Range(work, host::Rect{2, kKeyColumn, table.rowCount, kKeyColumn}).Clear();
}

// Step 2: moves the best students to "JZB" from its row 1 and numbers them by
// rank alone. A top block larger than the class takes only the existing
// student rows. Returns the number of rows moved.
int32_t MoveTopBlock(host::Worksheet& work, host::Worksheet& topSheet, int32_t topBlock, int32_t lastCol,
                     int32_t k) {
  const int32_t topRows = std::min(topBlock, TableRowCount(work) - 1);
  if (topRows == 0) return 0;
  const host::Range block(work, host::Rect{2, 1, topRows + 1, lastCol});  // a negative size is refused here
  block.Copy(topSheet.Cells(1, 1));
  block.Delete(host::kShiftUp);
  DealSerpentine(topSheet, 1, topRows, k, true);
  return topRows;
}

// Step 3: the balance sorts, current-year first and sex last (the most
// significant key). Returns the first ticked column, 0 when none, or -1 after
// showing the message of a ticked box whose column is missing.
int32_t SortByBalanceColumns(host::Application& app, host::Worksheet& work, const WorkTable& table,
                             BalanceFlags flags) {
  struct Balance {
    bool ticked;
    int32_t column;
    const char* missingMessage;
  };
  const std::array<Balance, 3> balances = {{
      {flags.current, table.currentColumn, kNoCurrentColumn},
      {flags.boarding, table.boardingColumn, kNoBoardingColumn},
      {flags.sex, table.sexColumn, kNoSexColumn},
  }};
  int32_t groupCol = 0;
  for (const Balance& balance : balances) {
    if (!balance.ticked) continue;
    if (balance.column == 0) {
      app.MsgBox(balance.missingMessage, host::kMsgExclamation, kWarningTitle);
      return -1;
    }
    SortTableDescending(work, balance.column);
    if (groupCol == 0) groupCol = balance.column;
  }
  return groupCol;
}

// The row where the next cut goes on "SYB": below its last used row, row 2
// while it holds nothing but perhaps a header row.
int32_t NextLeftoverRow(host::Worksheet& leftovers) {
  const host::Rect used = leftovers.UsedRect();
  return std::max(2, used.row2 + 1);
}

// Step 4: cuts every run of groupCol to a multiple of k; the cut rows (the
// lowest-scoring of their run) wait on "SYB" in cut order, then go to the
// bottom of the table. Returns the row count of the cut table, before the
// leftover rows were appended.
int32_t CutGroupsToMultiples(host::Worksheet& work, host::Worksheet& leftovers, int32_t groupCol, int32_t lastCol,
                             int32_t k) {
  int32_t rowCount = TableRowCount(work);
  int32_t start = 2;
  while (start < rowCount) {
    const int32_t last = sheets::LastRowOfRun(work, start, rowCount, groupCol);
    if (k == 0) host::Raise(host::kErrDivisionByZero);
    const int32_t extra = (last - 1) % k;
    if (extra == 0) {
      start = last + 1;
      continue;
    }
    const host::Range cut(work, host::Rect{last - extra + 1, 1, last, lastCol});
    cut.Copy(leftovers.Cells(NextLeftoverRow(leftovers), 1));
    cut.Delete(host::kShiftUp);
    start = last - extra + 1;
    rowCount = TableRowCount(work);
  }
  work.Rows(1).Copy(leftovers.Cells(1, 1));
  const host::Range collected = leftovers.Cells(1, 1).CurrentRegion();
  if (collected.RowsCount() > 1) {
    host::Range(leftovers, host::Rect{2, 1, collected.Area().row2, lastCol}).Copy(work.Cells(rowCount + 1, 1));
    leftovers.Cells().Clear();
  }
  return rowCount;
}

// Step 5: the groups are the runs of groupCol in the cut table, and the
// leftover rows (with a run that starts at the cut table's last row) form the
// last group. Without a group column all students form one group. Returns
// the number of groups.
int32_t BuildGroupTable(host::Worksheet& work, GroupTable& groups, int32_t groupCol, int32_t cutRowCount) {
  groups.Entry(1) = 2;
  int32_t g = 2;
  if (groupCol != 0) {
    int32_t start = 2;
    while (start < cutRowCount) {
      const int32_t last = sheets::LastRowOfRun(work, start, cutRowCount, groupCol);
      groups.Entry(g) = last + 1;
      ++g;
      start = last + 1;
    }
  }
  groups.Entry(g) = TableRowCount(work) + 1;
  return g - 1;
}

// Step 6: odd groups are dealt upward, then even groups downward, each afresh.
void DealGroups(host::Worksheet& work, GroupTable& groups, int32_t groupCount, int32_t k) {
  for (int32_t g = 1; g <= groupCount; g += 2) {
    DealSerpentine(work, groups.Entry(g), groups.Entry(g + 1) - 1, k, true);
  }
  for (int32_t g = 2; g <= groupCount; g += 2) {
    DealSerpentine(work, groups.Entry(g), groups.Entry(g + 1) - 1, k, false);
  }
}

}  // namespace

bool AssignClasses(host::Application& app, host::Worksheet& work, const WorkTable& table, int32_t k,
                   int32_t topBlock, BalanceFlags flags) {
  host::Worksheet& topSheet = HostSheet(app, kTopBlockSheetName);
  host::Worksheet& leftovers = HostSheet(app, kLeftoverSheetName);

  RankWithRandomTies(app, work, table);
  const int32_t lastCol = table.spareColumn - 1;

  const bool anyFlag = flags.current || flags.boarding || flags.sex;
  int32_t topRows = 0;
  if (anyFlag && topBlock != 0) topRows = MoveTopBlock(work, topSheet, topBlock, lastCol, k);

  const int32_t groupCol = SortByBalanceColumns(app, work, table, flags);
  if (groupCol < 0) return false;

  int32_t cutRowCount = TableRowCount(work);
  if (groupCol != 0) cutRowCount = CutGroupsToMultiples(work, leftovers, groupCol, lastCol, k);

  GroupTable groups;
  const int32_t groupCount = BuildGroupTable(work, groups, groupCol, cutRowCount);
  DealGroups(work, groups, groupCount, k);

  if (topBlock != 0) {
    if (topRows > 0) {
      host::Range(topSheet, host::Rect{1, 1, topRows, lastCol}).Copy(work.Cells(TableRowCount(work) + 1, 1));
    }
    topSheet.Cells().Clear();
  }

  const int32_t rowCount = TableRowCount(work);
  SortTableDescending(work, table.totalColumn);
  return ApplyPresetClasses(app, work, table.totalColumn, rowCount);
}

}  // namespace fenban::division
