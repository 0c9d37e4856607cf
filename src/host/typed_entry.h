// What a text becomes when it is entered into a cell as if typed: the
// spreadsheet's Replace re-enters every cell it changes this way. Every
// path that puts a changed text back into a cell follows this one rule.
#pragma once

#include <string_view>

#include "host/value.h"

namespace fenban::host {

// The value a typed entry of `text` gives in a cell of the General format:
//  - "" is an empty cell;
//  - a plain decimal number whose value keeps every digit typed is that
//    number: an optional sign, digits with an optional decimal point, and
//    spaces around it ("300", " 300", "85.5", "85.50", "-3", "+2", ".5",
//    "-0" is 0);
//  - TRUE and FALSE, in any case, are Booleans;
//  - the error literals #N/A, #DIV/0!, #VALUE!, #REF!, #NAME?, #NUM! and
//    #NULL!, in any case, are error values;
//  - everything else stays the text as it is: "3班", "一班", "12a".
// Where a spreadsheet would make a number that does not give back what was
// typed, the text is kept instead, so that no digit is ever lost:
//  - more than 15 significant digits (18-digit ID numbers, long student
//    numbers): a number keeps only 15 of them;
//  - 12 or more whole digits, or a fraction below 0.0001 ("0.00005"): the
//    General format shows such a number with an exponent;
//  - a leading zero ("001", "0123", "-007", "00.5"): codes such as student
//    numbers whose zeros a number would drop;
//  - an exponent ("1e5", "2E3"): the number would show other digits;
//  - thousands separators, percentages, currencies, dates, fractions and
//    formulas ("12,345", "85%", "¥5", "2024-05-01", "1/2", "=1+2"), since
//    the model gives them no number format or formula of their own.
Value TypedEntry(std::string_view text);

// The number a text stands for under the rule above; false (and out left
// alone) when the text is to stay text.
bool ExactNumber(std::string_view text, double& out);

// True for a number format under which a typed entry stays text ("@").
bool IsTextFormat(std::string_view numberFormat);

}  // namespace fenban::host
