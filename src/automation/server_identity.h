// The server's fixed identity: GUIDs, names, the DISPID of MyFun.
#pragma once

#include <windows.h>

namespace fenban::automation {

// {FBE1F5D6-2A41-4BBA-AB9F-D34ADEED4040}: type library "Vantrel" 1.0.
inline constexpr GUID kLibraryId = {0xFBE1F5D6, 0x2A41, 0x4BBA, {0xAB, 0x9F, 0xD3, 0x4A, 0xDE, 0xED, 0x40, 0x40}};
// {7A288C55-8D62-43F0-8911-0D3BDA747E32}: dual interface _myfb.
inline constexpr GUID kInterfaceId = {0x7A288C55, 0x8D62, 0x43F0, {0x89, 0x11, 0x0D, 0x3B, 0xDA, 0x74, 0x7E, 0x32}};
// {D0B1D455-CD1D-49C1-BA02-CFBDC563C62E}: coclass myfb.
inline constexpr GUID kClassId = {0xD0B1D455, 0xCD1D, 0x49C1, {0xBA, 0x02, 0xCF, 0xBD, 0xC5, 0x63, 0xC6, 0x2E}};

inline constexpr wchar_t kLibraryIdText[] = L"{FBE1F5D6-2A41-4BBA-AB9F-D34ADEED4040}";
inline constexpr wchar_t kInterfaceIdText[] = L"{7A288C55-8D62-43F0-8911-0D3BDA747E32}";
inline constexpr wchar_t kClassIdText[] = L"{D0B1D455-CD1D-49C1-BA02-CFBDC563C62E}";
inline constexpr wchar_t kProgId[] = L"Vantrel.myfb";
inline constexpr wchar_t kLibraryName[] = L"Vantrel";
inline constexpr wchar_t kInterfaceName[] = L"_myfb";
inline constexpr wchar_t kClassName[] = L"myfb";
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;
inline constexpr DISPID kMyFunId = 0x60030000;

// The add-in class in the same DLL, which a spreadsheet program loads at
// start-up: {8F4854EC-33E3-4D5A-8860-5868B8EFACD8}, ProgID "Vantrel.FenBanAddin".
inline constexpr GUID kAddinClassId = {0x8F4854EC, 0x33E3, 0x4D5A, {0x88, 0x60, 0x58, 0x68, 0xB8, 0xEF, 0xAC, 0xD8}};
inline constexpr wchar_t kAddinClassIdText[] = L"{8F4854EC-33E3-4D5A-8860-5868B8EFACD8}";
inline constexpr wchar_t kAddinProgId[] = L"Vantrel.FenBanAddin";
inline constexpr wchar_t kAddinClassName[] = L"FenBanAddin";
// What the hosts' COM add-in lists show.
inline constexpr wchar_t kAddinFriendlyName[] = L"分班";
inline constexpr wchar_t kAddinDescription[] = L"分班：把学生分成均衡的班级并统计";

}  // namespace fenban::automation
