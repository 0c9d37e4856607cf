// The teacher's guide compiled in, its markdown read into blocks, and the two
// forms made from it: help.doc (RTF) and the page's help (HTML).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "app/guide.h"
#include "app/guide_markdown.h"
#include "app/teacher_manual.h"

namespace fenban::app {
namespace {

using Kind = GuideBlockKind;

TEST(GuideMarkdown, ReadsEveryKindOfBlock) {
  std::vector<GuideBlock> blocks = ParseGuide(
      "# 指南\n\n## 一、章\n### 小节\n第一行\n第二行 run\nfenban list\n\n- 项目一\n  接着写\n- 项目二\n\n"
      "```\nfenban -C 高一 list\n  缩进保留\n```\n"
      "![看板](images/page-board.png)\n"
      "| 选项 | 默认 |\n|---|---|\n| 班级数 | 10 |\n| --top N |  3 |\n\n| 不是表 |\n");
  ASSERT_EQ(blocks.size(), 10u);
  EXPECT_EQ(blocks[0].kind, Kind::Title);
  EXPECT_EQ(blocks[0].text, "指南");
  EXPECT_EQ(blocks[1].kind, Kind::Chapter);
  EXPECT_EQ(blocks[2].kind, Kind::Section);
  EXPECT_EQ(blocks[2].text, "小节");
  EXPECT_EQ(blocks[3].kind, Kind::Paragraph);
  EXPECT_EQ(blocks[3].text, "第一行第二行 run fenban list");  // a space only between ASCII
  EXPECT_EQ(blocks[4].kind, Kind::Item);
  EXPECT_EQ(blocks[4].text, "项目一接着写");
  EXPECT_EQ(blocks[5].text, "项目二");
  EXPECT_EQ(blocks[6].kind, Kind::Code);
  EXPECT_EQ(blocks[6].lines, (std::vector<std::string>{"fenban -C 高一 list", "  缩进保留"}));
  EXPECT_EQ(blocks[7].kind, Kind::Picture);
  EXPECT_EQ(blocks[7].text, "看板");
  EXPECT_EQ(blocks[7].path, "images/page-board.png");
  EXPECT_EQ(blocks[8].kind, Kind::Table);
  EXPECT_EQ(blocks[8].rows, (std::vector<std::vector<std::string>>{{"选项", "默认"}, {"班级数", "10"}, {"--top N", "3"}}));
  EXPECT_EQ(blocks[9].kind, Kind::Paragraph);  // a bar line without a rule below is text
  EXPECT_EQ(blocks[9].text, "| 不是表 |");
}

TEST(GuideMarkdown, AnUnclosedCodeFenceRunsToTheEnd) {
  std::vector<GuideBlock> blocks = ParseGuide("```\nfenban list\r\n");
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].lines, (std::vector<std::string>{"fenban list"}));
}

TEST(Guide, EveryPictureShownIsACompiledInPngAndNoneIsLeftOver) {
  std::set<std::string> shown;
  for (const GuideBlock& block : ParseGuide(GuideMarkdown())) {
    if (block.kind != Kind::Picture) continue;
    shown.insert(block.path);
    const GuideFile* file = FindGuideFile(block.path);
    ASSERT_NE(file, nullptr) << block.path;
    std::optional<PictureSize> size = PngSize(file->bytes);
    ASSERT_TRUE(size.has_value()) << block.path;
    EXPECT_GT(size->width, 100u) << block.path;
    EXPECT_LE(file->bytes.size(), 160u * 1024) << block.path << " is too large for help.doc";
  }
  EXPECT_GE(shown.size(), 5u);
  for (const GuideFile& file : GuideFiles()) {
    if (file.name.substr(0, 7) == "images/") {
      EXPECT_EQ(shown.count(std::string(file.name)), 1u) << file.name << " is not shown";
    }
  }
}

// Pictures of the tests' own (tests/data/make_fixtures.py), so that the
// guide's pictures can be taken again at any size.
class Pictures : public ::testing::Test {
 protected:
  static std::string Read(const char* name) {
    std::ifstream in(std::string(FENBAN_TEST_DATA) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  const std::string wideBytes = Read("picture_wide.png");      // 1000 x 400
  const std::string narrowBytes = Read("picture_narrow.png");  // 320 x 240
  const std::vector<GuideFile> files = {{"images/wide.png", wideBytes}, {"images/narrow.png", narrowBytes}};
};

TEST_F(Pictures, PngSizeReadsTheHeaderAndRefusesOtherBytes) {
  std::optional<PictureSize> size = PngSize(narrowBytes);
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 320u);
  EXPECT_EQ(size->height, 240u);
  EXPECT_FALSE(PngSize("GIF89a....................").has_value());
  EXPECT_FALSE(PngSize(std::string_view(narrowBytes).substr(0, 20)).has_value());
}

TEST(Guide, CorrectsWhatTheOldManualGotWrong) {
  std::string_view guide = GuideMarkdown();
  EXPECT_NE(guide.find("九个选项"), std::string_view::npos);
  EXPECT_EQ(guide.find("七个选项"), std::string_view::npos);
  EXPECT_EQ(guide.find("也能处理"), std::string_view::npos);
  for (const char* chapter : {"fenban serve", "调班看板", "文件已被改动", "恢复…", "fenban-setup.exe", "统计表N", "最大差"}) {
    EXPECT_NE(guide.find(chapter), std::string_view::npos) << chapter;
  }
}

// The bytes of the first RTF picture: its hexadecimal digits decoded.
std::string FirstPictureBytes(const std::string& rtf) {
  size_t start = rtf.find("\\pngblip");
  size_t data = rtf.find('\n', start) + 1;
  size_t end = rtf.find('}', data);
  std::string bytes;
  int half = -1;
  for (size_t i = data; i < end; ++i) {
    char ch = rtf[i];
    if (ch == '\n') continue;
    int digit = ch <= '9' ? ch - '0' : ch - 'a' + 10;
    if (half < 0) {
      half = digit;
    } else {
      bytes += static_cast<char>(half * 16 + digit);
      half = -1;
    }
  }
  return bytes;
}

TEST_F(Pictures, TheManualEmbedsEachPictureWholeAndNoWiderThanTheText) {
  GuideBlock wide{Kind::Picture, "看板", "images/wide.png", {}, {}};
  GuideBlock narrow{Kind::Picture, "对话框", "images/narrow.png", {}, {}};
  std::string rtf = ManualRtf({wide}, files);
  EXPECT_EQ(FirstPictureBytes(rtf), wideBytes);
  // 1000 pixels of 15 twips are wider than the 9026 twips of text: scaled to them.
  EXPECT_NE(rtf.find("\\picw1000\\pich400\\picwgoal9026\\pichgoal3610"), std::string::npos) << rtf.substr(0, 400);
  EXPECT_NE(rtf.find(RtfEscape("看板")), std::string::npos);  // the caption
  EXPECT_NE(ManualRtf({narrow}, files).find("\\picw320\\pich240\\picwgoal4800\\pichgoal3600"), std::string::npos);
  GuideBlock missing{Kind::Picture, "没有", "images/none.png", {}, {}};
  EXPECT_THROW(ManualRtf({missing}, files), std::logic_error);
  // The guide's own pictures are among its files, the test's are not.
  EXPECT_THROW(ManualRtf({narrow}), std::logic_error);
}

TEST(ManualRtf, TablesHaveOneRowPerLineAndEqualColumns) {
  GuideBlock table{Kind::Table, "", "", {}, {{"选项", "终端里", "默认"}, {"班级数", "--classes K", "10"}}};
  std::string rtf = ManualRtf({table});
  size_t rows = 0;
  for (size_t at = rtf.find("\\row"); at != std::string::npos; at = rtf.find("\\row", at + 1)) {
    if (rtf.compare(at, 5, "\\rowd") != 0) ++rows;
  }
  EXPECT_EQ(rows, 2u);
  EXPECT_NE(rtf.find("\\cellx3008\\clbrdrt"), std::string::npos);
  EXPECT_NE(rtf.find("\\cellx9026"), std::string::npos);
  EXPECT_NE(rtf.find("--classes K\\cell"), std::string::npos);
}

TEST(ManualHtml, EscapesTextAndShowsPicturesFromTheBase) {
  std::vector<GuideBlock> blocks = {
      {Kind::Chapter, "一、<b>", "", {}, {}},
      {Kind::Item, "a & b", "", {}, {}},
      {Kind::Item, "\"c\"", "", {}, {}},
      {Kind::Code, "", "", {"fenban <x>"}, {}},
      {Kind::Picture, "看板", "images/page-board.png", {}, {}},
  };
  EXPECT_EQ(ManualHtml(blocks, "/api/guide/"),
            "<h3>一、&lt;b&gt;</h3>\n<ul>\n<li>a &amp; b</li>\n<li>&quot;c&quot;</li>\n</ul>\n"
            "<pre>fenban &lt;x&gt;\n</pre>\n"
            "<figure><img src=\"/api/guide/images/page-board.png\" alt=\"看板\">"
            "<figcaption>看板</figcaption></figure>\n");
}

}  // namespace
}  // namespace fenban::app
