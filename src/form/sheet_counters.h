// Where "DTB" keeps the two sheet counters of each data workbook: one row per
// workbook from row 2 down, the next sheet number in column A, the number not
// to hand out in column B, and the workbook's file name in column Z, far right
// of the option columns of row 2. The name ties the counters to the workbook,
// so adding or removing files in the data folder does not move them. Rows
// without a name come from host workbooks of earlier versions, which kept the
// counters by list position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/worksheet.h"

namespace fenban::form {

inline constexpr int32_t kCounterNameColumn = 26;  // "Z"
inline constexpr const char* kCounterNameHeader = "表号所属工作簿";

// The counters row of `bookName` (at list position listIndex): the row that
// names it; else the row of its list position when that row names no
// workbook (an earlier version's row, adopted); else the first row whose
// counters and name are all empty.
int32_t FindCounterRow(const host::Worksheet& settings, const std::string& bookName, int32_t listIndex);
// FindCounterRow, after which the row names the workbook (and Z1 holds its
// header). Every other unnamed row with counters is named after the list
// entry at its position too (unless that entry has a row already), so that
// the first run after an earlier version ties all its rows to their
// workbooks while the list still matches them.
int32_t ClaimCounterRow(host::Worksheet& settings, const std::string& bookName, int32_t listIndex,
                        const std::vector<std::string>& listItems);

// The data folder's listing as start-up puts it into the list box, so that
// position i names entry i; empty when the folder cannot be listed.
std::vector<std::string> ListedDataWorkbooks(host::Application& app);

}  // namespace fenban::form
