// A cell value of the embedded spreadsheet and the conversions the commands use.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "host/shared_text.h"

namespace fenban::host {

enum class ValueType : uint8_t { Empty, Number, Text, Boolean, Error };

// An error value as a cell shows it, for example "#N/A" or "#DIV/0!".
struct ErrorValue {
  std::string code;
  bool operator==(const ErrorValue&) const = default;
};

// Empty, number, text (UTF-8), Boolean or error value, in 16 bytes: the
// kind, and the number, the Boolean or the shared text of a text or of an
// error's code. Copying a text value shares its text.
class Value {
 public:
  Value() noexcept : type_(ValueType::Empty), number_(0) {}
  Value(double number) noexcept : type_(ValueType::Number), number_(number) {}  // NOLINT: implicit like a Variant
  Value(int number) noexcept : Value(static_cast<double>(number)) {}  // NOLINT
  Value(int64_t number) noexcept : Value(static_cast<double>(number)) {}  // NOLINT
  Value(std::string text) : type_(ValueType::Text), text_(std::move(text)) {}  // NOLINT
  Value(std::string_view text) : type_(ValueType::Text), text_(text) {}  // NOLINT
  Value(const char* text) : type_(ValueType::Text), text_(text) {}  // NOLINT
  Value(ErrorValue error) : type_(ValueType::Error), text_(std::move(error.code)) {}  // NOLINT
  static Value Boolean(bool b) {
    Value v;
    v.type_ = ValueType::Boolean;
    v.boolean_ = b;
    return v;
  }

  // A moved-from value is empty.
  Value(const Value& other) noexcept;
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other) noexcept;
  Value& operator=(Value&& other) noexcept;
  ~Value() {
    if (HoldsText()) text_.~SharedText();
  }

  ValueType Type() const { return type_; }
  bool IsEmpty() const { return type_ == ValueType::Empty; }
  bool IsNumber() const { return type_ == ValueType::Number; }
  bool IsText() const { return type_ == ValueType::Text; }
  bool IsBoolean() const { return type_ == ValueType::Boolean; }
  bool IsError() const { return type_ == ValueType::Error; }

  // Raw access; calling the wrong one is a programming error and throws
  // std::logic_error.
  double Number() const {
    if (!IsNumber()) WrongKind();
    return number_;
  }
  const std::string& Text() const {
    if (!IsText()) WrongKind();
    return text_.Str();
  }
  bool Bool() const {
    if (!IsBoolean()) WrongKind();
    return boolean_;
  }
  ErrorValue Error() const {
    if (!IsError()) WrongKind();
    return ErrorValue{text_.Str()};
  }

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

  // Same kind and same content: texts and error codes by their characters,
  // numbers with ==.
  bool operator==(const Value& other) const;

 private:
  [[noreturn]] static void WrongKind();
  bool HoldsText() const { return type_ == ValueType::Text || type_ == ValueType::Error; }
  // Takes the content of other, whose kind this value gets; this value holds
  // no text when called.
  void CopyFrom(const Value& other) noexcept;
  void MoveFrom(Value& other) noexcept;
  // Ends the text this value holds, if any, and leaves it empty.
  void Clear() noexcept;

  ValueType type_;
  union {
    double number_;
    bool boolean_;
    SharedText text_;  // for Text and Error
  };
};

static_assert(sizeof(Value) == 16, "a cell value is one tag and one 8-byte payload");

inline Value::Value(const Value& other) noexcept : type_(ValueType::Empty), number_(0) { CopyFrom(other); }

inline Value::Value(Value&& other) noexcept : type_(ValueType::Empty), number_(0) { MoveFrom(other); }

inline Value& Value::operator=(const Value& other) noexcept {
  if (this == &other) return *this;
  if (HoldsText() && other.HoldsText()) {
    // The shared text takes care of two values holding the same text.
    type_ = other.type_;
    text_ = other.text_;
    return *this;
  }
  Clear();
  CopyFrom(other);
  return *this;
}

inline Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  MoveFrom(other);
  return *this;
}

inline void Value::CopyFrom(const Value& other) noexcept {
  type_ = other.type_;
  switch (other.type_) {
    case ValueType::Empty:
      number_ = 0;
      break;
    case ValueType::Number:
      number_ = other.number_;
      break;
    case ValueType::Boolean:
      boolean_ = other.boolean_;
      break;
    case ValueType::Text:
    case ValueType::Error:
      new (&text_) SharedText(other.text_);
      break;
  }
}

inline void Value::MoveFrom(Value& other) noexcept {
  if (other.HoldsText()) {
    type_ = other.type_;
    new (&text_) SharedText(std::move(other.text_));
    other.Clear();
  } else {
    CopyFrom(other);
    other.type_ = ValueType::Empty;
    other.number_ = 0;
  }
}

inline void Value::Clear() noexcept {
  if (HoldsText()) text_.~SharedText();
  type_ = ValueType::Empty;
  number_ = 0;
}

inline bool Value::operator==(const Value& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case ValueType::Empty:
      return true;
    case ValueType::Number:
      return number_ == other.number_;
    case ValueType::Boolean:
      return boolean_ == other.boolean_;
    case ValueType::Text:
    case ValueType::Error:
      break;
  }
  return text_.Str() == other.text_.Str();
}

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
