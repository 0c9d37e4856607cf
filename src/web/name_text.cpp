#include "web/name_text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace fenban::web {

namespace {

// The length of the UTF-8 character at text[at], or 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t lowest = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  uint32_t code = lead & (0x7f >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3f);
  }
  if (code < lowest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

std::string Replaced(const std::string& name, std::string_view replacement) {
  std::string result;
  for (size_t at = 0; at < name.size();) {
    const size_t length = Utf8Length(name, at);
    if (length == 0) {
      result += replacement;
      ++at;
    } else {
      result.append(name, at, length);
      at += length;
    }
  }
  return result;
}

// The name read as GB18030, or "" when it does not read as such.
std::string FromGb18030(const std::string& name) {
  iconv_t converter = iconv_open("UTF-8", "GB18030");
  if (converter == reinterpret_cast<iconv_t>(-1)) return "";
  std::vector<char> output(name.size() * 4 + 4);
  std::string input = name;
  char* in = input.data();
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
  iconv_close(converter);
  if (done == static_cast<size_t>(-1) || inLeft != 0) return "";
  return std::string(output.data(), output.size() - outLeft);
}

}  // namespace

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string ShownName(const std::string& name) {
  if (IsUtf8(name)) return name;
  std::string converted = FromGb18030(name);
  if (!converted.empty()) return converted;
  return Replaced(name, "\xef\xbf\xbd");
}

std::string Utf8Name(const std::string& name) { return Replaced(name, "_"); }

}  // namespace fenban::web
