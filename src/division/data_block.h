// The student list on "数据表" is the block of filled cells around A1. A
// value beyond it, after a blank row or column, would be left out of the
// division without a word; the division refuses such a sheet instead.
#pragma once

#include <string>

#include "host/worksheet.h"

namespace fenban::division {

// The warning for values outside the block around A1 of the data sheet: it
// names the blank rows or columns, where the values beyond begin and what to
// do. Empty when the sheet holds no value outside the block. Costs a look at
// both ends of each row, not a walk over every cell.
std::string ValuesOutsideListWarning(const host::Worksheet& dataSheet);

// Reads every student's total (column `totalHeader`) on the data sheet itself (rows 2 to the end
// of the block around A1) as a number, as the division and its statistics
// will. A total they could not use ("缺考", an error value) raises error 13
// naming the cell of "数据表" where the teacher finds it, before any work.
void CheckTotals(const host::Worksheet& dataSheet, const std::string& totalHeader = "总分");

}  // namespace fenban::division
