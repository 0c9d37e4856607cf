// The check a written workbook passes before it may replace the old file:
// read back with the program's own reader, it must hold what the model holds.
#pragma once

#include <string>

#include "host/model_workbook.h"

namespace fenban::files {

// Reads the .xlsx file at path one sheet at a time and compares each cell
// with book as it streams past, without building a second model: the sheets, their names and order, and every cell's value (so also
// each sheet's extent). Allowed are only the documented losses of writing:
// numbers agree to 15 significant digits, a non-finite number reads back as
// #NUM!, an empty text as an empty cell, and a text longer than a cell holds
// is cut. Throws FormatError naming the first difference.
void CheckWrittenFile(const host::ModelWorkbook& book, const std::string& path);

}  // namespace fenban::files
