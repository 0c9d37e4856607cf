#include "host/typed_entry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>

namespace fenban::host {

namespace {

// The most significant digits a number keeps.
constexpr size_t kMaxSignificantDigits = 15;
// The General format shows a number of up to 11 whole digits in full and
// one of 12 or more with an exponent (ECMA-376 Part 1, 18.8.30; Excel's
// "Available number formats": "scientific notation for large numbers (12
// or more digits)"); so it does with a fraction below 0.0001 (1E-05).
constexpr size_t kMaxWholeDigitsShown = 11;
constexpr size_t kMaxFractionZerosShown = 3;

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return upper;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The digits that carry the value of a plain decimal body ("12.50" gives
// "125"): without the leading zeros, and without the zeros that end a
// fraction.
std::string SignificantDigits(std::string_view whole, std::string_view fraction) {
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  std::string digits = std::string(whole) + std::string(fraction);
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "";
  return digits.substr(first);
}

}  // namespace

bool ExactNumber(std::string_view text, double& out) {
  const std::string_view trimmed = Trimmed(text);
  size_t pos = 0;
  const bool negative = !trimmed.empty() && trimmed[0] == '-';
  if (!trimmed.empty() && (trimmed[0] == '+' || trimmed[0] == '-')) ++pos;
  const size_t bodyStart = pos;
  while (pos < trimmed.size() && IsDigit(trimmed[pos])) ++pos;
  const std::string_view whole = trimmed.substr(bodyStart, pos - bodyStart);
  std::string_view fraction;
  if (pos < trimmed.size() && trimmed[pos] == '.') {
    const size_t fractionStart = ++pos;
    while (pos < trimmed.size() && IsDigit(trimmed[pos])) ++pos;
    fraction = trimmed.substr(fractionStart, pos - fractionStart);
  }
  if (pos != trimmed.size() || (whole.empty() && fraction.empty())) return false;
  if (whole.size() > 1 && whole[0] == '0') return false;  // a code's leading zero
  if (SignificantDigits(whole, fraction).size() > kMaxSignificantDigits) return false;
  if (whole.size() > kMaxWholeDigitsShown) return false;
  const size_t fractionZeros = std::min(fraction.find_first_not_of('0'), fraction.size());
  if ((whole.empty() || whole == "0") && fractionZeros > kMaxFractionZerosShown && fractionZeros < fraction.size()) {
    return false;
  }
  const std::string_view body = trimmed.substr(bodyStart);
  double value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return false;
  out = negative && value != 0 ? -value : value;
  return true;
}

Value TypedEntry(std::string_view text) {
  if (text.empty()) return Value();
  double number = 0;
  if (ExactNumber(text, number)) return Value(number);
  if (text.size() <= 7) {
    const std::string upper = Upper(text);
    if (upper == "TRUE") return Value::Boolean(true);
    if (upper == "FALSE") return Value::Boolean(false);
    static constexpr std::array<std::string_view, 7> kErrorLiterals = {"#N/A",  "#DIV/0!", "#VALUE!", "#REF!",
                                                                        "#NAME?", "#NUM!",   "#NULL!"};
    for (const std::string_view literal : kErrorLiterals) {
      if (upper == literal) return Value(ErrorValue{std::string(literal)});
    }
  }
  return Value(text);
}

bool IsTextFormat(std::string_view numberFormat) { return numberFormat == "@"; }

}  // namespace fenban::host
