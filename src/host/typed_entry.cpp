#include "host/typed_entry.h"

#include <array>
#include <cctype>
#include <string>

namespace fenban::host {

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return upper;
}

// True when the number's whole digits start with a 0 that another digit
// follows: "007", "-01", "00.5"; not "0", "0.5", "-0.25".
bool HasLeadingZero(std::string_view text) {
  size_t pos = text.find_first_not_of(" \t");
  if (pos == std::string_view::npos) return false;
  if (text[pos] == '+' || text[pos] == '-') ++pos;
  return pos + 1 < text.size() && text[pos] == '0' && IsDigit(text[pos + 1]);
}

}  // namespace

Value TypedEntry(std::string_view text) {
  if (text.empty()) return Value();
  double number = 0;
  if (ParseNumber(text, number)) {
    if (HasLeadingZero(text)) return Value(text);
    return Value(number);
  }
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
