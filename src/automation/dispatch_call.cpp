// Late-bound IDispatch calls with a DISPID cache and run-time errors.
#include "automation/dispatch_call.h"

#include <dispex.h>

#include "automation/com_text.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

// IID_IDispatchEx; mingw's libuuid does not carry it.
const IID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
constexpr DWORD kNameCaseInsensitive = 0x8;  // fdexNameCaseInsensitive

std::string Narrow(const std::wstring& name) { return WideToUtf8(name); }

// Objects made by script classes answer only IDispatchEx::GetDispID.
HRESULT LookUpThroughDispatchEx(IDispatch* object, const std::wstring& name, DISPID* id) {
  ComPtr<IDispatchEx> ex;
  if (FAILED(object->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(ex.Out())))) return DISP_E_UNKNOWNNAME;
  BSTR bstr = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
  const HRESULT hr = ex->GetDispID(bstr, kNameCaseInsensitive, id);
  SysFreeString(bstr);
  return hr;
}

}  // namespace

DISPID DispIdCache::Find(IDispatch* object, const std::string& kind, const std::wstring& name) {
  if (!kind.empty()) {
    auto found = ids_.find({kind, name});
    if (found != ids_.end()) return found->second;
  }
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
  ++lookups_;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    ++lookups_;
    hr = LookUpThroughDispatchEx(object, name, &id);
  }
  if (FAILED(hr)) RaiseComError(DISP_E_UNKNOWNNAME, nullptr, Narrow(name));
  if (!kind.empty()) ids_[{kind, name}] = id;
  return id;
}

std::vector<DISPID> DispIdCache::FindWithArgs(IDispatch* object, const std::string& kind, const std::wstring& member,
                                              const std::vector<std::wstring>& argNames) {
  if (argNames.empty()) return {Find(object, kind, member)};
  std::wstring key = member;
  for (const std::wstring& arg : argNames) key += L"\x1F" + arg;
  std::vector<DISPID> ids(argNames.size() + 1, DISPID_UNKNOWN);
  bool cached = !kind.empty();
  for (size_t i = 0; cached && i < ids.size(); ++i) {
    auto found = ids_.find({kind, i == 0 ? member : key + L"\x1E" + std::to_wstring(i)});
    if (found == ids_.end()) {
      cached = false;
    } else {
      ids[i] = found->second;
    }
  }
  if (cached) return ids;
  std::vector<LPOLESTR> names;
  names.push_back(const_cast<LPOLESTR>(member.c_str()));
  for (const std::wstring& arg : argNames) names.push_back(const_cast<LPOLESTR>(arg.c_str()));
  ++lookups_;
  const HRESULT hr = object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                           LOCALE_USER_DEFAULT, ids.data());
  if (FAILED(hr)) RaiseComError(DISP_E_UNKNOWNNAME, nullptr, Narrow(member));
  if (!kind.empty()) {
    ids_[{kind, member}] = ids[0];
    for (size_t i = 1; i < ids.size(); ++i) ids_[{kind, key + L"\x1E" + std::to_wstring(i)}] = ids[i];
  }
  return ids;
}

Variant DispatchCaller::Invoke(IDispatch* object, const std::string& kind, const std::wstring& name, WORD flags,
                               std::vector<Variant>& args, std::vector<NamedArg>& named, Variant* putValue) {
  if (!object) host::Raise(91, "对象变量未设置：" + Narrow(name));
  std::vector<std::wstring> argNames;
  for (const NamedArg& arg : named) argNames.push_back(arg.name);
  const std::vector<DISPID> ids = cache_->FindWithArgs(object, kind, name, argNames);

  // rgvarg holds the named arguments first (in the order of their DISPIDs),
  // then the positional ones in reverse.
  std::vector<VARIANT> slots;
  std::vector<DISPID> namedIds;
  if (putValue) {
    slots.push_back(putValue->Raw());
    namedIds.push_back(DISPID_PROPERTYPUT);
  }
  for (size_t i = 0; i < named.size(); ++i) {
    slots.push_back(named[i].value.Raw());
    namedIds.push_back(ids[i + 1]);
  }
  for (auto it = args.rbegin(); it != args.rend(); ++it) slots.push_back(it->Raw());

  DISPPARAMS params{};
  params.rgvarg = slots.empty() ? nullptr : slots.data();
  params.cArgs = static_cast<UINT>(slots.size());
  params.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
  params.cNamedArgs = static_cast<UINT>(namedIds.size());

  Variant result;
  EXCEPINFO info{};
  UINT argError = 0;
  ++invokes_;
  const HRESULT hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    putValue ? nullptr : result.Out(), &info, &argError);
  if (FAILED(hr)) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    struct FreeDescription {
      BSTR text;
      ~FreeDescription() { SysFreeString(text); }
    } description{info.bstrDescription};
    RaiseComError(hr, &info, Narrow(name));
  }
  return result;
}

Variant DispatchCaller::Get(IDispatch* object, const std::string& kind, const std::wstring& name,
                            std::vector<Variant> args) {
  std::vector<NamedArg> named;
  return Invoke(object, kind, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, named, nullptr);
}

void DispatchCaller::Put(IDispatch* object, const std::string& kind, const std::wstring& name, Variant value,
                         std::vector<Variant> args) {
  std::vector<NamedArg> named;
  Invoke(object, kind, name, DISPATCH_PROPERTYPUT, args, named, &value);
}

Variant DispatchCaller::Call(IDispatch* object, const std::string& kind, const std::wstring& name,
                             std::vector<Variant> args, std::vector<NamedArg> named) {
  return Invoke(object, kind, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, named, nullptr);
}

Dispatch DispatchCaller::GetObject(IDispatch* object, const std::string& kind, const std::wstring& name,
                                   std::vector<Variant> args) {
  const Variant result = Get(object, kind, name, std::move(args));
  IDispatch* returned = TakeDispatch(result.Raw());
  if (!returned) host::Raise(91, "对象变量未设置：" + Narrow(name));
  return Dispatch::Adopt(returned);
}

}  // namespace fenban::automation
