#include "cli/help_format.h"

#include <sstream>
#include <vector>

namespace fenban::cli {

namespace {

// The code point starting at text[i] and its length in bytes.
char32_t CodePointAt(const std::string& text, size_t i, size_t& length) {
  const auto byte = static_cast<unsigned char>(text[i]);
  length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
  if (i + length > text.size()) length = 1;
  if (length == 1) return byte;
  char32_t code = byte & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return code;
}

bool IsWide(char32_t code) {
  return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
         (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
         (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
         (code >= 0xFFE0 && code <= 0xFFE6);
}

// Punctuation that must not begin a line.
bool ClosesPhrase(char32_t code) {
  switch (code) {
    case U'，': case U'。': case U'、': case U'：': case U'；': case U'）': case U'”': case U'’':
    case U'！': case U'？': case U'」': case U'》':
      return true;
    default:
      return false;
  }
}

// Punctuation that must not end a line.
bool OpensPhrase(char32_t code) { return code == U'“' || code == U'‘' || code == U'（' || code == U'「' || code == U'《'; }

// The pieces a line may break between: a run of narrow non-space characters,
// one wide character (with the closing punctuation after it), or a run of spaces.
std::vector<std::string> Pieces(const std::string& line) {
  std::vector<std::string> pieces;
  std::string pending;
  size_t i = 0;
  while (i < line.size()) {
    size_t length = 0;
    const char32_t code = CodePointAt(line, i, length);
    std::string piece = line.substr(i, length);
    i += length;
    if (code == U' ') {
      while (i < line.size() && line[i] == ' ') piece += line[i++];
    } else if (!IsWide(code)) {
      while (i < line.size()) {
        const char32_t next = CodePointAt(line, i, length);
        if (next == U' ' || IsWide(next)) break;
        piece += line.substr(i, length);
        i += length;
      }
    }
    while (i < line.size()) {
      const char32_t next = CodePointAt(line, i, length);
      if (!ClosesPhrase(next)) break;
      piece += line.substr(i, length);
      i += length;
    }
    size_t firstLength = 0;
    const bool opens = OpensPhrase(CodePointAt(piece, 0, firstLength)) && firstLength == piece.size();
    if (opens && i < line.size()) {
      // Keep it with what follows: the next piece starts here.
      pending += piece;
      continue;
    }
    pieces.push_back(pending + piece);
    pending.clear();
  }
  if (!pending.empty()) pieces.push_back(pending);
  return pieces;
}

std::string WrapLine(const std::string& line, size_t width, size_t indent) {
  std::string out, current;
  size_t used = 0;
  const std::string margin(indent, ' ');
  for (const std::string& piece : Pieces(line)) {
    const bool spaces = piece.front() == ' ';
    const size_t pieceWidth = DisplayWidth(piece);
    if (used + pieceWidth > width && used > indent && !current.empty()) {
      while (!current.empty() && current.back() == ' ') current.pop_back();
      out += current + "\n";
      current = margin;
      used = indent;
      if (spaces) continue;
    }
    current += piece;
    used += pieceWidth;
  }
  while (!current.empty() && current.back() == ' ') current.pop_back();
  return out + current;
}

// The option table's layout: a name column, the description beside it.
std::string TwoColumns(const std::string& name, const std::string& description, size_t column) {
  std::string first = "  " + name;
  if (description.empty()) return first + "\n";
  const size_t nameWidth = DisplayWidth(first);
  if (nameWidth >= column) {
    first += "\n";
    first += std::string(column, ' ');
  } else {
    first += std::string(column - nameWidth, ' ');
  }
  std::string text;
  std::istringstream lines(description);
  bool firstLine = true;
  for (std::string line; std::getline(lines, line);) {
    if (!firstLine) text += "\n" + std::string(column, ' ');
    text += WrapLine(std::string(column, ' ') + line, kHelpWidth, column).substr(column);
    firstLine = false;
  }
  return first + text + "\n";
}

}  // namespace

size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    const char32_t code = CodePointAt(text, i, length);
    width += IsWide(code) ? 2 : 1;
    i += length;
  }
  return width;
}

std::string WrapText(const std::string& text, size_t width, size_t indent) {
  std::string out;
  std::istringstream lines(text);
  bool first = true;
  for (std::string line; std::getline(lines, line);) {
    if (!first) out += "\n";
    size_t leading = line.find_first_not_of(' ');
    if (leading == std::string::npos) leading = 0;
    out += WrapLine(line, width, std::max(indent, leading));
    first = false;
  }
  if (!text.empty() && text.back() == '\n') out += "\n";
  return out;
}

HelpFormatter::HelpFormatter() {
  label("Usage", "用法 usage");
  label("Positionals", "参数 arguments");
  label("OPTIONS", "选项");
  label("SUBCOMMAND", "命令");
  label("REQUIRED", "必需");
  label("TEXT", "文字");
  column_width(30);
}

std::string HelpFormatter::make_group(std::string group, bool isPositional,
                                      std::vector<const CLI::Option*> opts) const {
  if (group == "Options") group = "选项 options";
  return CLI::Formatter::make_group(group, isPositional, opts);
}

std::string HelpFormatter::make_option(const CLI::Option* opt, bool isPositional) const {
  return TwoColumns(make_option_name(opt, isPositional) + make_option_opts(opt), make_option_desc(opt),
                    get_column_width());
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
  return TwoColumns(sub->get_display_name(true), sub->get_description(), get_column_width());
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
  const std::string text = CLI::Formatter::make_description(app);
  return WrapText(text, kHelpWidth, 0);
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
  const std::string text = CLI::Formatter::make_footer(app);
  return WrapText(text, kHelpWidth, 0);
}

}  // namespace fenban::cli
