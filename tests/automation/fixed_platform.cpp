#include "automation/fixed_platform.h"

#include <windows.h>

#include "automation/com_text.h"
#include "automation/win_check.h"
#include "form/form_routines.h"

namespace fenban::automation::testing {

FixedPlatform::FixedPlatform(const WorkflowWorld& world) {
  const std::wstring seed = std::to_wstring(world.services.seed);
  SetEnvironmentVariableW(L"FENBAN_SEED", seed.c_str());
  wchar_t format[80] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format, 80) > 0) savedDateFormat_ = format;
  const std::wstring date = L"'" + Utf8ToWide(world.services.date) + L"'";  // a literal: the same every day
  CHECK(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date.c_str()));
  const std::wstring folder = Utf8ToWide(kHostFolder);
  const std::wstring dataFolder = folder + L"\\" + Utf8ToWide(form::kDataFolderName);
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW(dataFolder.c_str(), nullptr);
  HANDLE list = CreateFileW((dataFolder + L"\\" + Utf8ToWide(world.dataBookName)).c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  CHECK(list != INVALID_HANDLE_VALUE);
  CloseHandle(list);
}

FixedPlatform::~FixedPlatform() {
  SetEnvironmentVariableW(L"FENBAN_SEED", nullptr);
  if (!savedDateFormat_.empty()) SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, savedDateFormat_.c_str());
}

}  // namespace fenban::automation::testing
