// Checks a ribbon document as Office checks what GetCustomUI returns, by
// the rules of the customUI schema (Office 2007 customUI.xsd, and its 2009
// successor): well-formed XML, the root customUI in one of the two
// namespaces, elements only where the schema allows them (customUI > ribbon
// > tabs > tab > group > button), exactly one of id / idMso / idQ on tabs,
// groups and buttons, ids unique and of the schema's ST_UniqueID type
// (an XML name without a colon, 1 to 1024 characters), labels of at most
// 1024 characters, a button's size "normal" or "large". It returns the
// onAction callback names it found. The XML is parsed by MSXML (wine's).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace fenban::automation::testing {

std::vector<std::wstring> CheckRibbonXml(const std::wstring& xml);

}  // namespace fenban::automation::testing
