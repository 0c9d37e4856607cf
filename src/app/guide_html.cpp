// The teacher's guide as the page shows it in its help.
#include <string>

#include "app/guide.h"
#include "app/guide_markdown.h"
#include "app/teacher_manual.h"

namespace fenban::app {

namespace {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

std::string Element(std::string_view tag, std::string_view text) {
  return "<" + std::string(tag) + ">" + HtmlEscape(text) + "</" + std::string(tag) + ">\n";
}

}  // namespace

std::string ManualHtml(const std::vector<GuideBlock>& blocks, std::string_view pictureBase) {
  std::string html;
  bool inList = false;
  for (const GuideBlock& block : blocks) {
    if (inList && block.kind != GuideBlockKind::Item) {
      html += "</ul>\n";
      inList = false;
    }
    switch (block.kind) {
      case GuideBlockKind::Title: html += Element("h2", block.text); break;
      case GuideBlockKind::Chapter: html += Element("h3", block.text); break;
      case GuideBlockKind::Section: html += Element("h4", block.text); break;
      case GuideBlockKind::Paragraph: html += Element("p", block.text); break;
      case GuideBlockKind::Item:
        if (!inList) html += "<ul>\n";
        inList = true;
        html += Element("li", block.text);
        break;
      case GuideBlockKind::Code: {
        std::string code;
        for (const std::string& line : block.lines) code += line + "\n";
        html += Element("pre", code);
        break;
      }
      case GuideBlockKind::Picture:
        html += "<figure><img src=\"" + HtmlEscape(std::string(pictureBase) + block.path) + "\" alt=\"" +
                HtmlEscape(block.text) + "\"><figcaption>" + HtmlEscape(block.text) +
                "</figcaption></figure>\n";
        break;
      case GuideBlockKind::Table:
        html += "<table>\n";
        for (size_t r = 0; r < block.rows.size(); ++r) {
          html += "<tr>";
          for (const std::string& cell : block.rows[r]) html += Element(r == 0 ? "th" : "td", cell);
          html += "</tr>\n";
        }
        html += "</table>\n";
        break;
    }
  }
  if (inList) html += "</ul>\n";
  return html;
}

std::string BuildGuideHtml(std::string_view pictureBase) {
  return ManualHtml(ParseGuide(GuideMarkdown()), pictureBase);
}

}  // namespace fenban::app
