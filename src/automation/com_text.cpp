// UTF-8 <-> UTF-16 conversion through the system's converter; invalid
// sequences become U+FFFD rather than failing.
#include "automation/com_text.h"

#include <climits>
#include <new>
#include <stdexcept>

namespace fenban::automation {

namespace {

int CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) throw std::length_error("text too long");
  return static_cast<int>(size);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int inLength = CheckedLength(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, wide.data(), length);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int inLength = CheckedLength(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string BstrToUtf8(BSTR text) {
  if (!text) return {};
  return WideToUtf8(std::wstring_view(text, SysStringLen(text)));
}

BSTR Utf8ToBstr(std::string_view text) {
  const std::wstring wide = Utf8ToWide(text);
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!result) throw std::bad_alloc();
  return result;
}

}  // namespace fenban::automation
