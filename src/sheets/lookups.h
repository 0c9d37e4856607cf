// Read-only lookups every command uses. They read cell by cell through the
// Worksheet interface and stop as early as their rule allows.
#pragma once

#include <cstdint>
#include <string>

#include "host/workbook.h"
#include "host/worksheet.h"
#include "sheets/workbook_layout.h"  // the conventions the lookups serve

namespace fenban::sheets {

// True when a sheet of the workbook is named exactly `name`.
bool SheetExists(host::Workbook& book, const std::string& name);
// Column of `header` in row 1, left of the first empty header cell; 0 when not found.
int32_t FindHeaderColumn(const host::Worksheet& sheet, const std::string& header);
// Last row of the run of cells equal (as text) to (firstRow, column); firstRow - 1 when firstRow > lastRow.
int32_t LastRowOfRun(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column);
// Number of rows of that run; 0 when firstRow > lastRow.
int32_t CountRunRows(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column);
// Rows from firstRow whose value is at least threshold, up to the first one below it.
int32_t CountRowsAtLeast(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t column,
                         int32_t threshold);

}  // namespace fenban::sheets
