// The teachers' manual "help.doc" that init puts beside fenban.xlsx: an RTF
// document, which every word processor opens.
#pragma once

#include <string>
#include <string_view>

namespace fenban::app {

// Escapes UTF-8 text for an RTF body: \ { } are escaped, ASCII stays as it
// is, every other character becomes \uN? with N a signed 16-bit number
// (characters beyond the basic plane as a surrogate pair), line feeds \line.
std::string RtfEscape(std::string_view utf8);

// The whole manual as an RTF document.
std::string BuildTeacherManual();

}  // namespace fenban::app
