// The ribbon the add-in hands its host: a tab "分班" with one button whose
// onAction callback the host reaches through the add-in's IDispatch.
#pragma once

#include <string>

namespace fenban::automation {

// The callback named in the button's onAction.
inline constexpr wchar_t kRibbonCallbackName[] = L"OnFenBanButton";

// The customUI document (Office 2007 namespace, which later Office versions
// and WPS also read).
std::wstring RibbonXml();

}  // namespace fenban::automation
