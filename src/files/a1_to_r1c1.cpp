#include "files/a1_to_r1c1.h"

#include <cstring>

#include "host/constants.h"

namespace fenban::files {

namespace {

constexpr int32_t kMaxNesting = 64;     // nested parentheses
constexpr int32_t kMaxOperators = 1024;  // operators in one formula

bool IsLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsNameChar(char ch) {
  return IsLetter(ch) || IsDigit(ch) || ch == '_' || ch == '.' || ch == '\\' || ch == '$' ||
         static_cast<unsigned char>(ch) >= 0x80;
}
char Upper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

// One side of an A1 reference: a column, a row, or both.
struct A1Part {
  bool hasColumn = false, columnAbsolute = false;
  int32_t column = 0;
  bool hasRow = false, rowAbsolute = false;
  int32_t row = 0;
};

// Reads "$A", "AB" (at most three letters, up to XFD) at text[pos]; advances pos.
bool ReadColumn(std::string_view text, size_t& pos, A1Part& part) {
  size_t i = pos;
  const bool absolute = i < text.size() && text[i] == '$';
  if (absolute) ++i;
  int32_t column = 0;
  size_t letters = 0;
  while (i < text.size() && IsLetter(text[i]) && letters < 4) {
    column = column * 26 + (Upper(text[i]) - 'A' + 1);
    ++i;
    ++letters;
  }
  if (letters == 0 || letters > 3 || column > host::kMaxColumns) return false;
  part.hasColumn = true;
  part.columnAbsolute = absolute;
  part.column = column;
  pos = i;
  return true;
}

// Reads "$12", "7" (1 to the sheet's last row) at text[pos]; advances pos.
bool ReadRow(std::string_view text, size_t& pos, A1Part& part) {
  size_t i = pos;
  const bool absolute = i < text.size() && text[i] == '$';
  if (absolute) ++i;
  int64_t row = 0;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i]) && digits < 8) {
    row = row * 10 + (text[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0 || row < 1 || row > host::kMaxRows) return false;
  part.hasRow = true;
  part.rowAbsolute = absolute;
  part.row = static_cast<int32_t>(row);
  pos = i;
  return true;
}

bool EndsToken(std::string_view text, size_t pos) { return pos >= text.size() || !IsNameChar(text[pos]); }

// A cell ("B$2"), a column ("$C") or a row ("3") that fills text[pos, end) exactly.
bool ParseWhole(std::string_view text, size_t pos, size_t end, bool column, bool row, A1Part& part) {
  const std::string_view token = text.substr(0, end);
  if (column && !ReadColumn(token, pos, part)) return false;
  if (row && !ReadRow(token, pos, part)) return false;
  return pos == end;
}

size_t TokenEnd(std::string_view text, size_t pos) {
  while (pos < text.size() && IsNameChar(text[pos])) ++pos;
  return pos;
}

void AppendIndex(std::string& out, char letter, bool absolute, int32_t value, int32_t base) {
  out.push_back(letter);
  if (absolute) {
    out += std::to_string(value);
  } else if (value != base) {
    out += "[" + std::to_string(int64_t{value} - base) + "]";
  }
}

void AppendPart(std::string& out, const A1Part& part, int32_t row, int32_t column) {
  if (part.hasRow) AppendIndex(out, 'R', part.rowAbsolute, part.row, row);
  if (part.hasColumn) AppendIndex(out, 'C', part.columnAbsolute, part.column, column);
}

// Whole columns ("A:C", "$B:$B") or whole rows ("2:5") starting at pos,
// ending at a token boundary; advances pos past them.
bool ReadLineRange(std::string_view text, size_t& pos, bool columns, A1Part& first, A1Part& last) {
  const size_t firstEnd = TokenEnd(text, pos);
  if (firstEnd >= text.size() || text[firstEnd] != ':') return false;
  if (!ParseWhole(text, pos, firstEnd, columns, !columns, first)) return false;
  const size_t lastEnd = TokenEnd(text, firstEnd + 1);
  if (!ParseWhole(text, firstEnd + 1, lastEnd, columns, !columns, last)) return false;
  pos = lastEnd;
  return true;
}

}  // namespace

std::optional<std::string> A1ToR1C1(std::string_view formula, int32_t row, int32_t column) {
  std::string out = "=";
  out.reserve(formula.size() + 16);
  // The model computes a formula recursively: deeper nesting or more
  // operators than a spreadsheet program allows come from no sound file.
  int32_t depth = 0, operators = 0;
  size_t i = 0;
  while (i < formula.size()) {
    const char ch = formula[i];
    if (ch == '(' && ++depth > kMaxNesting) return std::nullopt;
    if (ch == ')') --depth;
    if (ch != '\0' && std::strchr("+-*/^&=<>%", ch) != nullptr && ++operators > kMaxOperators) {
      return std::nullopt;
    }
    if (ch == '"') {
      // A text literal; a doubled quote stays inside.
      const size_t start = i++;
      while (i < formula.size()) {
        if (formula[i++] != '"') continue;
        if (i < formula.size() && formula[i] == '"') {
          ++i;
          continue;
        }
        break;
      }
      out.append(formula.substr(start, i - start));
      continue;
    }
    // Quoted sheet names, external workbooks and table columns: another
    // sheet's cells or structures the model does not have.
    if (ch == '\'' || ch == '[' || ch == '!') return std::nullopt;
    if (ch == '#') {
      // An error literal: #N/A, #DIV/0!, #REF!.
      const size_t start = i++;
      while (i < formula.size() && (IsLetter(formula[i]) || IsDigit(formula[i]) || formula[i] == '/')) ++i;
      if (i < formula.size() && (formula[i] == '!' || formula[i] == '?')) ++i;
      out.append(formula.substr(start, i - start));
      continue;
    }
    if (ch == '\r' || ch == '\n' || ch == '\t') {
      // Line breaks typed into a long formula are white space.
      out.push_back(' ');
      ++i;
      continue;
    }
    if (!IsNameChar(ch)) {
      out.push_back(ch);
      ++i;
      continue;
    }
    A1Part first, last;
    if (ReadLineRange(formula, i, false, first, last) || ReadLineRange(formula, i, true, first, last)) {
      AppendPart(out, first, row, column);
      out.push_back(':');
      AppendPart(out, last, row, column);
      continue;
    }
    if (IsDigit(ch) || ch == '.') {
      // A number, with its exponent.
      const size_t start = i;
      while (i < formula.size() && (IsDigit(formula[i]) || formula[i] == '.')) ++i;
      if (i < formula.size() && (formula[i] == 'e' || formula[i] == 'E')) {
        size_t look = i + 1;
        if (look < formula.size() && (formula[look] == '+' || formula[look] == '-')) ++look;
        if (look < formula.size() && IsDigit(formula[look])) {
          i = look;
          while (i < formula.size() && IsDigit(formula[i])) ++i;
        }
      }
      if (!EndsToken(formula, i)) return std::nullopt;
      out.append(formula.substr(start, i - start));
      continue;
    }
    const size_t end = TokenEnd(formula, i);
    const std::string_view token = formula.substr(i, end - i);
    if (end < formula.size() && formula[end] == '(') {
      if (token.find('$') != std::string_view::npos) return std::nullopt;
      out.append(token);  // a function name
      i = end;
      continue;
    }
    if (end < formula.size() && formula[end] == '!') return std::nullopt;  // Sheet1!A1
    A1Part cell;
    if (ParseWhole(formula, i, end, true, true, cell)) {
      AppendPart(out, cell, row, column);
      i = end;
      continue;
    }
    std::string upper;
    for (char c : token) upper.push_back(Upper(c));
    if (upper == "TRUE" || upper == "FALSE") {
      out += upper;
      i = end;
      continue;
    }
    return std::nullopt;  // a defined name
  }
  return out;
}

}  // namespace fenban::files
