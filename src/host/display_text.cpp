#include "host/display_text.h"

#include <cmath>
#include <cstdio>

#include "host/formula.h"

namespace fenban::host {

namespace {

std::string GroupThousands(const std::string& digits) {
  std::string out;
  const size_t count = digits.size();
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

// A number as the General format shows it: at most eleven characters,
// fewer decimals first, then the scientific form for very large or small numbers.
std::string GeneralText(double number) {
  constexpr size_t kMaxWidth = 11;
  std::string text = NumberToText(number);
  if (text.size() <= kMaxWidth) return text;
  const double magnitude = std::fabs(number);
  const size_t sign = number < 0 ? 1 : 0;
  if (magnitude >= 1e-4 && magnitude < 1e11) {
    const std::string whole = NumberToText(std::trunc(magnitude));
    const size_t used = sign + whole.size() + 1;
    if (used < kMaxWidth) {
      const auto decimals = static_cast<int32_t>(kMaxWidth - used);
      text = NumberToText(RoundHalfAway(number, decimals));
      if (text.size() <= kMaxWidth) return text;
    }
    if (magnitude >= 1) return NumberToText(RoundHalfAway(number, 0));
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.5E", number);
  std::string scientific(buffer);
  // Drop trailing zeros of the mantissa and the exponent's leading zero beyond two digits.
  const size_t e = scientific.find('E');
  std::string mantissa = scientific.substr(0, e);
  while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
  if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  std::string exponent = scientific.substr(e + 2);
  while (exponent.size() > 2 && exponent.front() == '0') exponent.erase(exponent.begin());
  return mantissa + "E" + scientific[e + 1] + exponent;
}

}  // namespace

bool IsGeneralFormat(const std::string& numberFormat) {
  return numberFormat.empty() || numberFormat == "General" || numberFormat == "G/通用格式" ||
         numberFormat == "general";
}

std::string DisplayText(const Value& value, const std::string& numberFormat) {
  switch (value.Type()) {
    case ValueType::Empty:
      return "";
    case ValueType::Text:
      return std::string(value.Text());
    case ValueType::Boolean:
      return value.Bool() ? "TRUE" : "FALSE";
    case ValueType::Error:
      return value.Error().code;
    case ValueType::Number:
      break;
  }
  const double number = value.Number();
  if (IsGeneralFormat(numberFormat) || numberFormat == "@") return GeneralText(number);
  // Only the first section (positive numbers) matters to the width.
  const std::string section = numberFormat.substr(0, numberFormat.find(';'));
  if (section.find_first_of("ymdhsYMDHS") != std::string::npos) return NumberToText(number);
  const bool percent = section.find('%') != std::string::npos;
  const bool grouping = section.find(',') != std::string::npos;
  int32_t decimals = 0;
  const size_t point = section.find('.');
  if (point != std::string::npos) {
    for (size_t i = point + 1; i < section.size() && (section[i] == '0' || section[i] == '#'); ++i) ++decimals;
  }
  if (section.find_first_of("0#") == std::string::npos) return NumberToText(number);
  const double shown = RoundHalfAway(percent ? number * 100 : number, decimals);
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(shown));
  std::string text(buffer);
  if (grouping) {
    const size_t dot = text.find('.');
    text = GroupThousands(text.substr(0, dot)) + (dot == std::string::npos ? "" : text.substr(dot));
  }
  if (shown < 0) text.insert(text.begin(), '-');
  if (percent) text.push_back('%');
  return text;
}

}  // namespace fenban::host
