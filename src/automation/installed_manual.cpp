#include "automation/installed_manual.h"

#include <windows.h>

#include <optional>

#include "automation/com_text.h"
#include "automation/server_module.h"
#include "form/form_routines.h"

namespace fenban::automation {

namespace {

std::wstring ManualName() { return Utf8ToWide(form::kHelpDocumentName); }

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace

std::wstring InstalledManual() {
  const std::wstring serverFolder = FolderOf(ServerPath());
  if (serverFolder.empty()) return {};
  for (const std::wstring& folder : {serverFolder, FolderOf(serverFolder)}) {
    const std::wstring path = folder + L"\\" + ManualName();
    if (!folder.empty() && IsFile(path)) return path;
  }
  return {};
}

bool RefreshHostManual(const std::wstring& folder) {
  const std::wstring installed = InstalledManual();
  if (installed.empty()) return false;
  const std::optional<std::string> wanted = ReadWhole(installed);
  if (!wanted) return false;
  const std::wstring target = folder + L"\\" + ManualName();
  if (IsFile(target) && ReadWhole(target) == wanted) return false;
  // A copy beside it first, then one rename: help.doc is never half written.
  const std::wstring copy = target + L".new-" + std::to_wstring(GetCurrentProcessId());
  if (!CopyFileW(installed.c_str(), copy.c_str(), FALSE)) return false;
  if (!MoveFileExW(copy.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(copy.c_str());
    return false;
  }
  return true;
}

}  // namespace fenban::automation
