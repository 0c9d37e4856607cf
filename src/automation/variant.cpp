// VARIANT <-> host value conversion and the COM error -> run-time error map.
#include "automation/variant.h"

#include <array>
#include <cstdio>
#include <new>
#include <utility>

#include "automation/com_text.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

// Cell error values travel as VT_ERROR with these codes.
struct CellError {
  const char* text;
  SCODE code;
};
constexpr std::array<CellError, 7> kCellErrors = {{
    {"#NULL!", static_cast<SCODE>(0x800A07D0)},
    {"#DIV/0!", static_cast<SCODE>(0x800A07D7)},
    {"#VALUE!", static_cast<SCODE>(0x800A07DF)},
    {"#REF!", static_cast<SCODE>(0x800A07E7)},
    {"#NAME?", static_cast<SCODE>(0x800A07ED)},
    {"#NUM!", static_cast<SCODE>(0x800A07F4)},
    {"#N/A", static_cast<SCODE>(0x800A07FA)},
}};

double Numeric(const VARIANT& v) {
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_R8))) host::Raise(host::kErrTypeMismatch);
  return converted.dblVal;
}

}  // namespace

Variant::Variant(const host::Value& value) : Variant() {
  switch (value.Type()) {
    case host::ValueType::Empty:
      break;
    case host::ValueType::Number:
      v_.vt = VT_R8;
      v_.dblVal = value.Number();
      break;
    case host::ValueType::Text:
      v_.bstrVal = Utf8ToBstr(value.Text());
      v_.vt = VT_BSTR;
      break;
    case host::ValueType::Boolean:
      v_.vt = VT_BOOL;
      v_.boolVal = value.Bool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case host::ValueType::Error: {
      v_.vt = VT_ERROR;
      v_.scode = kCellErrors[2].code;
      const std::string code = value.Error().code;
      for (const CellError& e : kCellErrors) {
        if (code == e.text) v_.scode = e.code;
      }
      break;
    }
  }
}

Variant Variant::Bool(bool b) { return Variant(host::Value::Boolean(b)); }

Variant Variant::Long(int32_t n) {
  Variant v;
  v.v_.vt = VT_I4;
  v.v_.lVal = n;
  return v;
}

Variant Variant::Double(double d) { return Variant(host::Value(d)); }

Variant Variant::Text(std::string_view utf8) { return Variant(host::Value(utf8)); }

Variant Variant::Dispatch(IDispatch* object) {
  Variant v;
  v.v_.vt = VT_DISPATCH;
  v.v_.pdispVal = object;
  if (object) object->AddRef();
  return v;
}

Variant Variant::CopyOf(const VARIANT& source) {
  Variant v;
  if (FAILED(VariantCopyInd(&v.v_, const_cast<VARIANT*>(&Unwrap(source))))) throw std::bad_alloc();
  return v;
}

Variant::Variant(const Variant& other) : Variant() {
  if (FAILED(VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)))) throw std::bad_alloc();
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    VariantClear(&v_);
    v_ = other.v_;
    VariantInit(&other.v_);
  }
  return *this;
}

const VARIANT& Unwrap(const VARIANT& v) {
  const VARIANT* p = &v;
  while (p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal) p = p->pvarVal;
  return *p;
}

VARTYPE BaseType(const VARIANT& v) { return static_cast<VARTYPE>(Unwrap(v).vt & ~VT_BYREF); }

IDispatch* TakeDispatch(const VARIANT& v) {
  const VARIANT& u = Unwrap(v);
  IUnknown* unknown = nullptr;
  switch (u.vt) {
    case VT_DISPATCH: unknown = u.pdispVal; break;
    case VT_UNKNOWN: unknown = u.punkVal; break;
    case VT_BYREF | VT_DISPATCH: unknown = u.ppdispVal ? *u.ppdispVal : nullptr; break;
    case VT_BYREF | VT_UNKNOWN: unknown = u.ppunkVal ? *u.ppunkVal : nullptr; break;
    default: return nullptr;
  }
  if (!unknown) return nullptr;
  IDispatch* object = nullptr;
  if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object)))) return nullptr;
  return object;
}

bool IsNull(const VARIANT& v) { return BaseType(v) == VT_NULL; }

std::string ToText(const VARIANT& v) {
  const VARIANT& u = Unwrap(v);
  if (u.vt == VT_BSTR) return BstrToUtf8(u.bstrVal);
  if (u.vt == (VT_BYREF | VT_BSTR)) return u.pbstrVal ? BstrToUtf8(*u.pbstrVal) : std::string();
  return ToValue(u).ToText();
}

host::Value ToValue(const VARIANT& v) {
  const VARIANT& u = Unwrap(v);
  const VARTYPE type = BaseType(u);
  const bool byRef = (u.vt & VT_BYREF) != 0;
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      return host::Value();
    case VT_BSTR:
      return host::Value(BstrToUtf8(byRef ? (u.pbstrVal ? *u.pbstrVal : nullptr) : u.bstrVal));
    case VT_BOOL:
      return host::Value::Boolean((byRef ? *u.pboolVal : u.boolVal) != VARIANT_FALSE);
    case VT_ERROR: {
      const SCODE code = byRef ? *u.pscode : u.scode;
      for (const CellError& e : kCellErrors) {
        if (code == e.code) return host::Value(host::ErrorValue{e.text});
      }
      return host::Value(host::ErrorValue{"#VALUE!"});
    }
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_DECIMAL:
      return host::Value(Numeric(u));
    default:
      host::Raise(host::kErrTypeMismatch);
  }
}

void RaiseComError(HRESULT hr, const EXCEPINFO* info, const std::string& what) {
  if (hr == DISP_E_EXCEPTION && info) {
    EXCEPINFO filled = *info;
    if (filled.pfnDeferredFillIn) filled.pfnDeferredFillIn(&filled);
    int32_t number = filled.wCode;
    const HRESULT scode = filled.scode;
    if (number == 0 && HRESULT_FACILITY(scode) == FACILITY_CONTROL) number = HRESULT_CODE(scode);
    if (number == 0) number = host::kErrHost;
    std::string description = BstrToUtf8(filled.bstrDescription);
    if (description.empty()) description = host::DefaultDescription(number);
    host::Raise(number, description);
  }
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
    const int32_t number = HRESULT_CODE(hr);
    host::Raise(number, host::DefaultDescription(number));
  }
  if (hr == DISP_E_TYPEMISMATCH) host::Raise(host::kErrTypeMismatch);
  if (hr == DISP_E_BADINDEX) host::Raise(host::kErrSubscript);
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) {
    host::Raise(438, "对象不支持该属性或方法：" + what);
  }
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
  host::Raise(host::kErrHost, what + " 调用失败 (0x" + code + ")");
}

}  // namespace fenban::automation
