#include "real_program_rules.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/errors.h"

namespace fenban::automation::testing {

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return upper;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Keeps the first 15 significant digits of a run of digits and makes the
// rest zeros, as the program stores no more than 15.
std::string FifteenDigits(std::string digits) {
  int significant = 0;
  for (char& ch : digits) {
    if (significant == 0 && ch == '0') continue;
    if (++significant > 15) ch = '0';
  }
  return digits;
}

// A number as typed: sign, "¥"/"$", digits with optional thousands
// separators, decimals, exponent, "%".
std::optional<TypedEntryResult> TypedNumber(std::string_view text) {
  std::string_view t = Trimmed(text);
  std::string format;
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.substr(0, 2) == "\xC2\xA5") {  // ¥
    format = "\xC2\xA5#,##0.00";
    t.remove_prefix(2);
  } else if (!t.empty() && t[0] == '$') {
    format = "$#,##0.00";
    t.remove_prefix(1);
  }
  bool percent = false;
  if (!t.empty() && t.back() == '%') {
    percent = true;
    t.remove_suffix(1);
  }
  std::string whole;
  size_t i = 0;
  bool separators = false;
  size_t groupLength = 0;
  while (i < t.size() && (IsDigit(t[i]) || t[i] == ',')) {
    if (t[i] == ',') {
      if (whole.empty() || (separators && groupLength != 3)) return std::nullopt;
      separators = true;
      groupLength = 0;
    } else {
      whole += t[i];
      ++groupLength;
    }
    ++i;
  }
  if (separators && groupLength != 3) return std::nullopt;
  std::string fraction;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) fraction += t[i++];
  }
  if (whole.empty() && fraction.empty()) return std::nullopt;
  std::string exponent;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    exponent = "e";
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) exponent += t[i++];
    const size_t digitsAt = i;
    while (i < t.size() && IsDigit(t[i])) exponent += t[i++];
    if (i == digitsAt) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  const std::string mantissa = FifteenDigits(whole + fraction);
  const std::string stored = mantissa.substr(0, whole.size()) + "." + mantissa.substr(whole.size()) + exponent;
  double number = std::strtod(stored.c_str(), nullptr);
  if (negative) number = -number;
  if (percent) {
    number /= 100;
    format = fraction.empty() ? "0%" : "0.00%";
  } else if (separators && format.empty()) {
    format = "#,##0";
  }
  return TypedEntryResult{host::Value(number), format};
}

// Days from 1899-12-30 to y-m-d (the serial number of a date after 1900-02-28).
double DateSerial(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int daysSince1970 = era * 146097 + doe - 719468;
  return daysSince1970 + 25569.0;
}

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[static_cast<size_t>(m - 1)];
}

// Reads up to `maxDigits` digits at `pos`; -1 when there is none.
int DigitsAt(std::string_view t, size_t& pos, size_t maxDigits) {
  int n = 0;
  size_t count = 0;
  while (pos < t.size() && IsDigit(t[pos]) && count < maxDigits) {
    n = n * 10 + (t[pos++] - '0');
    ++count;
  }
  return count == 0 ? -1 : n;
}

// "2024-9", "2024/9/1", "2024年9月1日" and their like.
std::optional<TypedEntryResult> TypedDate(std::string_view text) {
  const std::string_view t = Trimmed(text);
  size_t pos = 0;
  const size_t yearAt = pos;
  const int year = DigitsAt(t, pos, 4);
  if (year < 1900 || pos - yearAt != 4) return std::nullopt;
  const bool chinese = t.substr(pos, 3) == "年";
  std::string_view separator;
  if (chinese) {
    separator = "年";
  } else if (pos < t.size() && (t[pos] == '-' || t[pos] == '/')) {
    separator = t.substr(pos, 1);
  } else {
    return std::nullopt;
  }
  pos += separator.size();
  const int month = DigitsAt(t, pos, 2);
  if (month < 1 || month > 12) return std::nullopt;
  int day = 1;
  bool hasDay = false;
  if (chinese) {
    if (t.substr(pos, 3) != "月") return std::nullopt;
    pos += 3;
    if (pos < t.size()) {
      day = DigitsAt(t, pos, 2);
      if (t.substr(pos) != "日") return std::nullopt;
      pos = t.size();
      hasDay = true;
    }
  } else if (pos < t.size()) {
    if (t.substr(pos, 1) != separator) return std::nullopt;
    ++pos;
    day = DigitsAt(t, pos, 2);
    hasDay = true;
  }
  if (pos != t.size() || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return TypedEntryResult{host::Value(DateSerial(year, month, day)), hasDay ? "yyyy/m/d" : "yyyy\"年\"m\"月\""};
}

// The characters of the tests' lists and the program's own texts, in the
// order of the pinyin sort: the order glibc's zh_CN collation
// (iso14651_t1_pinyin) gives them, which orders by pinyin, then tone.
constexpr std::string_view kPinyinOrder =
    "白班别斌波博蔡曹曾超晨陈成程诚崔邓地丁东董杜帆范方芳飞分峰冯否刚高龚顾郭国海涵韩航号昊浩何贺宏侯胡华化欢黄辉慧"
    "佳嘉贾健建姜江蒋杰洁届金晶静娟军俊凯考可雷磊蕾李理丽历梁廖林琳玲刘龙卢璐陆罗吕马毛梅孟梦敏名明铭娜男宁女欧潘彭"
    "鹏萍琪倩强秦邱然任睿邵设沈生诗石史是数思宋苏孙谭唐涛陶天田婷彤婉万汪王薇伟魏文吴物霞夏晓校肖谢心欣鑫馨姓性熊徐"
    "许旭轩薛学雪燕艳杨阳姚瑶叶一怡毅应英莹颖勇于余宇语雨预袁悦月泽张赵政郑志治钟周朱住子总邹";

// The next character of UTF-8 text as a code point; advances pos.
uint32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (pos + length > text.size()) length = 1;
  uint32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (byte(pos + k) & 0x3F);
  pos += length;
  return cp;
}

// A character's place in the sort: ASCII by code (letters folded unless
// matchCase), then the table's Chinese characters, then anything else by code.
uint64_t SortWeight(uint32_t cp, std::string_view character, bool matchCase) {
  if (cp < 0x80) {
    if (!matchCase && cp >= 'a' && cp <= 'z') cp -= 'a' - 'A';
    return cp;
  }
  const bool chinese = cp >= 0x3400 && cp <= 0x9FFF;
  if (!chinese) return 0x200000 + cp;
  const size_t at = kPinyinOrder.find(character);
  if (at == std::string_view::npos) {
    host::Raise(host::kErrHost, "测试应用的拼音表里没有字符“" + std::string(character) + "”");
  }
  return 0x100 + at;
}

int CompareTexts(std::string_view a, std::string_view b, bool matchCase) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t iAt = i, jAt = j;
    const uint32_t ca = NextCodePoint(a, i);
    const uint32_t cb = NextCodePoint(b, j);
    const uint64_t wa = SortWeight(ca, a.substr(iAt, i - iAt), matchCase);
    const uint64_t wb = SortWeight(cb, b.substr(jAt, j - jAt), matchCase);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int KindRank(const host::Value& v) {
  switch (v.Type()) {
    case host::ValueType::Number: return 0;
    case host::ValueType::Text: return 1;
    case host::ValueType::Boolean: return 2;
    default: return 3;
  }
}

std::string Row(int32_t row) { return "$" + std::to_string(row); }
std::string Column(int32_t column) { return "$" + host::ColumnLetters(column); }

}  // namespace

TypedEntryResult EnterAsTyped(std::string_view text) {
  if (text.empty()) return {};
  if (text[0] == '\'') return TypedEntryResult{host::Value(text.substr(1)), ""};
  if (text[0] == '=') host::Raise(host::kErrHost, "测试应用未模拟以文本写入的公式: " + std::string(text));
  if (auto number = TypedNumber(text)) return *number;
  if (auto date = TypedDate(text)) return *date;
  const std::string upper = Upper(Trimmed(text));
  if (upper == "TRUE" || upper == "FALSE") return TypedEntryResult{host::Value::Boolean(upper == "TRUE"), ""};
  for (const char* literal : {"#N/A", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#NULL!"}) {
    if (upper == literal) return TypedEntryResult{host::Value(host::ErrorValue{literal}), ""};
  }
  return TypedEntryResult{host::Value(text), ""};
}

FormatKind KindOfNumberFormat(std::string_view format) {
  bool quoted = false, bracket = false;
  bool currency = false;
  for (size_t i = 0; i < format.size(); ++i) {
    const char ch = format[i];
    if (ch == '"') quoted = !quoted;
    if (quoted) continue;
    if (ch == '[') bracket = true;
    if (bracket) {
      if (ch == '$') currency = true;
      if (ch == ']') bracket = false;
      continue;
    }
    if (ch == '\\') {
      ++i;
      continue;
    }
    if (ch == '$' || format.substr(i, 2) == "\xC2\xA5") currency = true;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (format != "General" && (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's')) {
      return FormatKind::Date;
    }
  }
  return currency ? FormatKind::Currency : FormatKind::Plain;
}

int ComparePinyin(const host::Value& a, const host::Value& b, bool matchCase) {
  const int ka = KindRank(a), kb = KindRank(b);
  if (ka != kb) return ka < kb ? -1 : 1;
  switch (a.Type()) {
    case host::ValueType::Number: return a.Number() < b.Number() ? -1 : (b.Number() < a.Number() ? 1 : 0);
    case host::ValueType::Text: return CompareTexts(a.Text(), b.Text(), matchCase);
    case host::ValueType::Boolean: return static_cast<int>(a.Bool()) - static_cast<int>(b.Bool());
    default: return 0;
  }
}

std::string RealAddress(const host::Rect& area) {
  if (area.IsEntireRows()) return Row(area.row1) + ":" + Row(area.row2);
  if (area.IsEntireColumns()) return Column(area.col1) + ":" + Column(area.col2);
  const std::string first = Column(area.col1) + Row(area.row1);
  if (area.Rows() == 1 && area.Columns() == 1) return first;
  return first + ":" + Column(area.col2) + Row(area.row2);
}

}  // namespace fenban::automation::testing
