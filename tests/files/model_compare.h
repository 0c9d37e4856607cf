// Compares two model workbooks the way a reader of the file sees them:
// values, effective formats, widths and heights, merges, page breaks,
// auto filters, print areas, page set-up, validation, views, sheet order, visibility and activity.
#pragma once

#include <string>
#include <vector>

#include "host/model_workbook.h"

namespace fenban::files::testing {

// The differences between expected and actual, one line each; empty when
// they are the same. Known, documented losses of a save are not counted:
// numbers agree to 16 significant digits, column widths are snapped to
// whole pixels, orientation 0 (default) equals portrait, and formulas are
// compared by their values only.
std::vector<std::string> DiffWorkbooks(host::ModelWorkbook& expected, host::ModelWorkbook& actual);

// DiffWorkbooks as one text for test messages.
std::string DiffText(host::ModelWorkbook& expected, host::ModelWorkbook& actual);

}  // namespace fenban::files::testing
