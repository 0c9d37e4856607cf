// The myfb object: reference counting, IDispatch over the type library's
// description, and MyFun accepting its arguments in every shape a form's
// code or a script passes them (by value, by reference, by reference to a VARIANT).
#include "automation/myfb_object.h"

#include <array>
#include <cwchar>
#include <string>

#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/myfb_run.h"
#include "automation/server_identity.h"
#include "automation/server_module.h"
#include "automation/variant.h"

namespace fenban::automation {

namespace {

// DISPIDs of MyFun's parameters when they are passed by name.
constexpr std::array<const wchar_t*, 3> kParameterNames = {L"EA", L"UF", L"strFlag"};

// The argument at `position` (0 = EA): named or positional; null when missing.
const VARIANT* Argument(const DISPPARAMS& params, UINT position) {
  for (UINT i = 0; i < params.cNamedArgs; ++i) {
    if (params.rgdispidNamedArgs[i] == static_cast<DISPID>(position)) return &params.rgvarg[i];
  }
  const UINT positional = params.cArgs - params.cNamedArgs;
  if (position >= positional) return nullptr;
  return &params.rgvarg[params.cArgs - 1 - position];
}

bool Missing(const VARIANT* v) {
  return !v || (Unwrap(*v).vt == VT_ERROR && Unwrap(*v).scode == DISP_E_PARAMNOTFOUND);
}

}  // namespace

MyfbObject::MyfbObject() { LockServer(); }
MyfbObject::~MyfbObject() { UnlockServer(); }

HRESULT MyfbObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kInterfaceId)) {
    *out = static_cast<_myfb*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG MyfbObject::AddRef() { return ++references_; }

ULONG MyfbObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT MyfbObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT MyfbObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = LoadInterfaceTypeInfo();
  return *info ? S_OK : TYPE_E_CANTLOADLIBRARY;
}

HRESULT MyfbObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return E_INVALIDARG;
  HRESULT result = S_OK;
  const bool member = _wcsicmp(names[0], L"MyFun") == 0;
  ids[0] = member ? kMyFunId : DISPID_UNKNOWN;
  if (!member) result = DISP_E_UNKNOWNNAME;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t p = 0; member && p < kParameterNames.size(); ++p) {
      if (_wcsicmp(names[i], kParameterNames[p]) == 0) ids[i] = static_cast<DISPID>(p);
    }
    if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

HRESULT MyfbObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (id != kMyFunId) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_POINTER;
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    const DISPID named = params->rgdispidNamedArgs[i];
    if (named < 0 || named >= static_cast<DISPID>(kParameterNames.size())) {
      if (argError) *argError = i;
      return DISP_E_PARAMNOTFOUND;
    }
  }
  if (params->cArgs > kParameterNames.size()) return DISP_E_BADPARAMCOUNT;
  const VARIANT* ea = Argument(*params, 0);
  const VARIANT* uf = Argument(*params, 1);
  const VARIANT* flag = Argument(*params, 2);
  if (Missing(ea) || Missing(uf) || Missing(flag)) return DISP_E_PARAMNOTFOUND;

  const VARTYPE flagType = BaseType(*flag);
  if (flagType != VT_BSTR && flagType != VT_EMPTY) {
    if (argError) *argError = params->cArgs - 1 - 2;
    return DISP_E_TYPEMISMATCH;
  }
  ComPtr<IDispatch> application = ComPtr<IDispatch>::Adopt(TakeDispatch(*ea));
  ComPtr<IDispatch> form = ComPtr<IDispatch>::Adopt(TakeDispatch(*uf));
  std::string flagText;
  try {
    flagText = ToText(*flag);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  Variant empty;
  return RunMyFun(core_, application.Get(), form.Get(), flagText, result ? result : empty.Out(), exception);
}

HRESULT MyfbObject::MyFun(IDispatch** EA, IDispatch** UF, BSTR* strFlag, VARIANT* result) {
  if (!EA || !UF || !strFlag || !result) return E_POINTER;
  std::string flagText;
  try {
    flagText = BstrToUtf8(*strFlag);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return RunMyFun(core_, *EA, *UF, flagText, result);
}

}  // namespace fenban::automation
