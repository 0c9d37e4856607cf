// A cell value as plain text, for the front ends' summaries and option lists.
#pragma once

#include <string>

#include "host/value.h"

namespace fenban::app {

// A cell as the summary shows it: line feeds dropped, numbers in their
// shortest form, or with one decimal when oneDecimal is set.
std::string CellText(const host::Value& value, bool oneDecimal = false);

// A value as an option list shows it: Booleans as 是/否, empty as "（空）".
std::string DescribeValue(const host::Value& value);

}  // namespace fenban::app
