// How a real spreadsheet program treats what it is given through its object
// model, where that differs from the embedded model: text entered as if
// typed, the Variant types of Range.Value, the pinyin sort of Chinese text
// and the forms of Range.Address. The test application applies these rules;
// the README's Windows section names the reference pages they follow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/rect.h"
#include "host/value.h"

namespace fenban::automation::testing {

// A text entered into a cell as if typed (Range.Value with a String,
// Range.Replace on a changed cell), in a cell not formatted "@":
//  - a leading apostrophe keeps the rest as text (it is the cell's prefix
//    character, not part of the value);
//  - a number with optional sign, spaces around it, thousands separators,
//    decimal point, exponent, trailing "%" or leading "¥"/"$" is that
//    number: leading zeros are dropped, digits after the 15th significant
//    one become zeros, a percentage is divided by 100; the cell gets a
//    number format for "%", separators and currency;
//  - "2024-9", "2024/9", "2024-9-1", "2024/9/1", "2024年9月", "2024年9月1日"
//    are dates (the day's serial number) and get a date format;
//  - TRUE, FALSE and the error literals, in any case, are those values;
//  - a text starting with "=" would be a formula: not modelled, raises;
//  - anything else stays the text as typed.
struct TypedEntryResult {
  host::Value value;
  std::string numberFormat;  // the format the entry gives the cell; empty: unchanged
};
TypedEntryResult EnterAsTyped(std::string_view text);

// The number formats under which Range.Value returns a Date or a Currency.
enum class FormatKind { Plain, Date, Currency };
FormatKind KindOfNumberFormat(std::string_view numberFormat);

// Range.Sort's comparison of two non-empty values, ascending: numbers, then
// texts, then Booleans, then errors. Texts compare character by character
// with letter case ignored unless matchCase; Chinese characters in pinyin
// order (xlPinYin, the default SortMethod), after every ASCII character.
// The pinyin order is a table of the characters the tests use; any other
// Chinese character raises, so that a test cannot pass on a guess.
// Returns <0, 0 or >0.
int ComparePinyin(const host::Value& a, const host::Value& b, bool matchCase);

// Range.Address as the real program gives it: "$B$3", "$A$1:$P$2001", whole
// columns "$A:$P", whole rows "$1:$3", the whole sheet "$1:$1048576".
std::string RealAddress(const host::Rect& area);

}  // namespace fenban::automation::testing
