#include "host/formula.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "host/errors.h"

namespace fenban::host {

namespace {

using Kind = FormulaNode::Kind;

[[noreturn]] void SyntaxError(const std::string& formula) { Raise(kErrHost, "公式有误: " + formula); }

bool IsLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsNameChar(char ch) { return IsLetter(ch) || IsDigit(ch) || ch == '_' || ch == '.'; }
char Upper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

std::string UpperText(std::string text) {
  for (char& ch : text) ch = Upper(ch);
  return text;
}

// Minimum and maximum argument counts of the functions the model knows.
bool ArgumentCountFits(const std::string& name, size_t count) {
  if (name == "ROUND") return count == 2;
  if (name == "SUBTOTAL") return count >= 2;
  if (name == "SUM" || name == "MAX" || name == "MIN" || name == "COUNT" || name == "COUNTA" ||
      name == "AVERAGE") {
    return count >= 1;
  }
  if (name == "ABS" || name == "INT") return count == 1;
  if (name == "IF") return count >= 2 && count <= 3;
  return true;  // unknown functions evaluate to #NAME?
}

class Parser {
 public:
  explicit Parser(const std::string& formula) : formula_(formula), text_(formula) {}

  FormulaNode ParseAll() {
    SkipSpaces();
    if (!Take('=')) SyntaxError(formula_);
    FormulaNode node = ParseComparison();
    SkipSpaces();
    if (pos_ != text_.size()) SyntaxError(formula_);
    return node;
  }

 private:
  void SkipSpaces() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool Peek(char ch) {
    SkipSpaces();
    return pos_ < text_.size() && text_[pos_] == ch;
  }
  bool Take(char ch) {
    if (!Peek(ch)) return false;
    ++pos_;
    return true;
  }
  void Expect(char ch) {
    if (!Take(ch)) SyntaxError(formula_);
  }

  static FormulaNode Binary(Kind kind, FormulaNode left, FormulaNode right) {
    FormulaNode node;
    node.kind = kind;
    node.args.push_back(std::move(left));
    node.args.push_back(std::move(right));
    return node;
  }

  FormulaNode ParseComparison() {
    FormulaNode left = ParseConcat();
    for (;;) {
      SkipSpaces();
      Kind kind;
      if (text_.compare(pos_, 2, "<=") == 0) {
        kind = Kind::LessEqual;
        pos_ += 2;
      } else if (text_.compare(pos_, 2, ">=") == 0) {
        kind = Kind::GreaterEqual;
        pos_ += 2;
      } else if (text_.compare(pos_, 2, "<>") == 0) {
        kind = Kind::NotEqual;
        pos_ += 2;
      } else if (Take('<')) {
        kind = Kind::Less;
      } else if (Take('>')) {
        kind = Kind::Greater;
      } else if (Take('=')) {
        kind = Kind::Equal;
      } else {
        return left;
      }
      left = Binary(kind, std::move(left), ParseConcat());
    }
  }

  FormulaNode ParseConcat() {
    FormulaNode left = ParseAdditive();
    while (Take('&')) left = Binary(Kind::Concat, std::move(left), ParseAdditive());
    return left;
  }

  FormulaNode ParseAdditive() {
    FormulaNode left = ParseMultiplicative();
    for (;;) {
      if (Take('+')) {
        left = Binary(Kind::Add, std::move(left), ParseMultiplicative());
      } else if (Take('-')) {
        left = Binary(Kind::Subtract, std::move(left), ParseMultiplicative());
      } else {
        return left;
      }
    }
  }

  FormulaNode ParseMultiplicative() {
    FormulaNode left = ParsePower();
    for (;;) {
      if (Take('*')) {
        left = Binary(Kind::Multiply, std::move(left), ParsePower());
      } else if (Take('/')) {
        left = Binary(Kind::Divide, std::move(left), ParsePower());
      } else {
        return left;
      }
    }
  }

  FormulaNode ParsePower() {
    FormulaNode left = ParseUnary();
    while (Take('^')) left = Binary(Kind::Power, std::move(left), ParseUnary());
    return left;
  }

  FormulaNode ParseUnary() {
    if (Take('-')) {
      FormulaNode node;
      node.kind = Kind::Negate;
      node.args.push_back(ParseUnary());
      return node;
    }
    if (Take('+')) return ParseUnary();
    return ParsePrimary();
  }

  FormulaNode ParsePrimary() {
    SkipSpaces();
    if (pos_ >= text_.size()) SyntaxError(formula_);
    const char ch = text_[pos_];
    if (ch == '(') {
      ++pos_;
      FormulaNode inner = ParseComparison();
      Expect(')');
      return inner;
    }
    if (IsDigit(ch) || ch == '.') return ParseNumber();
    if (ch == '"') return ParseText();
    if (IsLetter(ch) || ch == '_') return ParseNameOrReference();
    SyntaxError(formula_);
  }

  FormulaNode ParseNumber() {
    const size_t start = pos_;
    while (pos_ < text_.size() && (IsDigit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t look = pos_ + 1;
      if (look < text_.size() && (text_[look] == '+' || text_[look] == '-')) ++look;
      if (look < text_.size() && IsDigit(text_[look])) {
        pos_ = look;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
      }
    }
    FormulaNode node;
    node.kind = Kind::Number;
    if (!host::ParseNumber(text_.substr(start, pos_ - start), node.number)) SyntaxError(formula_);
    return node;
  }

  FormulaNode ParseText() {
    ++pos_;
    FormulaNode node;
    node.kind = Kind::Text;
    for (;;) {
      if (pos_ >= text_.size()) SyntaxError(formula_);
      const char ch = text_[pos_++];
      if (ch == '"') {
        if (pos_ < text_.size() && text_[pos_] == '"') {
          node.text.push_back('"');
          ++pos_;
          continue;
        }
        return node;
      }
      node.text.push_back(ch);
    }
  }

  // Reads "[n]" or "n" after R or C; returns false when neither follows.
  bool ReadIndex(size_t& pos, bool& relative, int32_t& value) const {
    relative = true;
    value = 0;
    if (pos < text_.size() && text_[pos] == '[') {
      size_t look = pos + 1;
      bool negative = false;
      if (look < text_.size() && (text_[look] == '-' || text_[look] == '+')) {
        negative = text_[look] == '-';
        ++look;
      }
      int64_t number = 0;
      size_t digits = 0;
      while (look < text_.size() && IsDigit(text_[look]) && digits < 9) {
        number = number * 10 + (text_[look] - '0');
        ++look;
        ++digits;
      }
      if (digits == 0 || look >= text_.size() || text_[look] != ']') SyntaxError(formula_);
      value = static_cast<int32_t>(negative ? -number : number);
      pos = look + 1;
      return true;
    }
    if (pos < text_.size() && IsDigit(text_[pos])) {
      int64_t number = 0;
      size_t digits = 0;
      while (pos < text_.size() && IsDigit(text_[pos])) {
        if (++digits > 9) SyntaxError(formula_);
        number = number * 10 + (text_[pos] - '0');
        ++pos;
      }
      relative = false;
      value = static_cast<int32_t>(number);
      return true;
    }
    return false;
  }

  // Tries to read a reference at pos_; leaves pos_ alone and returns false
  // when the text there is a name instead.
  bool TryReference(FormulaRef& ref) {
    size_t look = pos_;
    ref = FormulaRef{};
    bool any = false;
    if (look < text_.size() && Upper(text_[look]) == 'R') {
      ++look;
      ReadIndex(look, ref.rowRelative, ref.row);
      any = true;
    } else {
      ref.hasRow = false;
    }
    if (look < text_.size() && Upper(text_[look]) == 'C') {
      ++look;
      ReadIndex(look, ref.columnRelative, ref.column);
      any = true;
    } else {
      ref.hasColumn = false;
    }
    if (!any) return false;
    if (look < text_.size() && (IsNameChar(text_[look]) || text_[look] == '(')) return false;
    size_t after = look;
    while (after < text_.size() && text_[after] == ' ') ++after;
    if (after < text_.size() && text_[after] == '(') return false;
    pos_ = look;
    return true;
  }

  FormulaNode ParseNameOrReference() {
    FormulaRef first;
    if (TryReference(first)) {
      FormulaNode node;
      node.first = first;
      node.last = first;
      if (Take(':')) {
        SkipSpaces();
        FormulaRef last;
        if (!TryReference(last) || last.hasRow != first.hasRow || last.hasColumn != first.hasColumn) {
          SyntaxError(formula_);
        }
        node.kind = Kind::Area;
        node.last = last;
      } else {
        node.kind = (first.hasRow && first.hasColumn) ? Kind::Reference : Kind::Area;
      }
      return node;
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    std::string name = UpperText(text_.substr(start, pos_ - start));
    if (Take('(')) {
      FormulaNode node;
      node.kind = Kind::Function;
      node.text = name;
      if (!Take(')')) {
        do {
          node.args.push_back(ParseComparison());
        } while (Take(','));
        Expect(')');
      }
      if (!ArgumentCountFits(name, node.args.size())) SyntaxError(formula_);
      return node;
    }
    FormulaNode node;
    if (name == "TRUE" || name == "FALSE") {
      node.kind = Kind::Boolean;
      node.number = name == "TRUE" ? 1 : 0;
      return node;
    }
    node.kind = Kind::Name;
    node.text = name;
    return node;
  }

  const std::string& formula_;
  const std::string& text_;
  size_t pos_ = 0;
};

Value ErrorOf(const char* code) { return Value(ErrorValue{code}); }

// A value as a number for arithmetic; false (with an error value) when it is not one.
bool ToNumber(const Value& value, double& out, Value& error) {
  switch (value.Type()) {
    case ValueType::Empty:
      out = 0;
      return true;
    case ValueType::Number:
      out = value.Number();
      return true;
    case ValueType::Boolean:
      out = value.Bool() ? 1 : 0;
      return true;
    case ValueType::Text:
      if (ParseNumber(value.Text(), out)) return true;
      error = ErrorOf("#VALUE!");
      return false;
    case ValueType::Error:
      error = value;
      return false;
  }
  return false;
}

std::string ToConcatText(const Value& value) {
  if (value.IsBoolean()) return value.Bool() ? "TRUE" : "FALSE";
  return value.ToText();
}

bool Contains(const std::string& formula, const char* word) {
  const std::string upper = UpperText(formula);
  return upper.find(word) != std::string::npos;
}

class Evaluator {
 public:
  Evaluator(int32_t row, int32_t column, FormulaCells& cells) : row_(row), column_(column), cells_(cells) {}

  Value Eval(const FormulaNode& node) {
    switch (node.kind) {
      case Kind::Number:
        return Value(node.number);
      case Kind::Text:
        return Value(node.text);
      case Kind::Boolean:
        return Value::Boolean(node.number != 0);
      case Kind::Name:
        return ErrorOf("#NAME?");
      case Kind::Reference: {
        Rect area;
        if (!ResolveReference(node.first, node.last, row_, column_, area)) return ErrorOf("#REF!");
        return cells_.Read(area.row1, area.col1);
      }
      case Kind::Area: {
        Rect area;
        if (!ResolveReference(node.first, node.last, row_, column_, area)) return ErrorOf("#REF!");
        if (area.row1 == area.row2 && area.col1 == area.col2) return cells_.Read(area.row1, area.col1);
        return ErrorOf("#VALUE!");
      }
      case Kind::Negate: {
        double x = 0;
        Value error;
        if (!ToNumber(Eval(node.args[0]), x, error)) return error;
        return Value(-x);
      }
      case Kind::Add:
      case Kind::Subtract:
      case Kind::Multiply:
      case Kind::Divide:
      case Kind::Power:
        return Arithmetic(node);
      case Kind::Concat: {
        const Value left = Eval(node.args[0]);
        if (left.IsError()) return left;
        const Value right = Eval(node.args[1]);
        if (right.IsError()) return right;
        return Value(ToConcatText(left) + ToConcatText(right));
      }
      case Kind::Equal:
      case Kind::NotEqual:
      case Kind::Less:
      case Kind::LessEqual:
      case Kind::Greater:
      case Kind::GreaterEqual:
        return Compare(node);
      case Kind::Function:
        return Function(node);
    }
    return ErrorOf("#VALUE!");
  }

 private:
  Value Arithmetic(const FormulaNode& node) {
    double a = 0, b = 0;
    Value error;
    if (!ToNumber(Eval(node.args[0]), a, error)) return error;
    if (!ToNumber(Eval(node.args[1]), b, error)) return error;
    double result = 0;
    switch (node.kind) {
      case Kind::Add:
        result = a + b;
        break;
      case Kind::Subtract:
        result = a - b;
        break;
      case Kind::Multiply:
        result = a * b;
        break;
      case Kind::Divide:
        if (b == 0) return ErrorOf("#DIV/0!");
        result = a / b;
        break;
      default:
        result = std::pow(a, b);
        break;
    }
    if (!std::isfinite(result)) return ErrorOf("#NUM!");
    return Value(result);
  }

  static int Rank(const Value& value) {
    switch (value.Type()) {
      case ValueType::Text:
        return 1;
      case ValueType::Boolean:
        return 2;
      default:
        return 0;
    }
  }

  Value Compare(const FormulaNode& node) {
    Value left = Eval(node.args[0]);
    if (left.IsError()) return left;
    Value right = Eval(node.args[1]);
    if (right.IsError()) return right;
    // An empty cell compares as 0 with numbers and as "" with text.
    if (left.IsEmpty()) left = right.IsText() ? Value(std::string()) : Value(0.0);
    if (right.IsEmpty()) right = left.IsText() ? Value(std::string()) : Value(0.0);
    int order = 0;
    if (left.IsEmpty() && right.IsEmpty()) {
      order = 0;
    } else if (Rank(left) != Rank(right)) {
      order = Rank(left) < Rank(right) ? -1 : 1;
    } else if (left.IsText()) {
      const int c = left.Text().compare(right.Text());
      order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    } else {
      const double a = left.IsBoolean() ? (left.Bool() ? 1 : 0) : left.Number();
      const double b = right.IsBoolean() ? (right.Bool() ? 1 : 0) : right.Number();
      order = a < b ? -1 : (a > b ? 1 : 0);
    }
    bool result = false;
    switch (node.kind) {
      case Kind::Equal:
        result = order == 0;
        break;
      case Kind::NotEqual:
        result = order != 0;
        break;
      case Kind::Less:
        result = order < 0;
        break;
      case Kind::LessEqual:
        result = order <= 0;
        break;
      case Kind::Greater:
        result = order > 0;
        break;
      default:
        result = order >= 0;
        break;
    }
    return Value::Boolean(result);
  }

  // Gathers the numbers of the arguments as the aggregate functions see
  // them: in references only numbers count; typed values are converted.
  struct Gathered {
    std::vector<double> numbers;
    size_t nonEmpty = 0;
    Value error;
    bool failed = false;
  };

  void Gather(const FormulaNode& arg, Gathered& out, bool skipSubtotals) {
    if (arg.kind == Kind::Reference || arg.kind == Kind::Area) {
      Rect area;
      if (!ResolveReference(arg.first, arg.last, row_, column_, area)) {
        out.failed = true;
        out.error = ErrorOf("#REF!");
        return;
      }
      cells_.ForEach(area, [&out, skipSubtotals](const Value& value, const std::string* formula) {
        if (out.failed) return;
        if (skipSubtotals && formula != nullptr && Contains(*formula, "SUBTOTAL(")) return;
        if (value.IsError()) {
          out.failed = true;
          out.error = value;
          return;
        }
        ++out.nonEmpty;
        if (value.IsNumber()) out.numbers.push_back(value.Number());
      });
      return;
    }
    const Value value = Eval(arg);
    if (value.IsEmpty()) return;
    ++out.nonEmpty;
    double number = 0;
    Value error;
    if (!ToNumber(value, number, error)) {
      out.failed = true;
      out.error = error;
      return;
    }
    out.numbers.push_back(number);
  }

  Value Aggregate(const std::string& name, const std::vector<const FormulaNode*>& args, bool subtotal) {
    Gathered gathered;
    for (const FormulaNode* arg : args) {
      Gather(*arg, gathered, subtotal);
      if (gathered.failed) return gathered.error;
    }
    const auto& numbers = gathered.numbers;
    if (name == "SUM") {
      double sum = 0;
      for (double x : numbers) sum += x;
      return Value(sum);
    }
    if (name == "MAX") return Value(numbers.empty() ? 0.0 : *std::max_element(numbers.begin(), numbers.end()));
    if (name == "MIN") return Value(numbers.empty() ? 0.0 : *std::min_element(numbers.begin(), numbers.end()));
    if (name == "COUNT") return Value(static_cast<double>(numbers.size()));
    if (name == "COUNTA") return Value(static_cast<double>(gathered.nonEmpty));
    if (name == "AVERAGE") {
      if (numbers.empty()) return ErrorOf("#DIV/0!");
      double sum = 0;
      for (double x : numbers) sum += x;
      return Value(sum / static_cast<double>(numbers.size()));
    }
    return ErrorOf("#NAME?");
  }

  Value Function(const FormulaNode& node) {
    const std::string& name = node.text;
    std::vector<const FormulaNode*> args;
    for (const FormulaNode& arg : node.args) args.push_back(&arg);
    if (name == "SUM" || name == "MAX" || name == "MIN" || name == "COUNT" || name == "COUNTA" ||
        name == "AVERAGE") {
      return Aggregate(name, args, false);
    }
    if (name == "SUBTOTAL") {
      double function = 0;
      Value error;
      if (!ToNumber(Eval(node.args[0]), function, error)) return error;
      const auto number = static_cast<int32_t>(function) % 100;
      static const char* const kNames[] = {"", "AVERAGE", "COUNT", "COUNTA", "MAX", "MIN",
                                           "", "", "", "SUM"};
      if (function < 1 || number < 1 || number > 9 || kNames[number][0] == '\0') return ErrorOf("#VALUE!");
      args.erase(args.begin());
      for (const FormulaNode* arg : args) {
        if (arg->kind != Kind::Reference && arg->kind != Kind::Area) return ErrorOf("#VALUE!");
      }
      return Aggregate(kNames[number], args, true);
    }
    if (name == "ROUND") {
      double x = 0, digits = 0;
      Value error;
      if (!ToNumber(Eval(node.args[0]), x, error)) return error;
      if (!ToNumber(Eval(node.args[1]), digits, error)) return error;
      return Value(RoundHalfAway(x, static_cast<int32_t>(std::clamp(std::trunc(digits), -300.0, 300.0))));
    }
    if (name == "ABS" || name == "INT") {
      double x = 0;
      Value error;
      if (!ToNumber(Eval(node.args[0]), x, error)) return error;
      return Value(name == "ABS" ? std::fabs(x) : std::floor(x));
    }
    if (name == "IF") {
      const Value condition = Eval(node.args[0]);
      double truth = 0;
      Value error;
      if (!ToNumber(condition, truth, error)) return error;
      if (truth != 0) return Eval(node.args[1]);
      return node.args.size() > 2 ? Eval(node.args[2]) : Value::Boolean(false);
    }
    return ErrorOf("#NAME?");
  }

  int32_t row_, column_;
  FormulaCells& cells_;
};

bool ResolveIndex(bool present, bool relative, int32_t value, int32_t base, int32_t limit, int32_t& first,
                  int32_t& last) {
  if (!present) {
    first = 1;
    last = limit;
    return true;
  }
  const int64_t index = relative ? int64_t{base} + value : int64_t{value};
  if (index < 1 || index > limit) return false;
  first = last = static_cast<int32_t>(index);
  return true;
}

}  // namespace

FormulaNode ParseFormulaR1C1(const std::string& formula) { return Parser(formula).ParseAll(); }

bool ResolveReference(const FormulaRef& first, const FormulaRef& last, int32_t row, int32_t column, Rect& out) {
  int32_t r1 = 0, r1b = 0, r2 = 0, r2b = 0, c1 = 0, c1b = 0, c2 = 0, c2b = 0;
  if (!ResolveIndex(first.hasRow, first.rowRelative, first.row, row, kMaxRows, r1, r1b)) return false;
  if (!ResolveIndex(last.hasRow, last.rowRelative, last.row, row, kMaxRows, r2, r2b)) return false;
  if (!ResolveIndex(first.hasColumn, first.columnRelative, first.column, column, kMaxColumns, c1, c1b)) return false;
  if (!ResolveIndex(last.hasColumn, last.columnRelative, last.column, column, kMaxColumns, c2, c2b)) return false;
  out = Rect{std::min(r1, r2), std::min(c1, c2), std::max(r1b, r2b), std::max(c1b, c2b)};
  return true;
}

bool ReferencesInside(const FormulaNode& node, int32_t row, int32_t column) {
  if (node.kind == Kind::Reference || node.kind == Kind::Area) {
    Rect ignored;
    return ResolveReference(node.first, node.last, row, column, ignored);
  }
  return std::all_of(node.args.begin(), node.args.end(),
                     [row, column](const FormulaNode& arg) { return ReferencesInside(arg, row, column); });
}

Value EvaluateFormula(const FormulaNode& node, int32_t row, int32_t column, FormulaCells& cells) {
  return Evaluator(row, column, cells).Eval(node);
}

double RoundHalfAway(double x, int32_t digits) {
  if (!std::isfinite(x) || digits > 15) return x;
  const double scale = std::pow(10.0, std::abs(digits));
  double scaled = digits >= 0 ? x * scale : x / scale;
  // Work on the fifteen significant digits the spreadsheet shows, so that
  // 2.675 rounds to 2.68 although its binary value lies just below.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", scaled);
  scaled = std::strtod(buffer, nullptr);
  const double rounded = scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
  const double result = digits >= 0 ? rounded / scale : rounded * scale;
  return result == 0 ? 0.0 : result;
}

}  // namespace fenban::host
