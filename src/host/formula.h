// R1C1 formulas of the model: parsing, reference checks and evaluation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/rect.h"
#include "host/value.h"

namespace fenban::host {

// One end of a reference: R, R[n], Rn and C, C[n], Cn. A reference without
// its row part means whole columns, without its column part whole rows.
struct FormulaRef {
  bool hasRow = true, rowRelative = true;
  int32_t row = 0;  // offset when relative, number when absolute
  bool hasColumn = true, columnRelative = true;
  int32_t column = 0;
};

struct FormulaNode {
  enum class Kind : uint8_t {
    Number, Text, Boolean, Name, Reference, Area,
    Negate, Add, Subtract, Multiply, Divide, Power, Concat,
    Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Function
  };
  Kind kind = Kind::Number;
  double number = 0;
  std::string text;  // text literal, name or upper-case function name
  FormulaRef first, last;
  std::vector<FormulaNode> args;
};

// Parses a formula beginning with "="; a syntax error raises error 1004.
FormulaNode ParseFormulaR1C1(const std::string& formula);

// The cells a reference covers from the cell (row, column); false when any
// part lies outside the sheet.
bool ResolveReference(const FormulaRef& first, const FormulaRef& last, int32_t row, int32_t column, Rect& out);
// True when every reference of the formula lies inside the sheet, seen from (row, column).
bool ReferencesInside(const FormulaNode& node, int32_t row, int32_t column);

// What a formula reads from its sheet.
class FormulaCells {
 public:
  virtual ~FormulaCells() = default;
  virtual Value Read(int32_t row, int32_t column) = 0;
  // Calls visit(value, formula) for every non-empty cell of the area; formula
  // is the cell's formula text or nullptr.
  virtual void ForEach(const Rect& area, const std::function<void(const Value&, const std::string*)>& visit) = 0;
};

// Computes the formula for the cell (row, column).
Value EvaluateFormula(const FormulaNode& node, int32_t row, int32_t column, FormulaCells& cells);

// ROUND: to `digits` decimals (negative: tens, hundreds, ...), halves away from zero.
double RoundHalfAway(double x, int32_t digits);

}  // namespace fenban::host
