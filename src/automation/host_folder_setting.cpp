#include "automation/host_folder_setting.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace fenban::automation {

namespace {

std::wstring RememberedFolder() {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kHostFolderValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kHostFolderValue, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  return std::wstring(text.data());
}

std::wstring DefaultFolder() {
  wchar_t documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) return {};
  return std::wstring(documents) + L"\\分班";
}

}  // namespace

std::wstring HostFolder() {
  std::wstring folder = RememberedFolder();
  if (!folder.empty()) return folder;
  folder = DefaultFolder();
  if (!folder.empty()) RememberHostFolder(folder);
  return folder;
}

void RememberHostFolder(const std::wstring& folder) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kHostFolderValue, REG_SZ, folder.c_str(),
                  static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

}  // namespace fenban::automation
