// The division sheet shows each column of the data sheet in its number format
// (dates as dates, marks with their decimals), although the work table that
// it is copied from holds values only.
#pragma once

#include "host/rect.h"
#include "host/worksheet.h"

namespace fenban::division {

// For every column of `table` on the data sheet whose numbers mostly share a
// number format other than General, gives that format to the student rows of
// the same column of the division sheet, which stands two columns further
// right (behind "新班级" and "序号").
void KeepColumnNumberFormats(const host::Worksheet& dataSheet, const host::Rect& table, host::Worksheet& division);

}  // namespace fenban::division
