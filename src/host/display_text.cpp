#include "host/display_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

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

// One piece of a date or time format: a run of one code letter, or literal text.
struct DatePiece {
  char code = 0;  // y, m, d, h, s, 'a' for AM/PM; 0 for literal text
  size_t length = 0;
  std::string text;
};

// Splits a format section into date pieces; empty when it holds no date or time code.
std::vector<DatePiece> DatePieces(const std::string& section) {
  std::vector<DatePiece> pieces;
  bool anyCode = false;
  for (size_t i = 0; i < section.size();) {
    const char c = section[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"') {
      const size_t end = section.find('"', i + 1);
      pieces.push_back({0, 0, section.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1)});
      i = end == std::string::npos ? section.size() : end + 1;
    } else if (c == '[') {
      const size_t end = section.find(']', i);
      i = end == std::string::npos ? section.size() : end + 1;
    } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < section.size()) {
      if (c == '\\') pieces.push_back({0, 0, section.substr(i + 1, 1)});
      if (c == '_') pieces.push_back({0, 0, " "});
      i += 2;
    } else if (section.compare(i, 5, "AM/PM") == 0 || section.compare(i, 5, "am/pm") == 0) {
      pieces.push_back({'a', 2, ""});
      i += 5;
    } else if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's') {
      size_t length = 1;
      while (i + length < section.size() &&
             std::tolower(static_cast<unsigned char>(section[i + length])) == lower) {
        ++length;
      }
      pieces.push_back({lower, length, ""});
      anyCode = true;
      i += length;
    } else {
      pieces.push_back({0, 0, std::string(1, c)});
      ++i;
    }
  }
  if (!anyCode) pieces.clear();
  return pieces;
}

// A serial number of the 1900 date system as year, month, day and seconds of
// the day; serial 60 is that system's 29 February 1900.
struct DateParts {
  int64_t year = 1900, month = 1, day = 0, seconds = 0;
};

DateParts PartsOf(double serial) {
  DateParts parts;
  int64_t days = static_cast<int64_t>(std::floor(serial));
  parts.seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
  if (parts.seconds >= 86400) {
    ++days;
    parts.seconds -= 86400;
  }
  if (days == 60) {
    parts.month = 2;
    parts.day = 29;
    return parts;
  }
  if (days == 0) return parts;  // shown as 1900-01-00
  if (days > 60) --days;
  // Days since 1970-01-01, then the civil date (Howard Hinnant's algorithm).
  const int64_t z = days - 25568 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  parts.day = dayOfYear - (153 * mp + 2) / 5 + 1;
  parts.month = mp < 10 ? mp + 3 : mp - 9;
  parts.year = yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0);
  return parts;
}

std::string Padded(int64_t number, size_t length) {
  std::string text = std::to_string(number);
  while (text.size() < length) text.insert(text.begin(), '0');
  return text;
}

// A date or time under its format section, for the width of its column:
// numbers of the codes y, m, d, h, s and AM/PM; month and day names in English.
std::string DateText(double serial, const std::vector<DatePiece>& pieces) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  const DateParts parts = PartsOf(serial);
  bool twelveHours = false;
  for (const DatePiece& piece : pieces) twelveHours = twelveHours || piece.code == 'a';
  std::string text;
  char previousCode = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const DatePiece& piece = pieces[i];
    char nextCode = 0;
    for (size_t j = i + 1; j < pieces.size() && nextCode == 0; ++j) nextCode = pieces[j].code;
    const int64_t hour = parts.seconds / 3600;
    switch (piece.code) {
      case 0:
        text += piece.text;
        break;
      case 'y':
        text += piece.length <= 2 ? Padded(parts.year % 100, 2) : Padded(parts.year, 4);
        break;
      case 'm':
        if (piece.length <= 2 && (previousCode == 'h' || nextCode == 's')) {
          text += Padded(parts.seconds / 60 % 60, piece.length);
        } else if (piece.length <= 2) {
          text += Padded(parts.month, piece.length);
        } else {
          const std::string name = kMonths[(parts.month + 11) % 12];
          text += piece.length == 3 ? name.substr(0, 3) : piece.length == 5 ? name.substr(0, 1) : name;
        }
        break;
      case 'd':
        if (piece.length <= 2) {
          text += Padded(parts.day, piece.length);
        } else {
          // Serial 1 (1 January 1900) is a Sunday in this system.
          const std::string name = kDays[(static_cast<size_t>(std::floor(serial)) + 6) % 7];
          text += piece.length == 3 ? name.substr(0, 3) : name;
        }
        break;
      case 'h':
        text += Padded(twelveHours ? (hour + 11) % 12 + 1 : hour, std::min<size_t>(piece.length, 2));
        break;
      case 's':
        text += Padded(parts.seconds % 60, std::min<size_t>(piece.length, 2));
        break;
      case 'a':
        text += hour < 12 ? "AM" : "PM";
        break;
      default:
        break;
    }
    if (piece.code != 0) previousCode = piece.code;
  }
  return text;
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
  const std::vector<DatePiece> datePieces = DatePieces(section);
  if (!datePieces.empty()) {
    // Dates from 1 January 1900 to 31 December 9999; others show as the plain number.
    if (number < 0 || number >= 2958466) return NumberToText(number);
    return DateText(number, datePieces);
  }
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
