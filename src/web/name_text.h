// File names and request texts that may not be UTF-8: a name in 数据/
// written by another system (a zip from Windows with GBK names) is shown as
// best it can be, and an upload gets a name the page can show and send back.
#pragma once

#include <string>
#include <string_view>

namespace fenban::web {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsUtf8(std::string_view text);

// The name as the page shows it: itself when UTF-8; else read as GB18030
// (what Chinese Windows writes) when that reads; else with every byte that
// is not UTF-8 shown as U+FFFD.
std::string ShownName(const std::string& name);

// The name with every byte that is not part of a UTF-8 character replaced
// by '_'.
std::string Utf8Name(const std::string& name);

}  // namespace fenban::web
