#include "app/teacher_manual.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "app/guide.h"
#include "app/guide_markdown.h"

namespace fenban::app {

namespace {

// Decodes one UTF-8 character at text[i], advancing i; invalid bytes give U+FFFD.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  uint8_t lead = byte(i);
  int extra = 0;
  uint32_t cp = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07u;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + static_cast<size_t>(extra) >= text.size()) {  // cut short at the end
    i = text.size();
    return 0xFFFD;
  }
  for (int k = 1; k <= extra; ++k) {
    uint8_t next = byte(i + static_cast<size_t>(k));
    if ((next & 0xC0) != 0x80) {
      i += static_cast<size_t>(k);
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3Fu);
  }
  i += static_cast<size_t>(extra) + 1;
  return cp;
}

void AppendUnicode(std::string& out, uint32_t unit) {
  // RTF reads \u as a signed 16-bit number.
  int32_t value = unit >= 0x8000 ? static_cast<int32_t>(unit) - 0x10000 : static_cast<int32_t>(unit);
  out += fmt::format("\\u{}?", value);
}

}  // namespace

std::string RtfEscape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 3);
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = NextCodePoint(utf8, i);
    if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp == '\n') {
      out += "\\line ";
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp > 0xFFFF) {
      uint32_t v = cp - 0x10000;
      AppendUnicode(out, 0xD800 + (v >> 10));
      AppendUnicode(out, 0xDC00 + (v & 0x3FF));
    } else {
      AppendUnicode(out, cp);
    }
  }
  return out;
}

namespace {

// The page's text width on A4 with margins of one inch, in twips.
constexpr uint32_t kTextWidthTwips = 11906 - 2 * 1440;
// A picture's pixel is shown at 96 to the inch: 15 twips.
constexpr uint32_t kTwipsPerPixel = 15;

// A picture of the guide as an RTF PNG picture, no wider than the text.
std::string RtfPicture(const GuideBlock& block, const std::vector<GuideFile>& files) {
  const GuideFile* file = FindGuideFile(block.path, files);
  std::optional<PictureSize> size = file ? PngSize(file->bytes) : std::nullopt;
  if (!size || size->width == 0) throw std::logic_error("the guide's picture " + block.path + " is not a PNG compiled in");
  uint64_t width = uint64_t{size->width} * kTwipsPerPixel;
  uint64_t height = uint64_t{size->height} * kTwipsPerPixel;
  if (width > kTextWidthTwips) {
    height = height * kTextWidthTwips / width;
    width = kTextWidthTwips;
  }
  std::string out = fmt::format("\\pard\\qc\\keepn\\sb120\\sa60{{\\pict\\pngblip\\picw{}\\pich{}\\picwgoal{}\\pichgoal{}\n",
                                size->width, size->height, width, height);
  static constexpr char kHex[] = "0123456789abcdef";
  size_t column = 0;
  for (char ch : file->bytes) {
    auto byte = static_cast<uint8_t>(ch);
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
    if (++column % 64 == 0) out += '\n';
  }
  out += "}\\par\n";
  out += "\\pard\\qc\\sa160\\f0\\fs18\\i " + RtfEscape(block.text) + "\\i0\\par\n";
  return out;
}

// A table with thin borders and columns of equal width; the first row bold.
std::string RtfTable(const GuideBlock& block) {
  std::string out;
  for (size_t r = 0; r < block.rows.size(); ++r) {
    const std::vector<std::string>& row = block.rows[r];
    const size_t columns = block.rows.front().size();
    out += "\\trowd\\trgaph80\\trleft0";
    for (size_t c = 1; c <= columns; ++c) {
      out += fmt::format("\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                         "\\clbrdrr\\brdrs\\brdrw10\\cellx{}",
                         kTextWidthTwips * c / columns);
    }
    out += "\n";
    for (size_t c = 0; c < columns; ++c) {
      out += r == 0 ? "\\pard\\intbl\\f1\\fs20\\b " : "\\pard\\intbl\\f0\\fs20 ";
      out += RtfEscape(c < row.size() ? row[c] : "");
      out += r == 0 ? "\\b0\\cell\n" : "\\cell\n";
    }
    out += "\\row\n";
  }
  return out + "\\pard\\sa120\\par\n";
}

// The paragraph format of a title, chapter or section heading: SimHei, bold.
std::string HeadingFormat(GuideBlockKind kind) {
  if (kind == GuideBlockKind::Title) return "\\pard\\qc\\sb240\\sa360\\f1\\fs36\\b ";
  if (kind == GuideBlockKind::Chapter) return "\\pard\\keepn\\sb360\\sa120\\f1\\fs30\\b ";
  return "\\pard\\keepn\\sb240\\sa80\\f1\\fs24\\b ";
}

}  // namespace

std::string ManualRtf(const std::vector<GuideBlock>& blocks, const std::vector<GuideFile>& files) {
  std::string doc =
      "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\n"
      "{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}{\\f1\\fnil\\fcharset134 SimHei;}"
      "{\\f2\\fmodern\\fcharset134 NSimSun;}}\n"
      "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\n";
  for (const GuideBlock& block : blocks) {
    switch (block.kind) {
      case GuideBlockKind::Title:
      case GuideBlockKind::Chapter:
      case GuideBlockKind::Section:
        doc += HeadingFormat(block.kind) + RtfEscape(block.text) + "\\b0\\par\n";
        break;
      case GuideBlockKind::Paragraph:
      case GuideBlockKind::Item:
        doc += (block.kind == GuideBlockKind::Item ? "\\pard\\sa80\\li480\\fi-240\\f0\\fs22 \\u8226? "
                                                    : "\\pard\\sa120\\fi480\\f0\\fs22 ") +
               RtfEscape(block.text) + "\\par\n";
        break;
      case GuideBlockKind::Code:
        for (size_t i = 0; i < block.lines.size(); ++i) {
          doc += "\\pard\\li480" + std::string(i == 0 ? "\\sb60" : "") +
                 (i + 1 == block.lines.size() ? "\\sa120" : "\\sa0") + "\\f2\\fs20 " + RtfEscape(block.lines[i]) +
                 "\\par\n";
        }
        break;
      case GuideBlockKind::Picture:
        doc += RtfPicture(block, files);
        break;
      case GuideBlockKind::Table:
        doc += RtfTable(block);
        break;
    }
  }
  doc += "}\n";
  return doc;
}

std::string BuildTeacherManual() { return ManualRtf(ParseGuide(GuideMarkdown())); }

}  // namespace fenban::app
