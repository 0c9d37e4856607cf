// Comparisons of values by the text they show, as `a.ToText() == b.ToText()`
// compares them, without making the texts when the answer is plain: equal
// numbers show the same text, and texts compare as they stand.
#pragma once

#include <string_view>

#include "host/value.h"

namespace fenban::host {

// a.ToText() == b.ToText(); an error value raises run-time error 13 as ToText does.
bool SameText(const Value& a, const Value& b);

// value.ToText() == text; an error value raises run-time error 13 as ToText does.
bool TextEquals(const Value& value, std::string_view text);

}  // namespace fenban::host
