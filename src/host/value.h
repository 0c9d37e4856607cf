// A cell value of the embedded spreadsheet and the conversions the commands use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Empty, number, text (UTF-8), Boolean or error value, in 16 bytes: 14
// bytes of payload, the length of an inline text and the kind. A text of up
// to kInlineTextBytes bytes is kept in the payload itself; a longer text and
// an error's code are a SharedText placed in the payload, which copies of the
// value share. A number is the first 8 payload bytes, a Boolean the first.
class Value {
 public:
  static constexpr size_t kInlineTextBytes = 14;

  Value() noexcept : payload_{}, size_(0), type_(ValueType::Empty) {}
  Value(double number) noexcept : payload_{}, size_(0), type_(ValueType::Number) {  // NOLINT: implicit like a Variant
    std::memcpy(payload_, &number, sizeof number);
  }
  Value(int number) noexcept : Value(static_cast<double>(number)) {}  // NOLINT
  Value(int64_t number) noexcept : Value(static_cast<double>(number)) {}  // NOLINT
  Value(std::string text) : Value() { SetText(std::move(text)); }  // NOLINT
  Value(std::string_view text) : Value() { SetText(text); }  // NOLINT
  Value(const char* text) : Value() { SetText(std::string_view(text)); }  // NOLINT
  Value(ErrorValue error) : Value() {  // NOLINT
    new (payload_) SharedText(std::move(error.code));
    size_ = kShared;
    type_ = ValueType::Error;
  }
  static Value Boolean(bool b) {
    Value v;
    v.type_ = ValueType::Boolean;
    v.payload_[0] = b ? 1 : 0;
    return v;
  }

  // A moved-from value is empty.
  Value(const Value& other) noexcept;
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other) noexcept;
  Value& operator=(Value&& other) noexcept;
  ~Value() {
    if (HoldsShared()) Shared().~SharedText();
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
    double number;
    std::memcpy(&number, payload_, sizeof number);
    return number;
  }
  // The characters stay valid while this value is alive and unchanged.
  std::string_view Text() const {
    if (!IsText()) WrongKind();
    return StoredText();
  }
  bool Bool() const {
    if (!IsBoolean()) WrongKind();
    return payload_[0] != 0;
  }
  ErrorValue Error() const {
    if (!IsError()) WrongKind();
    return ErrorValue{Shared().Str()};
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
  // size_ of a value whose payload holds a SharedText.
  static constexpr uint8_t kShared = 0xFF;

  [[noreturn]] static void WrongKind();
  bool HoldsShared() const { return size_ == kShared; }
  SharedText& Shared() { return *std::launder(reinterpret_cast<SharedText*>(payload_)); }
  const SharedText& Shared() const { return *std::launder(reinterpret_cast<const SharedText*>(payload_)); }
  // The characters of a text or an error's code.
  std::string_view StoredText() const {
    if (HoldsShared()) return Shared().Str();
    return std::string_view(reinterpret_cast<const char*>(payload_), size_);
  }
  // Makes this empty value a text.
  void SetText(std::string_view text);
  void SetText(std::string&& text);
  // Takes the content of other, whose kind this value gets; this value holds
  // no shared text when called.
  void CopyFrom(const Value& other) noexcept;
  void MoveFrom(Value& other) noexcept;
  // Ends the shared text this value holds, if any, and leaves it empty.
  void Clear() noexcept;

  alignas(8) unsigned char payload_[kInlineTextBytes];
  uint8_t size_;  // length of an inline text, kShared, or 0
  ValueType type_;
};

static_assert(sizeof(Value) == 16, "a cell value is 14 payload bytes, a length and a kind");
static_assert(sizeof(SharedText) <= Value::kInlineTextBytes && alignof(SharedText) <= 8,
              "a shared text fits the payload of a value");

inline Value::Value(const Value& other) noexcept : Value() { CopyFrom(other); }

inline Value::Value(Value&& other) noexcept : Value() { MoveFrom(other); }

inline Value& Value::operator=(const Value& other) noexcept {
  if (this == &other) return *this;
  if (HoldsShared() && other.HoldsShared()) {
    // The shared text takes care of two values holding the same text.
    type_ = other.type_;
    Shared() = other.Shared();
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

// g++ 12 warns that the copy below writes into a region of size 0 when this
// is inlined into a vector's growth; the destination is the 14-byte payload,
// and the length is checked against it first.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
inline void Value::SetText(std::string_view text) {
  type_ = ValueType::Text;
  if (text.size() <= kInlineTextBytes) {
    if (!text.empty()) std::memcpy(payload_, text.data(), text.size());
    size_ = static_cast<uint8_t>(text.size());
  } else {
    new (payload_) SharedText(text);
    size_ = kShared;
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

inline void Value::SetText(std::string&& text) {
  if (text.size() <= kInlineTextBytes) {
    SetText(std::string_view(text));
    return;
  }
  type_ = ValueType::Text;
  new (payload_) SharedText(std::move(text));
  size_ = kShared;
}

inline void Value::CopyFrom(const Value& other) noexcept {
  if (other.HoldsShared()) {
    new (payload_) SharedText(other.Shared());
  } else {
    std::memcpy(payload_, other.payload_, sizeof payload_);
  }
  size_ = other.size_;
  type_ = other.type_;
}

inline void Value::MoveFrom(Value& other) noexcept {
  if (other.HoldsShared()) {
    new (payload_) SharedText(std::move(other.Shared()));
    size_ = kShared;
    type_ = other.type_;
    other.Clear();
  } else {
    CopyFrom(other);
    other.type_ = ValueType::Empty;
    other.size_ = 0;
  }
}

inline void Value::Clear() noexcept {
  if (HoldsShared()) Shared().~SharedText();
  size_ = 0;
  type_ = ValueType::Empty;
}

inline bool Value::operator==(const Value& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case ValueType::Empty:
      return true;
    case ValueType::Number:
      return Number() == other.Number();
    case ValueType::Boolean:
      return Bool() == other.Bool();
    case ValueType::Text:
    case ValueType::Error:
      break;
  }
  return StoredText() == other.StoredText();
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
