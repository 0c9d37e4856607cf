// Writes and removes the server's registry keys. Both scopes write the same
// keys under their own Software\Classes, which COM merges into HKEY_CLASSES_ROOT.
#include "automation/registration.h"

#include <olectl.h>

#include <array>
#include <cwctype>
#include <string>

#include "automation/server_identity.h"
#include "automation/server_module.h"

namespace fenban::automation {

namespace {

// The automation marshaller, which serves every oleautomation interface.
constexpr wchar_t kOleAutomationMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";
#ifdef _WIN64
constexpr wchar_t kPlatformKey[] = L"win64";
#else
constexpr wchar_t kPlatformKey[] = L"win32";
#endif

// LoadBehavior 3: connected, and loaded when the host starts.
constexpr DWORD kLoadAtStartup = 3;
// WPS Spreadsheets loads only the COM add-ins its list of allowed add-ins names.
constexpr wchar_t kWpsAllowedAddins[] = L"Software\\Kingsoft\\Office\\ET\\AddinsWL";

HKEY RootKey(RegistrationScope scope) {
  return scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring ClassesPath(const std::wstring& below) { return L"Software\\Classes\\" + below; }

// Sets the value `name` (empty: the key's default value) of key `path` under root.
LONG SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status;
}

LONG DeleteTree(HKEY root, const std::wstring& path) {
  const LONG status = RegDeleteTreeW(root, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status == ERROR_SUCCESS) RegDeleteKeyW(root, path.c_str());
  return status;
}

LONG SetNumber(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return status;
}

LONG DeleteValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteValueW(key, name);
  DWORD values = 0, subkeys = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  // The list of allowed add-ins goes with its last entry.
  if (values == 0 && subkeys == 0) RegDeleteKeyW(root, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

std::wstring Folder(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

HRESULT Undo(RegistrationScope scope, LONG status) {
  UnregisterServer(scope);
  return status == ERROR_ACCESS_DENIED ? SELFREG_E_CLASS : HRESULT_FROM_WIN32(status);
}

}  // namespace

std::array<std::wstring, 2> HostAddinKeys() {
  return {L"Software\\Microsoft\\Office\\Excel\\Addins", L"Software\\Kingsoft\\Office\\ET\\Addins"};
}

RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine) {
  if (!commandLine) return RegistrationScope::Machine;
  std::wstring word(commandLine);
  const size_t first = word.find_first_not_of(L" \t");
  const size_t last = word.find_last_not_of(L" \t");
  word = first == std::wstring::npos ? std::wstring() : word.substr(first, last - first + 1);
  for (wchar_t& c : word) c = static_cast<wchar_t>(std::towlower(c));
  return word == L"user" ? RegistrationScope::User : RegistrationScope::Machine;
}

HRESULT RegisterServer(RegistrationScope scope) {
  const std::wstring path = ServerPath();
  if (path.empty()) return SELFREG_E_CLASS;
  const HKEY root = RootKey(scope);
  const std::wstring version = std::to_wstring(kLibraryMajor) + L"." + std::to_wstring(kLibraryMinor);
  const std::wstring classKey = ClassesPath(std::wstring(L"CLSID\\") + kClassIdText);
  const std::wstring libraryKey = ClassesPath(std::wstring(L"TypeLib\\") + kLibraryIdText + L"\\" + version);
  const std::wstring interfaceKey = ClassesPath(std::wstring(L"Interface\\") + kInterfaceIdText);

  const LONG failures[] = {
      SetText(root, classKey, nullptr, kClassName),
      SetText(root, classKey + L"\\InprocServer32", nullptr, path),
      SetText(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      SetText(root, classKey + L"\\ProgID", nullptr, kProgId),
      SetText(root, classKey + L"\\TypeLib", nullptr, kLibraryIdText),
      SetText(root, classKey + L"\\Version", nullptr, version),
      SetText(root, classKey + L"\\Programmable", nullptr, L""),
      SetText(root, ClassesPath(kProgId), nullptr, kClassName),
      SetText(root, ClassesPath(kProgId) + L"\\CLSID", nullptr, kClassIdText),
      SetText(root, libraryKey, nullptr, kLibraryName),
      SetText(root, libraryKey + L"\\0\\" + kPlatformKey, nullptr, path),
      SetText(root, libraryKey + L"\\FLAGS", nullptr, L"0"),
      SetText(root, libraryKey + L"\\HELPDIR", nullptr, Folder(path)),
      SetText(root, interfaceKey, nullptr, kInterfaceName),
      SetText(root, interfaceKey + L"\\ProxyStubClsid", nullptr, kOleAutomationMarshaller),
      SetText(root, interfaceKey + L"\\ProxyStubClsid32", nullptr, kOleAutomationMarshaller),
      SetText(root, interfaceKey + L"\\TypeLib", nullptr, kLibraryIdText),
      SetText(root, interfaceKey + L"\\TypeLib", L"Version", version),
  };
  const std::wstring addinKey = ClassesPath(std::wstring(L"CLSID\\") + kAddinClassIdText);
  const LONG addinFailures[] = {
      SetText(root, addinKey, nullptr, kAddinClassName),
      SetText(root, addinKey + L"\\InprocServer32", nullptr, path),
      SetText(root, addinKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      SetText(root, addinKey + L"\\ProgID", nullptr, kAddinProgId),
      SetText(root, ClassesPath(kAddinProgId), nullptr, kAddinClassName),
      SetText(root, ClassesPath(kAddinProgId) + L"\\CLSID", nullptr, kAddinClassIdText),
  };
  for (LONG status : failures) {
    if (status != ERROR_SUCCESS) return Undo(scope, status);
  }
  for (LONG status : addinFailures) {
    if (status != ERROR_SUCCESS) return Undo(scope, status);
  }
  // The hosts' lists of add-ins to load at start-up.
  for (const std::wstring& hostKey : HostAddinKeys()) {
    const std::wstring key = hostKey + L"\\" + kAddinProgId;
    const LONG hostFailures[] = {
        SetText(root, key, L"FriendlyName", kAddinFriendlyName),
        SetText(root, key, L"Description", kAddinDescription),
        SetNumber(root, key, L"LoadBehavior", kLoadAtStartup),
    };
    for (LONG status : hostFailures) {
      if (status != ERROR_SUCCESS) return Undo(scope, status);
    }
  }
  const LONG allowed = SetText(root, kWpsAllowedAddins, kAddinProgId, L"");
  if (allowed != ERROR_SUCCESS) return Undo(scope, allowed);
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) {
  const HKEY root = RootKey(scope);
  const LONG results[] = {
      DeleteTree(root, ClassesPath(std::wstring(L"CLSID\\") + kClassIdText)),
      DeleteTree(root, ClassesPath(kProgId)),
      DeleteTree(root, ClassesPath(std::wstring(L"TypeLib\\") + kLibraryIdText)),
      DeleteTree(root, ClassesPath(std::wstring(L"Interface\\") + kInterfaceIdText)),
      DeleteTree(root, ClassesPath(std::wstring(L"CLSID\\") + kAddinClassIdText)),
      DeleteTree(root, ClassesPath(kAddinProgId)),
      DeleteTree(root, HostAddinKeys()[0] + L"\\" + kAddinProgId),
      DeleteTree(root, HostAddinKeys()[1] + L"\\" + kAddinProgId),
      DeleteValue(root, kWpsAllowedAddins, kAddinProgId),
  };
  for (LONG status : results) {
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

}  // namespace fenban::automation
