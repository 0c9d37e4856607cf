#include "app/teacher_manual.h"

#include "app/guide.h"

#include <gtest/gtest.h>

namespace fenban::app {
namespace {

TEST(TeacherManual, ChineseBecomesSignedUnicodeEscapes) {
  EXPECT_EQ(RtfEscape("分"), "\\u20998?");    // U+5206
  EXPECT_EQ(RtfEscape("语"), "\\u-29715?");   // U+8BED is above 32767
  EXPECT_EQ(RtfEscape("≥"), "\\u8805?");
}

TEST(TeacherManual, RtfSpecialCharactersAreEscaped) {
  EXPECT_EQ(RtfEscape("{a}\\b"), "\\{a\\}\\\\b");
  EXPECT_EQ(RtfEscape("x\ny"), "x\\line y");
  EXPECT_EQ(RtfEscape("fenban init"), "fenban init");
}

TEST(TeacherManual, CharactersBeyondTheBasicPlaneUseSurrogatePairs) {
  EXPECT_EQ(RtfEscape("\xF0\x9F\x98\x80"), "\\u-10179?\\u-8704?");  // U+1F600
}

TEST(TeacherManual, BrokenUtf8GivesReplacementCharacter) {
  EXPECT_EQ(RtfEscape("\xE5\x88"), "\\u-3?");  // cut short
  EXPECT_EQ(RtfEscape("\xFF" "a"), "\\u-3?a");
}

TEST(TeacherManual, DocumentIsAsciiRtfWithBalancedGroups) {
  std::string doc = BuildTeacherManual();
  ASSERT_EQ(doc.rfind("{\\rtf1", 0), 0u);
  int depth = 0;
  for (size_t i = 0; i < doc.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(doc[i]);
    ASSERT_LT(ch, 0x80) << "non-ASCII byte at " << i;
    if (ch == '\\') {
      ++i;  // escaped character or control word start
      continue;
    }
    if (ch == '{') ++depth;
    if (ch == '}') --depth;
    ASSERT_GE(depth, 0) << "at " << i;
  }
  EXPECT_EQ(depth, 0);
}

TEST(TeacherManual, ExplainsThePageTheTerminalWindowsAndTheStatisticsSheet) {
  std::string doc = BuildTeacherManual();
  for (const char* text : {"fenban init", "list", "divide", "stats", "clean", "template", "总人数", "最大差",
                           "同班同名统计", "平均分统计", "优秀人数统计", "数据表", "--refine", "“分开”",
                           "“同班”", "fenban serve", "调班看板", "fenban-setup.exe", "restore"}) {
    EXPECT_NE(doc.find(RtfEscape(text)), std::string::npos) << text;
  }
}

TEST(TeacherManual, CarriesEveryPictureOfTheGuide) {
  std::string doc = BuildTeacherManual();
  size_t pictures = 0;
  for (size_t at = doc.find("\\pngblip"); at != std::string::npos; at = doc.find("\\pngblip", at + 1)) ++pictures;
  size_t shown = 0;
  for (const GuideBlock& block : ParseGuide(GuideMarkdown())) shown += block.kind == GuideBlockKind::Picture ? 1 : 0;
  EXPECT_EQ(pictures, shown);
  EXPECT_GE(pictures, 5u);
}

}  // namespace
}  // namespace fenban::app
