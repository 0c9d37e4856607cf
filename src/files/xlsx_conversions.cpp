#include "files/xlsx_conversions.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "host/style.h"

namespace fenban::files {

namespace {

constexpr double kDigitPixels = 7.0;
constexpr double kPaddingPixels = 5.0;

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Value of "_xHHHH_" at text[i], or -1.
int32_t EscapeAt(std::string_view text, size_t i) {
  if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
  int32_t value = 0;
  for (size_t k = 2; k < 6; ++k) {
    const int digit = HexDigit(text[i + k]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

bool ParseDigits(std::string_view text, size_t& pos, size_t count, int32_t& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char ch = text[pos + i];
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + (ch - '0');
  }
  pos += count;
  return true;
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ValidDate(int32_t year, int32_t month, int32_t day) {
  static constexpr int32_t kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day <= 28 || leap;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

double ColumnWidthFromFile(double fileWidth) {
  if (!(fileWidth > 0)) return 0;
  const double pixels = std::floor(fileWidth * kDigitPixels + 0.5);
  if (pixels < kDigitPixels + kPaddingPixels) return pixels / (kDigitPixels + kPaddingPixels);
  return (pixels - kPaddingPixels) / kDigitPixels;
}

double SavedColumnWidth(double width) {
  if (!(width > 0)) return 0;
  double pixels = 0;
  if (width < 1) {
    pixels = std::floor(width * (kDigitPixels + kPaddingPixels) + 0.5);
  } else {
    pixels = std::floor(width * kDigitPixels + 0.5) + kPaddingPixels;
  }
  const double fileWidth = std::floor(pixels / kDigitPixels * 256.0) / 256.0;
  return ColumnWidthFromFile(fileWidth);
}

double PointsFromInches(double inches) { return std::round(inches * 72.0 * 1e6) / 1e6; }

std::optional<double> DateSerial(int32_t year, int32_t month, int32_t day, bool date1904) {
  if (year < 1900 || year > 9999) return std::nullopt;
  if (year == 1900 && month == 2 && day == 29 && !date1904) return 60.0;
  if (!ValidDate(year, month, day)) return std::nullopt;
  const int64_t days = DaysFromCivil(year, month, day);
  if (date1904) {
    const int64_t serial = days - DaysFromCivil(1904, 1, 1);
    if (serial < 0) return std::nullopt;
    return static_cast<double>(serial);
  }
  int64_t serial = days - DaysFromCivil(1899, 12, 31);
  if (serial >= 60) ++serial;  // the fictitious 29 February 1900
  return static_cast<double>(serial);
}

std::optional<double> DateTimeTextToSerial(std::string_view text, bool date1904) {
  size_t pos = 0;
  double serial = 0;
  bool any = false;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    int32_t year = 0, month = 0, day = 0;
    if (!ParseDigits(text, pos, 4, year)) return std::nullopt;
    ++pos;
    if (!ParseDigits(text, pos, 2, month)) return std::nullopt;
    ++pos;
    if (!ParseDigits(text, pos, 2, day)) return std::nullopt;
    const auto date = DateSerial(year, month, day, date1904);
    if (!date) return std::nullopt;
    serial = *date;
    any = true;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) ++pos;
  }
  if (pos < text.size()) {
    int32_t hour = 0, minute = 0, second = 0;
    if (!ParseDigits(text, pos, 2, hour) || pos >= text.size() || text[pos] != ':') return std::nullopt;
    ++pos;
    if (!ParseDigits(text, pos, 2, minute)) return std::nullopt;
    double fraction = 0;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      if (!ParseDigits(text, pos, 2, second)) return std::nullopt;
      if (pos < text.size() && text[pos] == '.') {
        const size_t start = pos;
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        const auto parsed = ParseFileNumber(std::string("0") + std::string(text.substr(start, pos - start)));
        if (parsed) fraction = *parsed;
      }
    }
    if (pos < text.size() && text[pos] == 'Z') ++pos;
    if (pos != text.size() || hour > 24 || minute > 59 || second > 60) return std::nullopt;
    serial += (hour * 3600.0 + minute * 60.0 + second + fraction) / 86400.0;
    any = true;
  }
  if (!any) return std::nullopt;
  return serial;
}

void DecodeXmlEscapes(std::string& text) {
  if (text.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    int32_t code = EscapeAt(text, i);
    if (code < 0) {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    i += 7;
    if (code >= 0xD800 && code <= 0xDBFF) {
      const int32_t low = EscapeAt(text, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 7;
      } else {
        code = 0xFFFD;
      }
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(out, static_cast<uint32_t>(code));
  }
  text.swap(out);
}

std::string EscapeLiteralEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (EscapeAt(text, i) >= 0) {
      out += "_x005F_";  // the escaped underscore; the rest follows as it is
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::optional<double> ParseFileNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // Whole numbers of up to 15 digits, most numbers of a list, are exact as doubles.
  if (text.size() <= 15) {
    int64_t whole = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) whole = whole * 10 + (text[i] - '0');
    if (i == text.size()) return static_cast<double>(whole);
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int32_t> ParseFileInteger(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  int64_t value = 0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    // Some producers write whole numbers as "2.0".
    const auto number = ParseFileNumber(text);
    if (!number || *number != std::floor(*number) || *number < INT32_MIN || *number > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*number);
  }
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t ThemeRgb(int32_t index) {
  // lt1, dk1, lt2, dk2 (in the order the theme attribute counts them), accent1..6, hlink, folHlink.
  static constexpr int32_t kTheme[] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                                       0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};
  if (index < 0 || index > 11) return -1;
  return kTheme[index];
}

int32_t ApplyTint(int32_t rgb, double tint) {
  if (tint == 0 || !std::isfinite(tint)) return rgb;
  if (tint < -1) tint = -1;
  if (tint > 1) tint = 1;
  int32_t result = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double channel = (rgb >> shift) & 0xFF;
    const double tinted = tint < 0 ? channel * (1 + tint) : channel + (255 - channel) * tint;
    const auto value = static_cast<int32_t>(std::lround(std::clamp(tinted, 0.0, 255.0)));
    result |= value << shift;
  }
  return result;
}

int32_t NearestPaletteIndex(int32_t rgb) {
  const int32_t exact = host::PaletteIndexOfRgb(rgb);
  if (exact > 0) return exact;
  int32_t best = 1;
  int64_t bestDistance = INT64_MAX;
  for (int32_t index = 1; index <= 56; ++index) {
    const int32_t other = host::PaletteRgb(index);
    int64_t distance = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const int64_t delta = ((rgb >> shift) & 0xFF) - ((other >> shift) & 0xFF);
      distance += delta * delta;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = index;
    }
  }
  return best;
}

std::optional<int32_t> ParseArgb(std::string_view text) {
  if (text.size() == 8) text.remove_prefix(2);
  if (text.size() != 6) return std::nullopt;
  int32_t value = 0;
  for (const char ch : text) {
    const int digit = HexDigit(ch);
    if (digit < 0) return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

bool IsErrorLiteral(std::string_view code) {
  return code == "#NULL!" || code == "#DIV/0!" || code == "#VALUE!" || code == "#REF!" || code == "#NAME?" ||
         code == "#NUM!" || code == "#N/A";
}

}  // namespace fenban::files
