// Cell references, units, dates, escapes and colours used by the readers and the writer.
#include <gtest/gtest.h>

#include <cmath>

#include "files/cell_reference.h"
#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "host/style.h"

namespace fenban::files {
namespace {

TEST(CellReferenceTest, ParsesWithinTheSheetOnly) {
  ASSERT_TRUE(ParseCellReference("A1"));
  EXPECT_EQ(ParseCellReference("$AB$12")->column, 28);
  EXPECT_EQ(ParseCellReference("xfd1048576")->row, 1048576);
  EXPECT_EQ(ParseCellReference("XFD1048576")->column, 16384);
  EXPECT_FALSE(ParseCellReference("XFE1"));
  EXPECT_FALSE(ParseCellReference("A1048577"));
  EXPECT_FALSE(ParseCellReference("A0"));
  EXPECT_FALSE(ParseCellReference("A"));
  EXPECT_FALSE(ParseCellReference("12"));
  EXPECT_FALSE(ParseCellReference("A1B"));
  EXPECT_FALSE(ParseCellReference("AAAAAAAAAAAAAAAAAAAAAAA1"));
  EXPECT_EQ(ParseRangeReference("D5:B2"), (host::Rect{2, 2, 5, 4}));
  EXPECT_EQ(ParseRangeReference("C3"), (host::Rect{3, 3, 3, 3}));
  EXPECT_FALSE(ParseRangeReference("A1:"));
  EXPECT_EQ(ColumnLetters(1), "A");
  EXPECT_EQ(ColumnLetters(26), "Z");
  EXPECT_EQ(ColumnLetters(27), "AA");
  EXPECT_EQ(ColumnLetters(16384), "XFD");
  EXPECT_EQ(CellAddress(7, 703), "AAA7");
}

TEST(ConversionsTest, ColumnWidthsSnapToPixels) {
  EXPECT_DOUBLE_EQ(ColumnWidthFromFile(9.140625), 59.0 / 7.0);  // Excel's default 8.43
  EXPECT_DOUBLE_EQ(ColumnWidthFromFile(13.7109375), 13);
  EXPECT_DOUBLE_EQ(SavedColumnWidth(13), 13);
  EXPECT_DOUBLE_EQ(SavedColumnWidth(12.5), 88.0 / 7.0);
  EXPECT_DOUBLE_EQ(SavedColumnWidth(SavedColumnWidth(12.5)), SavedColumnWidth(12.5));
  EXPECT_DOUBLE_EQ(SavedColumnWidth(0.5), 6.0 / 12.0);
  EXPECT_DOUBLE_EQ(SavedColumnWidth(0), 0);
  EXPECT_DOUBLE_EQ(PointsFromInches(0.4166666666666667), 30);
}

TEST(ConversionsTest, DateSerials) {
  EXPECT_EQ(DateSerial(1900, 1, 1, false), 1.0);
  EXPECT_EQ(DateSerial(1900, 2, 28, false), 59.0);
  EXPECT_EQ(DateSerial(1900, 2, 29, false), 60.0);
  EXPECT_EQ(DateSerial(1900, 3, 1, false), 61.0);
  EXPECT_EQ(DateSerial(2023, 9, 1, false), 45170.0);
  EXPECT_EQ(DateSerial(2023, 9, 1, true), 45170.0 - 1462);
  EXPECT_FALSE(DateSerial(2023, 2, 29, false));
  EXPECT_FALSE(DateSerial(1899, 12, 31, false));
  EXPECT_EQ(DateTimeTextToSerial("2023-09-01 18:00:00", false), 45170.75);
  EXPECT_EQ(DateTimeTextToSerial("2023-09-01T06:00:00Z", false), 45170.25);
  EXPECT_EQ(DateTimeTextToSerial("12:00:00", false), 0.5);
  EXPECT_FALSE(DateTimeTextToSerial("2023/09/01", false));
  EXPECT_FALSE(DateTimeTextToSerial("25:61", false));
}

TEST(ConversionsTest, EscapesDecodeAndLiteralsSurvive) {
  std::string text = "a_x000D__x0009_b_x4E2D_";
  DecodeXmlEscapes(text);
  EXPECT_EQ(text, "a\r\tb中");
  std::string pair = "_xD83D__xDE00_";
  DecodeXmlEscapes(pair);
  EXPECT_EQ(pair, "😀");
  std::string broken = "_x12_ _xZZZZ_ _x0041";
  DecodeXmlEscapes(broken);
  EXPECT_EQ(broken, "_x12_ _xZZZZ_ _x0041");
  std::string literal = EscapeLiteralEscapes("keep _x0041_ as is");
  DecodeXmlEscapes(literal);
  EXPECT_EQ(literal, "keep _x0041_ as is");
}

TEST(ConversionsTest, NumbersAsFilesWriteThem) {
  EXPECT_EQ(ParseFileNumber("612.5"), 612.5);
  EXPECT_EQ(ParseFileNumber("-1.5E-3"), -0.0015);
  EXPECT_EQ(ParseFileNumber(" 7 "), 7);
  EXPECT_FALSE(ParseFileNumber("1,5"));
  EXPECT_FALSE(ParseFileNumber("inf"));
  EXPECT_FALSE(ParseFileNumber(""));
  EXPECT_FALSE(ParseFileNumber("+"));
  // Whole numbers, short or long, and signs.
  EXPECT_EQ(ParseFileNumber("+0087"), 87);
  EXPECT_EQ(ParseFileNumber("999999999999999"), 999999999999999.0);
  EXPECT_EQ(ParseFileNumber("9007199254740993"), 9007199254740992.0);
  EXPECT_TRUE(std::signbit(*ParseFileNumber("-0")));
  EXPECT_FALSE(ParseFileNumber("12a"));
  EXPECT_EQ(ParseFileInteger("2.0"), 2);
  EXPECT_FALSE(ParseFileInteger("2.5"));
  EXPECT_FALSE(ParseFileInteger("99999999999"));
}

TEST(ConversionsTest, ColoursMapToThePalette) {
  EXPECT_EQ(NearestPaletteIndex(0xCCFFCC), 35);
  EXPECT_EQ(NearestPaletteIndex(0xCDFECD), 35);
  EXPECT_EQ(ApplyTint(0xFFFFFF, -0.5), 0x808080);
  EXPECT_EQ(ApplyTint(0x000000, 0.5), 0x808080);
  EXPECT_EQ(ParseArgb("FFCCFFCC"), 0xCCFFCC);
  EXPECT_FALSE(ParseArgb("GG0000"));
  EXPECT_TRUE(IsErrorLiteral("#N/A"));
  EXPECT_FALSE(IsErrorLiteral("#SPILL!"));
}

TEST(PackageTest, PartNamesAndPrintTitles) {
  EXPECT_EQ(RelationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(RelationshipsPartOf(""), "_rels/.rels");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolvePartName("xl/worksheets/sheet1.xml", "../drawings/d.xml"), "xl/drawings/d.xml");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "/xl/styles.xml"), "xl/styles.xml");
  int32_t first = 0, last = 0;
  EXPECT_TRUE(ParsePrintTitleRows("'分班表 1'!$1:$2", first, last));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 2);
  EXPECT_TRUE(ParsePrintTitleRows("'a,b'!$A:$B,'a,b'!$3:$4", first, last));
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 4);
  EXPECT_FALSE(ParsePrintTitleRows("S!$A:$B", first, last));
}

TEST(WorkbookPartTest, PrintAreaOfItsOwnSheetOnly) {
  EXPECT_EQ(ParsePrintArea("'Sheet 1'!$A$1:$P$401", "Sheet 1"), (host::Rect{1, 1, 401, 16}));
  EXPECT_EQ(ParsePrintArea("'Class ''A'' list'!$B$2:$C$4", "Class 'A' list"), (host::Rect{2, 2, 4, 3}));
  EXPECT_EQ(ParsePrintArea("名单!C3", "名单"), (host::Rect{3, 3, 3, 3}));
  EXPECT_EQ(ParsePrintArea("S!$B:$D", "S"), (host::Rect{1, 2, host::kMaxRows, 4}));
  EXPECT_EQ(ParsePrintArea("S!$5:$20", "S"), (host::Rect{5, 1, 20, host::kMaxColumns}));
  EXPECT_EQ(ParsePrintArea("'a,b!'!A1:B2", "a,b!"), (host::Rect{1, 1, 2, 2}));
  EXPECT_FALSE(ParsePrintArea("S!$A$1:$B$2,S!$D$1:$E$2", "S"));  // several areas
  EXPECT_FALSE(ParsePrintArea("Other!$A$1:$B$2", "S"));
  EXPECT_FALSE(ParsePrintArea("'Sheet 1'!$A$1:$B$2", "Sheet 2"));
  EXPECT_FALSE(ParsePrintArea("$A$1:$B$2", "S"));  // no sheet
  EXPECT_FALSE(ParsePrintArea("S!#REF!", "S"));
  EXPECT_FALSE(ParsePrintArea("S!$A:$5", "S"));
  EXPECT_FALSE(ParsePrintArea("'S!$A$1", "S"));  // unterminated quote
}

}  // namespace
}  // namespace fenban::files
