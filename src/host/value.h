// A cell value of the embedded spreadsheet and the conversions the commands use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace fenban::host {

enum class ValueType : uint8_t { Empty, Number, Text, Boolean, Error };

// An error value as a cell shows it, for example "#N/A" or "#DIV/0!".
struct ErrorValue {
  std::string code;
  bool operator==(const ErrorValue&) const = default;
};

// Empty, number, text (UTF-8), Boolean or error value.
class Value {
 public:
  Value() = default;
  Value(double number) : data_(number) {}  // NOLINT: implicit like a Variant
  Value(int number) : data_(static_cast<double>(number)) {}  // NOLINT
  Value(int64_t number) : data_(static_cast<double>(number)) {}  // NOLINT
  Value(std::string text) : data_(std::move(text)) {}  // NOLINT
  Value(std::string_view text) : data_(std::string(text)) {}  // NOLINT
  Value(const char* text) : data_(std::string(text)) {}  // NOLINT
  Value(ErrorValue error) : data_(std::move(error)) {}  // NOLINT
  static Value Boolean(bool b) { Value v; v.data_ = b; return v; }

  ValueType Type() const { return static_cast<ValueType>(data_.index()); }
  bool IsEmpty() const { return Type() == ValueType::Empty; }
  bool IsNumber() const { return Type() == ValueType::Number; }
  bool IsText() const { return Type() == ValueType::Text; }
  bool IsBoolean() const { return Type() == ValueType::Boolean; }
  bool IsError() const { return Type() == ValueType::Error; }

  // Raw access; calling the wrong one is a programming error (asserts).
  double Number() const { return std::get<double>(data_); }
  const std::string& Text() const { return std::get<std::string>(data_); }
  bool Bool() const { return std::get<bool>(data_); }
  const ErrorValue& Error() const { return std::get<ErrorValue>(data_); }

  // Text form: empty -> "", numbers in their shortest plain form (85, 85.5,
  // 0.1), Booleans "TRUE"/"FALSE". An error value raises run-time error 13.
  std::string ToText() const;
  // True for numbers, Booleans, empty cells and text that parses as a number.
  bool IsNumeric() const;
  // Numeric value: empty -> 0, Boolean -> -1/0, numeric text parsed;
  // other text and error values raise error 13.
  double ToDouble() const;
  // Conversion to a signed 32-bit whole number, nearest with halves to even;
  // out of range raises error 6, non-numeric raises error 13.
  int32_t ToLong() const;

  bool operator==(const Value&) const = default;

 private:
  std::variant<std::monostate, double, std::string, bool, ErrorValue> data_;
};

// Whole part (truncation towards zero), as Fix.
double WholePart(double x);
// Integer part (largest integer not above), as Int.
double IntegerPart(double x);
// Nearest whole number, halves to even, as a signed 32-bit value; error 6 when out of range.
int32_t RoundToLong(double x);
// Shortest plain decimal text of a number: 85, 85.5, -3, 0.1, 1E+20 style avoided where possible.
std::string NumberToText(double x);
// Parses a whole text as a number (leading/trailing ASCII spaces allowed); false when it is not one.
bool ParseNumber(std::string_view text, double& out);
// Number of characters (Unicode code points) of a UTF-8 text.
size_t CharCount(std::string_view text);
// The last n characters (code points) of a text; all of it when n >= length.
std::string RightChars(std::string_view text, size_t n);
// The first n characters (code points) of a text.
std::string LeftChars(std::string_view text, size_t n);
// Display width: wide (CJK, full-width) characters count 2, others 1.
size_t DisplayWidth(std::string_view text);

}  // namespace fenban::host
