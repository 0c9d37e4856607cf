#include "app/guide_markdown.h"

namespace fenban::app {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// "| a | b |" → {"a", "b"}.
std::vector<std::string> Cells(std::string_view line) {
  line = Trim(line);
  if (StartsWith(line, "|")) line.remove_prefix(1);
  if (!line.empty() && line.back() == '|') line.remove_suffix(1);
  std::vector<std::string> cells;
  while (true) {
    size_t bar = line.find('|');
    cells.emplace_back(Trim(line.substr(0, bar)));
    if (bar == std::string_view::npos) break;
    line.remove_prefix(bar + 1);
  }
  return cells;
}

bool IsTableRule(std::string_view line) {
  line = Trim(line);
  return StartsWith(line, "|") && line.find_first_not_of("|-: ") == std::string_view::npos;
}

bool StartsBlock(std::string_view line) {
  return StartsWith(line, "#") || StartsWith(line, "- ") || StartsWith(line, "```") || StartsWith(line, "![") ||
         StartsWith(line, "|");
}

// Lines of one paragraph are joined by a space only between two ASCII
// characters; Chinese text runs on.
void Join(std::string& text, std::string_view line) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) < 0x80 &&
      static_cast<unsigned char>(line.front()) < 0x80) {
    text += ' ';
  }
  text += line;
}

}  // namespace

std::vector<GuideBlock> ParseGuide(std::string_view markdown) {
  std::vector<GuideBlock> blocks;
  std::vector<std::string_view> lines = Lines(markdown);
  size_t i = 0;
  while (i < lines.size()) {
    std::string_view line = Trim(lines[i]);
    GuideBlock block;
    if (line.empty()) {
      ++i;
      continue;
    } else if (StartsWith(line, "```")) {
      block.kind = GuideBlockKind::Code;
      for (++i; i < lines.size() && !StartsWith(Trim(lines[i]), "```"); ++i) {
        std::string_view code = lines[i];
        if (!code.empty() && code.back() == '\r') code.remove_suffix(1);
        block.lines.emplace_back(code);
      }
      ++i;  // the closing fence
    } else if (StartsWith(line, "#")) {
      size_t level = line.find_first_not_of('#');
      block.kind = level == 1 ? GuideBlockKind::Title : level == 2 ? GuideBlockKind::Chapter : GuideBlockKind::Section;
      block.text = Trim(line.substr(level == std::string_view::npos ? line.size() : level));
      ++i;
    } else if (StartsWith(line, "![") && line.find("](") != std::string_view::npos && line.back() == ')') {
      size_t middle = line.find("](");
      block.kind = GuideBlockKind::Picture;
      block.text = line.substr(2, middle - 2);
      block.path = line.substr(middle + 2, line.size() - middle - 3);
      ++i;
    } else if (StartsWith(line, "|") && i + 1 < lines.size() && IsTableRule(lines[i + 1])) {
      block.kind = GuideBlockKind::Table;
      block.rows.push_back(Cells(line));
      for (i += 2; i < lines.size() && StartsWith(Trim(lines[i]), "|"); ++i) block.rows.push_back(Cells(lines[i]));
    } else {
      if (StartsWith(line, "- ")) {
        block.kind = GuideBlockKind::Item;
        line.remove_prefix(2);
      }
      block.text = Trim(line);
      // Following lines continue the paragraph or item until a blank line or a new block.
      for (++i; i < lines.size() && !Trim(lines[i]).empty() && !StartsBlock(Trim(lines[i])); ++i) {
        Join(block.text, Trim(lines[i]));
      }
    }
    blocks.push_back(std::move(block));
  }
  return blocks;
}

}  // namespace fenban::app
