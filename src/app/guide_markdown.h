// The little markdown the teacher's guide is written in, read into blocks
// that help.doc (RTF) and the page's help (HTML) both lay out:
//   # title, ## chapter, ### section
//   paragraphs (consecutive lines), "- " items,
//   ``` fenced code ```, ![caption](images/x.png) on a line of its own,
//   tables of "| a | b |" lines whose second line is "|---|---|".
// Inline marks are not interpreted: the text stands as written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenban::app {

enum class GuideBlockKind { Title, Chapter, Section, Paragraph, Item, Code, Picture, Table };

struct GuideBlock {
  GuideBlockKind kind = GuideBlockKind::Paragraph;
  std::string text;                              // heading, paragraph, item, picture caption
  std::string path;                              // picture: "images/x.png"
  std::vector<std::string> lines;                // code
  std::vector<std::vector<std::string>> rows;    // table, header row first
};

std::vector<GuideBlock> ParseGuide(std::string_view markdown);

}  // namespace fenban::app
