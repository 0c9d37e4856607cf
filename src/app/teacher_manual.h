// The teacher's guide (docs/教师指南.md, compiled in) in the two forms it
// reaches teachers: "help.doc", which init puts beside fenban.xlsx, an RTF
// document with the pictures in it that Word, WPS and LibreOffice open; and
// the page's help, an HTML fragment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/guide.h"
#include "app/guide_markdown.h"

namespace fenban::app {

// Escapes UTF-8 text for an RTF body: \ { } are escaped, ASCII stays as it
// is, every other character becomes \uN? with N a signed 16-bit number
// (characters beyond the basic plane as a surrogate pair), line feeds \line.
std::string RtfEscape(std::string_view utf8);

// Blocks as an RTF document: A4, SimSun and SimHei, each picture (a PNG
// among `files`, the guide's own by default) embedded no wider than the
// text, its caption below.
std::string ManualRtf(const std::vector<GuideBlock>& blocks, const std::vector<GuideFile>& files = GuideFiles());

// Blocks as an HTML fragment, text escaped; a picture "images/x.png" is shown
// from pictureBase + "images/x.png".
std::string ManualHtml(const std::vector<GuideBlock>& blocks, std::string_view pictureBase);

// The whole guide as an RTF document, pictures included.
std::string BuildTeacherManual();

// The whole guide as an HTML fragment.
std::string BuildGuideHtml(std::string_view pictureBase);

}  // namespace fenban::app
