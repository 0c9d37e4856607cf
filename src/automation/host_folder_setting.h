// Where the add-in keeps the host workbook (fenban.xlsx, the data folder
// 数据\ and help.doc): a folder chosen once and remembered for the user in
// HKEY_CURRENT_USER\Software\Vantrel\FenBan, value HostFolder. Without a
// remembered folder it is 分班 in the user's Documents.
#pragma once

#include <string>

namespace fenban::automation {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Vantrel\\FenBan";
inline constexpr wchar_t kHostFolderValue[] = L"HostFolder";
// The host workbook: fenban.xlsx as the terminal makes it, or the
// macro-enabled fenban.xlsm of a form built in the workbook.
inline constexpr const wchar_t* kHostBookNames[] = {L"fenban.xlsx", L"fenban.xlsm"};

// The remembered folder, or the default (which is then remembered); empty
// when neither can be found.
std::wstring HostFolder();
void RememberHostFolder(const std::wstring& folder);

}  // namespace fenban::automation
