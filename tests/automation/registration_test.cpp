// Registration of myfb.dll (the class myfb and the add-in) as the test script leaves it between regsvr32 runs:
//   registration_test machine DLL   after "regsvr32 DLL"
//   registration_test none DLL      after "regsvr32 /u DLL" (and after the per-user removal)
//   registration_test user DLL      after "regsvr32 /n /i:user DLL"
// plus, in every mode, what the DLL's entry points answer when called directly.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "automation/com_ptr.h"
#include "automation/server_identity.h"
#include "automation/win_check.h"

using namespace fenban::automation;

namespace {

// The default (or named) value of a key; nullopt-like empty string plus `found` = false when missing.
bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring& out) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return false;
  out.assign(buffer);
  return true;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// The keys one registration writes, under HKLM or HKCU Software\Classes.
void CheckKeys(HKEY root, const std::wstring& dllPath, bool present) {
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring classKey = classes + L"CLSID\\" + kClassIdText;
  const std::wstring libraryKey = classes + L"TypeLib\\" + kLibraryIdText;
  const std::wstring interfaceKey = classes + L"Interface\\" + kInterfaceIdText;
  const std::wstring progIdKey = classes + kProgId;
  if (!present) {
    CHECK(!KeyExists(root, classKey));
    CHECK(!KeyExists(root, libraryKey));
    CHECK(!KeyExists(root, interfaceKey));
    CHECK(!KeyExists(root, progIdKey));
    return;
  }
  std::wstring text;
  CHECK(ReadText(root, classKey + L"\\InprocServer32", nullptr, text) && Lower(text) == Lower(dllPath));
  CHECK(ReadText(root, classKey + L"\\InprocServer32", L"ThreadingModel", text) && text == L"Apartment");
  CHECK(ReadText(root, classKey + L"\\ProgID", nullptr, text) && text == L"Vantrel.myfb");
  CHECK(ReadText(root, progIdKey + L"\\CLSID", nullptr, text) && text == kClassIdText);
#ifdef _WIN64
  CHECK(ReadText(root, libraryKey + L"\\1.0\\0\\win64", nullptr, text) && Lower(text) == Lower(dllPath));
#else
  CHECK(ReadText(root, libraryKey + L"\\1.0\\0\\win32", nullptr, text) && Lower(text) == Lower(dllPath));
#endif
  CHECK(ReadText(root, interfaceKey + L"\\ProxyStubClsid32", nullptr, text) &&
        text == L"{00020424-0000-0000-C000-000000000046}");
  CHECK(ReadText(root, interfaceKey + L"\\TypeLib", nullptr, text) && text == kLibraryIdText);
}

bool ReadNumber(HKEY root, const std::wstring& path, const wchar_t* name, DWORD& out) {
  DWORD size = sizeof out;
  return RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &out, &size) == ERROR_SUCCESS;
}

// The add-in class and the keys by which Excel and WPS Spreadsheets load it
// at start-up (LoadBehavior 3), with WPS's list of allowed add-ins.
void CheckAddinKeys(HKEY root, const std::wstring& dllPath, bool present) {
  const std::wstring classKey = std::wstring(L"Software\\Classes\\CLSID\\") + kAddinClassIdText;
  const std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + kAddinProgId;
  const std::wstring hostKeys[] = {L"Software\\Microsoft\\Office\\Excel\\Addins\\Vantrel.FenBanAddin",
                                   L"Software\\Kingsoft\\Office\\ET\\Addins\\Vantrel.FenBanAddin"};
  const std::wstring allowed = L"Software\\Kingsoft\\Office\\ET\\AddinsWL";
  std::wstring text;
  if (!present) {
    CHECK(!KeyExists(root, classKey));
    CHECK(!KeyExists(root, progIdKey));
    for (const std::wstring& key : hostKeys) CHECK(!KeyExists(root, key));
    CHECK(!ReadText(root, allowed, L"Vantrel.FenBanAddin", text));
    return;
  }
  CHECK(ReadText(root, classKey + L"\\InprocServer32", nullptr, text) && Lower(text) == Lower(dllPath));
  CHECK(ReadText(root, classKey + L"\\InprocServer32", L"ThreadingModel", text) && text == L"Apartment");
  CHECK(ReadText(root, classKey + L"\\ProgID", nullptr, text) && text == L"Vantrel.FenBanAddin");
  CHECK(ReadText(root, progIdKey + L"\\CLSID", nullptr, text) && text == kAddinClassIdText);
  for (const std::wstring& key : hostKeys) {
    DWORD loadBehavior = 0;
    CHECK(ReadNumber(root, key, L"LoadBehavior", loadBehavior) && loadBehavior == 3);
    CHECK(ReadText(root, key, L"FriendlyName", text) && text == L"分班");
    CHECK(ReadText(root, key, L"Description", text) && !text.empty());
  }
  CHECK(ReadText(root, allowed, L"Vantrel.FenBanAddin", text));
}

// The type library as registered: library Vantrel, _myfb hidden/dual/
// nonextensible/oleautomation with MyFun(EA, UF, strFlag) all by reference,
// returning a Variant; coclass myfb creatable with _myfb as default.
void CheckTypeLibrary() {
  ComPtr<ITypeLib> library;
  if (!CHECK(SUCCEEDED(LoadRegTypeLib(kLibraryId, 1, 0, LOCALE_NEUTRAL, library.Out())))) return;
  BSTR name = nullptr;
  CHECK(SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr)));
  CHECK_TEXT(std::wstring(name ? name : L""), L"Vantrel");
  SysFreeString(name);

  ComPtr<ITypeInfo> dispatchInfo;
  if (!CHECK(SUCCEEDED(library->GetTypeInfoOfGuid(kInterfaceId, dispatchInfo.Out())))) return;
  TYPEATTR* attributes = nullptr;
  dispatchInfo->GetTypeAttr(&attributes);
  CHECK(attributes->typekind == TKIND_DISPATCH);
  const WORD wanted = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  CHECK((attributes->wTypeFlags & wanted) == wanted);
  dispatchInfo->ReleaseTypeAttr(attributes);

  // The vtable side of the dual interface describes the parameters.
  HREFTYPE vtableRef = 0;
  ComPtr<ITypeInfo> info;
  if (!CHECK(SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(-1, &vtableRef)) &&
             SUCCEEDED(dispatchInfo->GetRefTypeInfo(vtableRef, info.Out())))) {
    return;
  }
  MEMBERID id = 0;
  LPOLESTR member = const_cast<LPOLESTR>(L"MyFun");
  if (!CHECK(SUCCEEDED(info->GetIDsOfNames(&member, 1, &id)))) return;
  CHECK(id == kMyFunId);
  info->GetTypeAttr(&attributes);
  CHECK(attributes->typekind == TKIND_INTERFACE);
  CHECK((attributes->wTypeFlags & (wanted | TYPEFLAG_FOLEAUTOMATION)) == (wanted | TYPEFLAG_FOLEAUTOMATION));
  FUNCDESC* function = nullptr;
  bool found = false;
  for (UINT i = 0; i < attributes->cFuncs && !found; ++i) {
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    if (function->memid != kMyFunId) {
      info->ReleaseFuncDesc(function);
      continue;
    }
    found = true;
    CHECK(function->invkind == INVOKE_FUNC);
    CHECK(function->cParams == 4);  // EA, UF, strFlag and the Variant result
    const VARTYPE pointee[3] = {VT_DISPATCH, VT_DISPATCH, VT_BSTR};
    for (int p = 0; p < 3 && p < function->cParams; ++p) {
      const ELEMDESC& param = function->lprgelemdescParam[p];
      CHECK(param.tdesc.vt == VT_PTR && param.tdesc.lptdesc->vt == pointee[p]);
      CHECK((param.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT)) == (PARAMFLAG_FIN | PARAMFLAG_FOUT));
    }
    if (function->cParams == 4) {
      const ELEMDESC& result = function->lprgelemdescParam[3];
      CHECK(result.tdesc.vt == VT_PTR && result.tdesc.lptdesc->vt == VT_VARIANT);
      CHECK((result.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0);
    }
    BSTR names[5] = {};
    UINT count = 0;
    info->GetNames(kMyFunId, names, 5, &count);
    CHECK(count >= 4);
    const wchar_t* expected[4] = {L"MyFun", L"EA", L"UF", L"strFlag"};
    for (UINT n = 0; n < 4 && n < count; ++n) CHECK_TEXT(std::wstring(names[n]), expected[n]);
    for (BSTR n : names) SysFreeString(n);
    info->ReleaseFuncDesc(function);
  }
  CHECK(found);
  info->ReleaseTypeAttr(attributes);

  ComPtr<ITypeInfo> coclass;
  if (!CHECK(SUCCEEDED(library->GetTypeInfoOfGuid(kClassId, coclass.Out())))) return;
  coclass->GetTypeAttr(&attributes);
  CHECK(attributes->typekind == TKIND_COCLASS);
  CHECK((attributes->wTypeFlags & TYPEFLAG_FCANCREATE) != 0);
  coclass->ReleaseTypeAttr(attributes);
  int flags = 0;
  CHECK(SUCCEEDED(coclass->GetImplTypeFlags(0, &flags)) && (flags & IMPLTYPEFLAG_FDEFAULT));
  BSTR className = nullptr;
  coclass->GetDocumentation(MEMBERID_NIL, &className, nullptr, nullptr, nullptr);
  CHECK_TEXT(std::wstring(className ? className : L""), L"myfb");
  SysFreeString(className);
}

void CheckMachineRegistration(const std::wstring& dllPath) {
  CheckKeys(HKEY_LOCAL_MACHINE, dllPath, true);
  CLSID clsid{};
  CHECK_HR(CLSIDFromProgID(L"Vantrel.myfb", &clsid), S_OK);
  CHECK(IsEqualCLSID(clsid, kClassId));
  ComPtr<IDispatch> object;
  CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(object.Out())),
           S_OK);
  if (object) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"myfun");  // late binding ignores letter case
    CHECK_HR(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    CHECK(id == kMyFunId);
    ComPtr<ITypeInfo> info;
    CHECK_HR(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()), S_OK);
    ComPtr<IUnknown> dual;
    CHECK_HR(object->QueryInterface(kInterfaceId, reinterpret_cast<void**>(dual.Out())), S_OK);
  }
  CheckTypeLibrary();
}

// The entry points called directly: a wrong class is refused, and the DLL
// may unload only when no object and no lock is left.
void CheckEntryPoints(const std::wstring& dllPath) {
  HMODULE dll = LoadLibraryW(dllPath.c_str());
  if (!CHECK(dll != nullptr)) return;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  CHECK(GetProcAddress(dll, "DllRegisterServer") && GetProcAddress(dll, "DllUnregisterServer") &&
        GetProcAddress(dll, "DllInstall"));
  if (!CHECK(getClassObject && canUnloadNow)) return;

  ComPtr<IClassFactory> factory;
  CHECK_HR(getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())),
           CLASS_E_CLASSNOTAVAILABLE);
  CHECK_HR(canUnloadNow(), S_OK);
  CHECK_HR(getClassObject(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
  if (!factory) return;
  CHECK_HR(canUnloadNow(), S_FALSE);
  ComPtr<IUnknown> outer;
  ComPtr<IUnknown> refused;
  CHECK_HR(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown,
                                   reinterpret_cast<void**>(refused.Out())),
           CLASS_E_NOAGGREGATION);
  ComPtr<IDispatch> first;
  ComPtr<IDispatch> second;
  CHECK_HR(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(first.Out())), S_OK);
  CHECK_HR(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(second.Out())), S_OK);
  CHECK(first.Get() != second.Get());
  CHECK_HR(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(refused.Out())),
           E_NOINTERFACE);
  factory = ComPtr<IClassFactory>();
  CHECK_HR(canUnloadNow(), S_FALSE);  // two objects alive
  first = ComPtr<IDispatch>();
  CHECK_HR(canUnloadNow(), S_FALSE);
  // A second reference on the remaining object keeps it alive after one release.
  second->AddRef();
  CHECK(second->Release() == 1);
  second = ComPtr<IDispatch>();
  CHECK_HR(canUnloadNow(), S_OK);

  CHECK_HR(getClassObject(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
  factory->LockServer(TRUE);
  factory = ComPtr<IClassFactory>();
  CHECK_HR(canUnloadNow(), S_FALSE);  // locked without any object
  CHECK_HR(getClassObject(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
  factory->LockServer(FALSE);
  factory = ComPtr<IClassFactory>();
  CHECK_HR(canUnloadNow(), S_OK);
  FreeLibrary(dll);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf("usage: registration_test machine|user|none DLL\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  wchar_t full[MAX_PATH];
  GetFullPathNameW(argv[2], MAX_PATH, full, nullptr);
  const std::wstring dllPath = full;
  CoInitialize(nullptr);
  if (mode == L"machine") {
    CheckMachineRegistration(dllPath);
    CheckKeys(HKEY_CURRENT_USER, dllPath, false);
    CheckAddinKeys(HKEY_LOCAL_MACHINE, dllPath, true);
    CheckAddinKeys(HKEY_CURRENT_USER, dllPath, false);
  } else if (mode == L"user") {
    // Activation through HKCU alone is not available under wine; the keys are what we check.
    CheckKeys(HKEY_CURRENT_USER, dllPath, true);
    CheckKeys(HKEY_LOCAL_MACHINE, dllPath, false);
    CheckAddinKeys(HKEY_CURRENT_USER, dllPath, true);
    CheckAddinKeys(HKEY_LOCAL_MACHINE, dllPath, false);
  } else {
    CheckKeys(HKEY_LOCAL_MACHINE, dllPath, false);
    CheckKeys(HKEY_CURRENT_USER, dllPath, false);
    CheckAddinKeys(HKEY_LOCAL_MACHINE, dllPath, false);
    CheckAddinKeys(HKEY_CURRENT_USER, dllPath, false);
    CLSID clsid{};
    CHECK(FAILED(CLSIDFromProgID(L"Vantrel.myfb", &clsid)));
  }
  CheckEntryPoints(dllPath);
  CoUninitialize();
  return fenban::wincheck::Summary("registration_test");
}
