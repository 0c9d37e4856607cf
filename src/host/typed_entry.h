// What a text becomes when it is entered into a cell as if typed: the
// spreadsheet's Replace re-enters every cell it changes this way.
#pragma once

#include <string_view>

#include "host/value.h"

namespace fenban::host {

// The value a typed entry of `text` gives in a cell of the General format:
//  - "" is an empty cell;
//  - a plain decimal number, with an optional sign, decimal point and
//    exponent, and spaces around it ("300", " 85.5", "-3", "+2", ".5",
//    "1e3"), is that number;
//  - TRUE and FALSE, in any case, are Booleans;
//  - the error literals #N/A, #DIV/0!, #VALUE!, #REF!, #NAME?, #NUM! and
//    #NULL!, in any case, are error values;
//  - everything else stays the text as it is: "3班", "一班", "12a".
// Two departures from a spreadsheet, both to keep what a teacher typed:
// digits with a leading zero ("001", "0123", "-007") stay text, since they
// are codes such as student numbers whose zeros a number would drop; and
// percentages, thousands separators, currencies, dates, fractions and
// formulas ("=...") stay text, since the model gives them no number format
// or formula of their own.
Value TypedEntry(std::string_view text);

// True for a number format under which a typed entry stays text ("@").
bool IsTextFormat(std::string_view numberFormat);

}  // namespace fenban::host
