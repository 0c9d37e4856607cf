#include "host/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "host/errors.h"

namespace fenban::host {

namespace {

bool IsAsciiSpace(char ch) { return ch == ' ' || ch == '\t'; }

// Decodes the code point starting at text[pos] and advances pos. Invalid
// bytes count as one character each (U+FFFD).
char32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t extra = 0;
  char32_t cp = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + extra >= text.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (size_t i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

bool IsWide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x20000 && cp <= 0x2FFFD) || (cp >= 0x30000 && cp <= 0x3FFFD);
}

// Byte offset of the start of character number n (0-based); text.size() when beyond.
size_t OffsetOfChar(std::string_view text, size_t n) {
  size_t pos = 0;
  for (size_t i = 0; i < n && pos < text.size(); ++i) NextCodePoint(text, pos);
  return pos;
}

}  // namespace

void Value::WrongKind() { throw std::logic_error("host::Value: read as a kind it does not hold"); }

std::string Value::ToText() const {
  switch (Type()) {
    case ValueType::Empty:
      return "";
    case ValueType::Number:
      return NumberToText(Number());
    case ValueType::Text:
      return std::string(Text());
    case ValueType::Boolean:
      return Bool() ? "TRUE" : "FALSE";
    case ValueType::Error:
      break;
  }
  Raise(kErrTypeMismatch);
}

bool Value::IsNumeric() const {
  switch (Type()) {
    case ValueType::Empty:
    case ValueType::Number:
    case ValueType::Boolean:
      return true;
    case ValueType::Text: {
      double ignored = 0;
      return ParseNumber(Text(), ignored);
    }
    case ValueType::Error:
      break;
  }
  return false;
}

double Value::ToDouble() const {
  switch (Type()) {
    case ValueType::Empty:
      return 0;
    case ValueType::Number:
      return Number();
    case ValueType::Boolean:
      return Bool() ? -1 : 0;
    case ValueType::Text: {
      double number = 0;
      if (ParseNumber(Text(), number)) return number;
      break;
    }
    case ValueType::Error:
      break;
  }
  Raise(kErrTypeMismatch);
}

int32_t Value::ToLong() const { return RoundToLong(ToDouble()); }

double WholePart(double x) { return std::trunc(x); }

double IntegerPart(double x) { return std::floor(x); }

int32_t RoundToLong(double x) {
  if (!std::isfinite(x)) Raise(kErrOverflow);
  double lower = std::floor(x);
  const double diff = x - lower;
  double rounded = lower;
  if (diff > 0.5) {
    rounded = lower + 1;
  } else if (diff == 0.5) {
    rounded = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
  }
  if (rounded < -2147483648.0 || rounded > 2147483647.0) Raise(kErrOverflow);
  return static_cast<int32_t>(rounded);
}

std::string NumberToText(double x) {
  if (std::isnan(x)) return "#NUM!";
  if (std::isinf(x)) return x > 0 ? "#NUM!" : "-#NUM!";
  if (x == 0) return "0";
  // Whole numbers of at most fifteen digits are exact in fifteen significant
  // digits and print as plain integers; scores and class numbers all take
  // this short way.
  if (std::fabs(x) < 1e15 && std::trunc(x) == x) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(x));
    return std::string(digits, result.ptr);
  }
  // Fifteen significant digits, as the spreadsheet shows numbers.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", x);
  std::string_view text(buffer);
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const size_t ePos = text.find('e');
  std::string digits;
  for (size_t i = 0; i < ePos; ++i) {
    if (text[i] != '.') digits.push_back(text[i]);
  }
  int exponent = std::stoi(std::string(text.substr(ePos + 1)));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent > 20 || exponent < -20) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += "0";
    out += std::to_string(magnitude);
    return out;
  }
  if (exponent >= 0) {
    const auto intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  } else {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

bool ParseNumber(std::string_view text, double& out) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;
  bool negative = false;
  size_t pos = 0;
  if (text[pos] == '+' || text[pos] == '-') {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t bodyStart = pos;
  size_t mantissaDigits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++mantissaDigits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    size_t exponentDigits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  if (pos != text.size()) return false;
  const std::string_view body = text.substr(bodyStart);
  double value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return false;
  if (!std::isfinite(value)) return false;
  out = negative ? -value : value;
  return true;
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    NextCodePoint(text, pos);
    ++count;
  }
  return count;
}

std::string RightChars(std::string_view text, size_t n) {
  const size_t total = CharCount(text);
  if (n >= total) return std::string(text);
  return std::string(text.substr(OffsetOfChar(text, total - n)));
}

std::string LeftChars(std::string_view text, size_t n) {
  return std::string(text.substr(0, OffsetOfChar(text, n)));
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  size_t pos = 0;
  while (pos < text.size()) width += IsWide(NextCodePoint(text, pos)) ? 2 : 1;
  return width;
}

}  // namespace fenban::host
