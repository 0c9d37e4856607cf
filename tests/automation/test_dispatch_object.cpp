#include "test_dispatch_object.h"

#include <algorithm>
#include <cwctype>
#include <new>

#include "automation/com_text.h"
#include "host/errors.h"

namespace fenban::automation::testing {

const IID IID_TestObject = {0x5f1c2a43, 0x77d1, 0x4b0e, {0x9a, 0x61, 0x2c, 0x0e, 0x41, 0x3d, 0x88, 0x17}};

namespace {

bool SameName(const wchar_t* a, const wchar_t* b) {
  while (*a && *b) {
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
    ++a;
    ++b;
  }
  return *a == *b;
}

bool Missing(const VARIANT* v) {
  if (v == nullptr) return true;
  const VARIANT& u = Unwrap(*v);
  return u.vt == VT_ERROR && u.scode == DISP_E_PARAMNOTFOUND;
}

const VARIANT& Need(const std::vector<const VARIANT*>& params, size_t i) {
  if (i >= params.size() || Missing(params[i])) host::Raise(449, "参数不可选");
  return *params[i];
}

}  // namespace

bool CallArgs::Has(size_t i) const { return i < params.size() && !Missing(params[i]); }
host::Value CallArgs::ValueAt(size_t i) const { return ToValue(Need(params, i)); }
int32_t CallArgs::LongAt(size_t i) const { return ValueAt(i).ToLong(); }
double CallArgs::DoubleAt(size_t i) const { return ValueAt(i).ToDouble(); }
bool CallArgs::BoolAt(size_t i) const {
  const host::Value v = ValueAt(i);
  return v.IsBoolean() ? v.Bool() : v.ToDouble() != 0;
}
std::string CallArgs::TextAt(size_t i) const { return ToText(Need(params, i)); }
host::Value CallArgs::PutValue() const { return ToValue(*putValue); }

TestObject::TestObject(CallCounts& counts, const wchar_t* kind, const std::vector<MemberInfo>& members)
    : counts_(&counts), kind_(kind), members_(&members) {}

TestObject* TestObject::Of(const VARIANT* v) {
  if (v == nullptr) return nullptr;
  IDispatch* object = TakeDispatch(*v);
  if (object == nullptr) return nullptr;
  void* ours = nullptr;
  const HRESULT hr = object->QueryInterface(IID_TestObject, &ours);
  object->Release();
  return SUCCEEDED(hr) ? static_cast<TestObject*>(ours) : nullptr;
}

HRESULT STDMETHODCALLTYPE TestObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_TestObject)) {
    *out = this;
    return S_OK;
  }
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TestObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE TestObject::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE TestObject::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  ++counts_->lookups;
  if (count == 0) return S_OK;
  size_t member = members_->size();
  for (size_t i = 0; i < members_->size(); ++i) {
    if (SameName((*members_)[i].name, names[0])) member = i;
  }
  HRESULT hr = S_OK;
  ids[0] = member < members_->size() ? static_cast<DISPID>(member + 1) : DISPID_UNKNOWN;
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  for (UINT n = 1; n < count; ++n) {
    ids[n] = DISPID_UNKNOWN;
    if (member < members_->size()) {
      const auto& params = (*members_)[member].params;
      for (size_t p = 0; p < params.size(); ++p) {
        if (SameName(params[p], names[n])) ids[n] = static_cast<DISPID>(p);
      }
    }
    if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE TestObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                            EXCEPINFO* exception, UINT* argError) {
  ++counts_->invokes;
  if (id < 1 || static_cast<size_t>(id) > members_->size()) return DISP_E_MEMBERNOTFOUND;
  const size_t member = static_cast<size_t>(id - 1);
  const MemberInfo& info = (*members_)[member];
  const std::wstring qualified = std::wstring(kind_) + L"." + info.name;
  ++counts_->byMember[qualified];
  CallArgs args;
  args.flags = flags;
  const UINT total = params ? params->cArgs : 0;
  const UINT named = params ? params->cNamedArgs : 0;
  UINT namedParams = named;
  if (named > 0 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) {
    args.putValue = &params->rgvarg[0];
    namedParams = named - 1;
  }
  const UINT positional = total - named;
  args.params.assign(std::max<size_t>(info.params.size(), positional), nullptr);
  // rgvarg holds the arguments in reverse order, named ones first.
  for (UINT i = 0; i < positional; ++i) args.params[i] = &params->rgvarg[total - 1 - i];
  for (UINT n = named - namedParams; n < named; ++n) {
    const DISPID position = params->rgdispidNamedArgs[n];
    if (position < 0 || static_cast<size_t>(position) >= args.params.size()) {
      if (argError) *argError = n;
      return DISP_E_PARAMNOTFOUND;
    }
    args.params[static_cast<size_t>(position)] = &params->rgvarg[n];
  }
  try {
    if (qualified == counts_->faultMember) host::Raise(counts_->faultNumber);
    Variant answer = Run(member, args);
    if (result) {
      *result = answer.Raw();
      VariantInit(&answer.Raw());
    }
    return S_OK;
  } catch (const host::RuntimeError& error) {
    if (exception) {
      *exception = EXCEPINFO{};
      exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.Number());
      exception->bstrDescription = Utf8ToBstr(error.Description());
      exception->bstrSource = SysAllocString(kind_);
    }
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace fenban::automation::testing
