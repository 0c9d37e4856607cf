// Steps the division routines share: the working sheets of the host
// workbook, the size and the descending sort of a work table, and the
// serpentine dealing of class numbers.
#pragma once

#include <cstdint>
#include <string>

#include "host/application.h"
#include "host/worksheet.h"

namespace fenban::division {

inline constexpr const char* kWorkSheetName = "FBB";      // the work table
inline constexpr const char* kTopBlockSheetName = "JZB";  // the top block while the rest is grouped
inline constexpr const char* kLeftoverSheetName = "SYB";  // rows cut from the groups

// A sheet of the host workbook by exact name; error 9 when it is missing.
host::Worksheet& HostSheet(host::Application& app, const std::string& name);
// Rows of the current region of A1, header row included.
int32_t TableRowCount(host::Worksheet& sheet);
// Sorts the current region of A1 by `column`, descending, keeping row 1 in place.
void SortTableDescending(host::Worksheet& sheet, int32_t column);
// Writes class numbers into column 1 of rows firstRow..lastRow in serpentine
// order: 1, 2, ..., k, k, ..., 1, 1, 2, ... when upward, k, ..., 1, 1, ... otherwise.
void DealSerpentine(host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t k, bool upward);
// Copies the current region of A1 to A1 of `destination` a block of rows at
// a time, each block cleared from `work` once it is copied, so that the two
// tables are not held whole at once (with a million students each is about
// 600 MB); then clears `work`. The work table is pasted as values and has no
// merged cells that a block could cut (nor could an automation host list
// them).
inline constexpr int32_t kMoveBlockRows = 20000;
void MoveWorkTable(host::Worksheet& work, host::Worksheet& destination, int32_t blockRows = kMoveBlockRows);

}  // namespace fenban::division
