#include "automation/fake_dispatch.h"

#include <cwchar>

namespace fenban::wintest {

using automation::Variant;

FakeDispatch::Member* FakeDispatch::Find(const std::wstring& name) {
  for (Member& m : members_) {
    if (_wcsicmp(m.name.c_str(), name.c_str()) == 0) return &m;
  }
  return nullptr;
}

void FakeDispatch::Property(const std::wstring& name, Variant initial) {
  Member m;
  m.name = name;
  m.isProperty = true;
  m.stored = std::move(initial);
  members_.push_back(std::move(m));
}

void FakeDispatch::Method(const std::wstring& name, Handler handler, std::vector<std::wstring> argNames) {
  Member m;
  m.name = name;
  m.handler = std::move(handler);
  m.argNames = std::move(argNames);
  members_.push_back(std::move(m));
}

void FakeDispatch::Child(const std::wstring& name, IDispatch* child) { Property(name, Variant::Dispatch(child)); }

const VARIANT& FakeDispatch::Value(const std::wstring& name) const {
  static const Variant empty;
  for (const Member& m : members_) {
    if (m.name == name) return m.stored.Raw();
  }
  return empty.Raw();
}

void FakeDispatch::Set(const std::wstring& name, Variant value) {
  if (Member* m = Find(name)) m->stored = std::move(value);
}

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG FakeDispatch::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  ++lookups_;
  Member* member = Find(names[0]);
  if (!member) {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  ids[0] = static_cast<DISPID>(member - members_.data()) + 1;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t a = 0; a < member->argNames.size(); ++a) {
      if (_wcsicmp(member->argNames[a].c_str(), names[i]) == 0) ids[i] = static_cast<DISPID>(a);
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT*) {
  ++invokes_;
  if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
  Member& member = members_[static_cast<size_t>(id - 1)];
  Call call{flags, {}, {}};
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    const DISPID named = params->rgdispidNamedArgs[i];
    if (named == DISPID_PROPERTYPUT) {
      call.named[L"="] = &params->rgvarg[i];
    } else if (named >= 0 && static_cast<size_t>(named) < member.argNames.size()) {
      call.named[member.argNames[static_cast<size_t>(named)]] = &params->rgvarg[i];
    } else {
      return DISP_E_PARAMNOTFOUND;
    }
  }
  for (UINT i = params->cArgs; i > params->cNamedArgs; --i) call.args.push_back(&params->rgvarg[i - 1]);

  if (member.isProperty) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      auto value = call.named.find(L"=");
      if (value == call.named.end()) return DISP_E_PARAMNOTFOUND;
      log_.push_back(L"put " + member.name);
      member.stored = Variant::CopyOf(*value->second);
      return S_OK;
    }
    log_.push_back(L"get " + member.name);
    if (result) VariantCopy(result, &member.stored.Raw());
    return S_OK;
  }
  log_.push_back(L"call " + member.name);
  Variant ignored;
  return member.handler(call, result ? result : ignored.Out(), exception);
}

HRESULT RaiseInto(EXCEPINFO* exception, int number, const wchar_t* description) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    exception->bstrDescription = SysAllocString(description);
  }
  return DISP_E_EXCEPTION;
}

}  // namespace fenban::wintest
