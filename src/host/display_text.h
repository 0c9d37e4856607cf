// The text a cell shows, as the model measures it for AutoFit.
#pragma once

#include <string>

#include "host/value.h"

namespace fenban::host {

// The shown text of a value under a number format: "General" (and "@")
// give the plain number form; "0", "0.0", "0.00%", "#,##0.0" round as
// the format says; date and time formats show the date or time. Formats the
// model does not know show the plain form.
std::string DisplayText(const Value& value, const std::string& numberFormat);

// True for the formats that mean "General", in English or Chinese.
bool IsGeneralFormat(const std::string& numberFormat);

}  // namespace fenban::host
