// VARIANT helpers: an owning wrapper, the by-reference shapes late-bound
// callers use, and conversion to and from the host's cell values.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "host/value.h"

namespace fenban::automation {

// An owned VARIANT, cleared on destruction; copies are deep (VariantCopy).
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(const host::Value& value);
  static Variant Bool(bool b);
  static Variant Long(int32_t n);
  static Variant Double(double d);
  static Variant Text(std::string_view utf8);
  static Variant Dispatch(IDispatch* object);  // adds a reference
  // A copy of what `source` holds (by-reference shapes followed).
  static Variant CopyOf(const VARIANT& source);
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant&& other) noexcept;
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  ~Variant() { VariantClear(&v_); }

  VARIANT* Out() {
    VariantClear(&v_);
    return &v_;
  }
  VARIANT& Raw() { return v_; }
  const VARIANT& Raw() const { return v_; }

 private:
  VARIANT v_;
};

// Follows VT_BYREF|VT_VARIANT chains to the VARIANT that holds the value.
const VARIANT& Unwrap(const VARIANT& v);
// The value's type with VT_BYREF stripped, after Unwrap.
VARTYPE BaseType(const VARIANT& v);

// The object a VARIANT carries in any shape (VT_DISPATCH, VT_UNKNOWN,
// by reference, in a by-reference VARIANT); null when it carries none.
// The returned pointer holds a new reference.
IDispatch* TakeDispatch(const VARIANT& v);
// The text a VARIANT carries; other kinds are converted as a form converts them.
std::string ToText(const VARIANT& v);
// A cell value: empty/null -> Empty, numbers (all numeric kinds, currency,
// dates as serial numbers) -> Number, BSTR -> Text, BOOL -> Boolean,
// VT_ERROR -> the error value. Raises run-time error 13 for other kinds.
host::Value ToValue(const VARIANT& v);
// True when the VARIANT holds Null (VT_NULL).
bool IsNull(const VARIANT& v);

// Raises the run-time error a failed COM call means: the number and
// description of the exception it carries when it carries one.
[[noreturn]] void RaiseComError(HRESULT hr, const EXCEPINFO* info, const std::string& what);

}  // namespace fenban::automation
