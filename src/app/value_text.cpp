#include "app/value_text.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

namespace fenban::app {

std::string CellText(const host::Value& value, bool oneDecimal) {
  if (value.IsNumber()) {
    // One decimal as the sheet's "0.0" format shows it: halves away from zero.
    if (oneDecimal) return fmt::format("{:.1f}", std::round(value.Number() * 10.0) / 10.0);
    return host::NumberToText(value.Number());
  }
  if (value.IsError()) return value.Error().code;
  std::string text = value.IsEmpty() ? std::string() : value.ToText();
  text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
  return text;
}

std::string DescribeValue(const host::Value& value) {
  if (value.IsBoolean()) return value.Bool() ? "是 yes" : "否 no";
  if (value.IsEmpty()) return "（空 empty）";
  return CellText(value);
}

}  // namespace fenban::app
