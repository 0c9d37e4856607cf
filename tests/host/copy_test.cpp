#include <gtest/gtest.h>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::AddBook;
using testing::ColumnTexts;
using testing::FillSheet;
using testing::ReadBlock;
using testing::Rows;

class CopyTest : public HostTest {
 protected:
  void SetUp() override {
    FillSheet(sheet, {{"姓名", "总分"}, {"张三", 85}, {"李四", 90.5}});
    sheet.Format(Rect{1, 1, 1, 2}, [](CellStyle& s) {
      s.bold = true;
      s.fillColorIndex = 35;
    });
    sheet.SetFormulaR1C1(Rect{2, 3, 3, 3}, "=RC[-1]*2");
  }
};

TEST_F(CopyTest, CopyCarriesValuesFormulasAndFormats) {
  Range(sheet, Rect{1, 1, 3, 3}).Copy(sheet.Cells(11, 2));
  EXPECT_EQ(ReadBlock(sheet, 11, 2, 13, 4), (Rows{{"姓名", "总分", Value()}, {"张三", 85, 170}, {"李四", 90.5, 181}}));
  EXPECT_TRUE(sheet.CellFormat(11, 3).bold);
  EXPECT_EQ(sheet.CellFormat(11, 3).fillColorIndex, 35);
  EXPECT_FALSE(sheet.CellFormat(12, 3).bold);
  EXPECT_EQ(sheet.CellFormulaR1C1(12, 4), "=RC[-1]*2");
}

TEST_F(CopyTest, CopyReplacesTheDestinationsFormats) {
  sheet.Format(Rect{21, 1, 21, 1}, [](CellStyle& s) { s.fontColor = 255; });
  Range(sheet, Rect{2, 1, 2, 1}).Copy(sheet.Cells(21, 1));
  EXPECT_EQ(sheet.CellFormat(21, 1).fontColor, kColorAutomatic);
  EXPECT_EQ(sheet.CellValue(21, 1), Value("张三"));
}

TEST_F(CopyTest, CopyToAnotherWorkbookReinternsFormats) {
  ModelWorkbook& other = AddBook(app, "other.xlsx");
  ModelWorksheet& target = other.AppendSheet("T");
  // Give the other pool a different numbering first.
  target.Format(Rect{9, 9, 9, 9}, [](CellStyle& s) { s.fontSize = 20; });
  Range(sheet, Rect{1, 1, 2, 2}).Copy(target.Cells(1, 1));
  EXPECT_EQ(ReadBlock(target, 1, 1, 2, 2), (Rows{{"姓名", "总分"}, {"张三", 85}}));
  const CellStyle header = target.CellFormat(1, 2);
  EXPECT_TRUE(header.bold);
  EXPECT_EQ(header.fillColorIndex, 35);
  EXPECT_EQ(header.fontSize, 11);
  EXPECT_EQ(other.Styles().Get(target.FindCell(1, 2)->style), header);
}

TEST_F(CopyTest, PasteValuesLeavesFormatsAndFreezesFormulas) {
  sheet.Format(Rect{2, 6, 3, 6}, [](CellStyle& s) { s.numberFormat = "0.0"; });
  sheet.SetCellValue(4, 6, "stays");
  app.SetClipboard(&sheet, Rect{1, 3, 3, 3});
  sheet.Cells(1, 6).PasteSpecial(kPasteValues);
  EXPECT_EQ(ReadBlock(sheet, 1, 6, 4, 6), (Rows{{Value()}, {170}, {181}, {"stays"}}));
  EXPECT_EQ(sheet.CellFormulaR1C1(2, 6), "");
  EXPECT_EQ(sheet.CellFormat(2, 6).numberFormat, "0.0");
  EXPECT_FALSE(sheet.CellFormat(1, 6).bold);
}

TEST_F(CopyTest, ClipboardComesFromCopyWithoutDestination) {
  ModelWorkbook& other = AddBook(app, "other.xlsx");
  ModelWorksheet& target = other.AppendSheet("FBB");
  EXPECT_EQ(ErrorNumberOf([&] { target.Cells(1, 1).PasteSpecial(kPasteValues); }), kErrHost);
  sheet.Cells(1, 1).CurrentRegion().Copy();
  EXPECT_EQ(app.ClipboardSheet(), &sheet);
  EXPECT_EQ(app.ClipboardArea(), (Rect{1, 1, 3, 3}));
  target.Cells(1, 3).PasteSpecial(kPasteValues);
  EXPECT_EQ(ReadBlock(target, 1, 3, 3, 5), (Rows{{"姓名", "总分", Value()}, {"张三", 85, 170}, {"李四", 90.5, 181}}));
  EXPECT_FALSE(target.CellFormat(1, 3).bold);
  EXPECT_EQ(ErrorNumberOf([&] { target.Cells(1, 1).PasteSpecial(-4104); }), kErrHost);
}

TEST_F(CopyTest, DeletingTheClipboardsSheetEmptiesTheClipboard) {
  ModelWorksheet& extra = book.AppendSheet("Extra");
  extra.SetCellValue(1, 1, 1);
  extra.Cells(1, 1).Copy();
  extra.Delete();
  EXPECT_EQ(app.ClipboardSheet(), nullptr);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Cells(1, 1).PasteSpecial(kPasteValues); }), kErrHost);
}

TEST_F(CopyTest, OverlappingCopiesUseTheOriginalCells) {
  FillSheet(sheet, {{1}, {2}, {3}, {4}}, 1, 8);
  sheet.CopyTo(Rect{1, 8, 3, 8}, sheet, 2, 8);
  EXPECT_EQ(ColumnTexts(sheet, 8, 1, 4), (std::vector<std::string>{"1", "1", "2", "3"}));
  sheet.PasteValuesTo(Rect{2, 8, 4, 8}, sheet, 1, 8);
  EXPECT_EQ(ColumnTexts(sheet, 8, 1, 4), (std::vector<std::string>{"1", "2", "3", "3"}));
}

TEST_F(CopyTest, EmptySourceCellsEmptyTheDestination) {
  FillSheet(sheet, {{"x", "y"}}, 20, 1);
  sheet.PasteValuesTo(Rect{30, 1, 30, 2}, sheet, 20, 1);
  EXPECT_TRUE(sheet.CellValue(20, 1).IsEmpty());
  FillSheet(sheet, {{"x", "y"}}, 20, 1);
  sheet.CopyTo(Rect{30, 1, 30, 2}, sheet, 20, 1);
  EXPECT_TRUE(sheet.CellValue(20, 2).IsEmpty());
}

TEST_F(CopyTest, WholeRowsCopyRowFormatsAndHeights) {
  sheet.SetRowHeight(1, 1, 28);
  sheet.Format(Rect{1, 1, 1, kMaxColumns}, [](CellStyle& s) { s.fontSize = 14; });
  sheet.Rows(1).Copy(sheet.Cells(40, 1));
  EXPECT_EQ(sheet.RowHeight(40), 28);
  EXPECT_EQ(sheet.CellFormat(40, 100).fontSize, 14);
  EXPECT_EQ(sheet.CellValue(40, 1), Value("姓名"));
}

TEST_F(CopyTest, ClearRemovesValuesFormatsAndMerges) {
  sheet.Merge(Rect{5, 1, 5, 2});
  sheet.Cells().Clear();
  EXPECT_TRUE(sheet.RowsData().empty());
  EXPECT_TRUE(sheet.MergedAreas().empty());
  EXPECT_FALSE(sheet.CellFormat(1, 1).bold);
  EXPECT_EQ(sheet.UsedRect(), (Rect{1, 1, 1, 1}));
}

// A helper column cleared beside a large table, or a block of rows moved
// away, leaves no memory behind in the rows.
TEST_F(CopyTest, ClearingGivesTheRowsMemoryBack) {
  for (int32_t r = 1; r <= 3; ++r) {
    for (int32_t c = 1; c <= 18; ++c) sheet.SetCellValue(r, c, r * c);
  }
  sheet.SetCellValue(1, 19, "key");
  sheet.SetCellValue(2, 19, 7);
  ASSERT_GT(sheet.RowsData()[0].cells.capacity(), 19u);  // grown by a quarter
  sheet.Columns(19).Clear();
  EXPECT_EQ(sheet.RowsData()[0].cells.capacity(), 18u);
  EXPECT_EQ(sheet.RowsData()[1].cells.capacity(), 18u);
  EXPECT_EQ(sheet.CellValue(2, 18), Value(36));
  sheet.Clear(Rect{2, 1, 2, 18});
  EXPECT_EQ(sheet.RowsData()[1].cells.capacity(), 0u);
  EXPECT_EQ(sheet.CellValue(3, 18), Value(54));
  sheet.Cells().Clear();
  EXPECT_EQ(sheet.RowsData().capacity(), 0u);
}

class ReplaceTest : public HostTest {};

TEST_F(ReplaceTest, PartReplacesEveryOccurrence) {
  FillSheet(sheet, {{"张 三 丰", " 85", 85}, {"李　四", "a  b", "x"}});
  EXPECT_TRUE(sheet.Cells(1, 1).CurrentRegion().Replace(" ", "", kLookAtPart));
  EXPECT_TRUE(sheet.Cells(1, 1).CurrentRegion().Replace("　", "", kLookAtPart));
  // A changed cell is entered again as if typed: " 85" becomes the number 85.
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 2, 3), (Rows{{"张三丰", 85, 85}, {"李四", "ab", "x"}}));
  EXPECT_TRUE(sheet.CellValue(1, 2).IsNumber());
  EXPECT_FALSE(sheet.Cells(1, 1).CurrentRegion().Replace(" ", "", kLookAtPart));
}

TEST_F(ReplaceTest, WholeReplacesOnlyEqualCells) {
  FillSheet(sheet, {{"【结束】"}, {"【结束】x"}, {"A"}, {"a"}});
  EXPECT_TRUE(sheet.Columns(1).Replace("【结束】", "", kLookAtWhole));
  EXPECT_TRUE(sheet.CellValue(1, 1).IsEmpty());
  EXPECT_EQ(sheet.CellValue(2, 1), Value("【结束】x"));
  EXPECT_TRUE(sheet.Columns(1).Replace("a", "b", kLookAtWhole));
  EXPECT_EQ(ColumnTexts(sheet, 1, 3, 4), (std::vector<std::string>{"A", "b"}));
}

TEST_F(ReplaceTest, ChangedCellsAreEnteredAsTypedAndUnchangedCellsStayAsTheyAre) {
  FillSheet(sheet, {{" 300", "3 班", "001", "2 9 5.5", "- 3", "   "},
                    {"300", " 1e3", "T RUE", "#N/ A", "00 7", "85"}});
  sheet.Format(Rect{2, 6, 2, 6}, [](CellStyle& s) { s.numberFormat = "@"; });
  sheet.SetCellValue(2, 7, " 12");
  sheet.Format(Rect{2, 7, 2, 7}, [](CellStyle& s) { s.numberFormat = "@"; });
  EXPECT_TRUE(Range(sheet, Rect{1, 1, 2, 7}).Replace(" ", "", kLookAtPart));
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 2, 5),
            (Rows{{300, "3班", "001", 295.5, -3}, {"300", "1e3", Value::Boolean(true), Value(ErrorValue{"#N/A"}), "007"}}));
  // Only spaces: nothing is left, the cell is empty.
  EXPECT_TRUE(sheet.CellValue(1, 6).IsEmpty());
  // "300" and "001" held no space and were not touched: they stay text.
  EXPECT_TRUE(sheet.CellValue(2, 1).IsText());
  // A cell formatted as text keeps a typed number as text.
  EXPECT_EQ(sheet.CellValue(2, 7), Value("12"));
  EXPECT_EQ(sheet.CellValue(2, 6), Value("85"));
}

TEST_F(ReplaceTest, IdAndStudentNumbersKeepEveryDigitWhenTheirSpacesGo) {
  FillSheet(sheet, {{"110101200801011234 ", "11010120080101123X ", " 000993", "138 1234 5678", "0 21-1234"},
                    {"1 e5", "12, 345", "1234 5678 9012", "85 .50", "张 三"}});
  EXPECT_TRUE(Range(sheet, Rect{1, 1, 2, 5}).Replace(" ", "", kLookAtPart));
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 2, 5),
            (Rows{{"110101200801011234", "11010120080101123X", "000993", 13812345678.0, "021-1234"},
                  {"1e5", "12,345", "123456789012", 85.5, "张三"}}));
}

TEST_F(ReplaceTest, EmptySearchTextIsRefused) {
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Cells().Replace("", "x", kLookAtPart); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Cells().Replace("x", "y", 3); }), kErrHost);
}

TEST_F(ReplaceTest, RangeSetValueOfABlockAndOfNothing) {
  Range(sheet, Rect{2, 2, 3, 3}).SetValue(7);
  EXPECT_EQ(ReadBlock(sheet, 2, 2, 3, 3), (Rows{{7, 7}, {7, 7}}));
  sheet.Columns(2).SetValue(Value());
  EXPECT_EQ(ReadBlock(sheet, 2, 2, 3, 3), (Rows{{Value(), 7}, {Value(), 7}}));
  sheet.Cells(2, 3).SetValue("");
  EXPECT_TRUE(sheet.CellValue(2, 3).IsEmpty());
}

}  // namespace
}  // namespace fenban::host

namespace fenban::host {
namespace {

TEST_F(ReplaceTest, SetValueFromACellOfTheSameRow) {
  sheet.SetCellValue(1, 1, "first");
  const Range row(sheet, Rect{1, 2, 1, 300});
  row.SetValue(sheet.CellValue(1, 1));
  EXPECT_EQ(sheet.CellValue(1, 300), Value("first"));
  EXPECT_EQ(sheet.CellValue(1, 150), Value("first"));
}

}  // namespace
}  // namespace fenban::host
