// Text across the COM boundary: UTF-8 inside, UTF-16 (wide strings, BSTR) outside.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace fenban::automation {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// The text of a BSTR (null is the empty text).
std::string BstrToUtf8(BSTR text);
// A new BSTR the caller frees with SysFreeString; throws std::bad_alloc when out of memory.
BSTR Utf8ToBstr(std::string_view text);

}  // namespace fenban::automation
