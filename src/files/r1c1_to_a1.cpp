#include "files/r1c1_to_a1.h"

#include "files/cell_reference.h"
#include "host/constants.h"

namespace fenban::files {

namespace {

bool IsNameChar(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_' ||
         ch == '.' || static_cast<unsigned char>(ch) >= 0x80;
}

struct Part {
  bool present = false;
  bool absolute = false;
  int64_t value = 0;  // absolute number or relative offset
};

// Reads "R", "R5" or "R[-2]" (letter given) at text[pos]; advances pos.
bool ReadPart(std::string_view text, size_t& pos, char letter, Part& part) {
  if (pos >= text.size() || (text[pos] != letter && text[pos] != letter + ('a' - 'A'))) return true;
  size_t i = pos + 1;
  part.present = true;
  if (i < text.size() && text[i] == '[') {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t start = i;
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 8) value = value * 10 + (text[i++] - '0');
    if (i == start || i >= text.size() || text[i] != ']') return false;
    ++i;
    part.value = negative ? -value : value;
  } else if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    const size_t start = i;
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 8) value = value * 10 + (text[i++] - '0');
    part.absolute = true;
    part.value = value;
  }
  pos = i;
  return true;
}

}  // namespace

std::optional<std::string> R1C1ToA1(std::string_view formula, int32_t row, int32_t column) {
  std::string out;
  out.reserve(formula.size() + 8);
  size_t i = 0;
  while (i < formula.size()) {
    const char ch = formula[i];
    if (ch == '"' || ch == '\'') {
      // A text literal or a quoted sheet name; a doubled quote stays inside.
      const size_t start = i++;
      while (i < formula.size()) {
        if (formula[i] == ch) {
          if (i + 1 < formula.size() && formula[i + 1] == ch) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      out.append(formula.substr(start, i - start));
      continue;
    }
    const bool startsName = IsNameChar(ch) && (i == 0 || !IsNameChar(formula[i - 1]));
    if (!startsName) {
      out.push_back(ch);
      ++i;
      continue;
    }
    size_t end = i;
    Part rowPart, columnPart;
    const bool parsed = ReadPart(formula, end, 'R', rowPart) && ReadPart(formula, end, 'C', columnPart);
    const bool isReference = parsed && (rowPart.present || columnPart.present) &&
                             (end >= formula.size() || (!IsNameChar(formula[end]) && formula[end] != '(' &&
                                                        formula[end] != '!' && formula[end] != '['));
    if (!isReference) {
      const size_t start = i;
      while (i < formula.size() && IsNameChar(formula[i])) ++i;
      out.append(formula.substr(start, i - start));
      continue;
    }
    const int64_t r = rowPart.absolute ? rowPart.value : row + rowPart.value;
    const int64_t c = columnPart.absolute ? columnPart.value : column + columnPart.value;
    if ((rowPart.present && (r < 1 || r > host::kMaxRows)) || (columnPart.present && (c < 1 || c > host::kMaxColumns))) {
      return std::nullopt;
    }
    std::string rowText = rowPart.absolute ? "$" : "";
    rowText += std::to_string(r);
    std::string columnText = columnPart.absolute ? "$" : "";
    columnText += ColumnLetters(static_cast<int32_t>(c));
    if (rowPart.present && columnPart.present) {
      out += columnText + rowText;
    } else {
      // A whole row or column: one side of a range, or a range of its own.
      const std::string& text = rowPart.present ? rowText : columnText;
      const bool inRange = (!out.empty() && out.back() == ':') || (end < formula.size() && formula[end] == ':');
      out += inRange ? text : text + ":" + text;
    }
    i = end;
  }
  return out;
}

}  // namespace fenban::files
