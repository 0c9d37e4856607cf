#include <gtest/gtest.h>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::ColumnTexts;
using testing::FillSheet;
using testing::ReadBlock;
using testing::Rows;

class ShiftTest : public HostTest {
 protected:
  void SetUp() override {
    FillSheet(sheet, {{"a1", "b1", "c1"}, {"a2", "b2", "c2"}, {"a3", "b3", "c3"}, {"a4", "b4", "c4"},
                      {"a5", "b5", "c5"}});
  }
};

TEST_F(ShiftTest, DeleteShiftUpMovesOnlyTheAreasColumns) {
  Range(sheet, Rect{2, 1, 3, 2}).Delete(kShiftUp);
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 5, 3), (Rows{{"a1", "b1", "c1"},
                                               {"a4", "b4", "c2"},
                                               {"a5", "b5", "c3"},
                                               {Value(), Value(), "c4"},
                                               {Value(), Value(), "c5"}}));
}

TEST_F(ShiftTest, DeleteShiftLeftMovesTheRestOfTheRows) {
  Range(sheet, Rect{1, 1, 2, 1}).Delete(kShiftToLeft);
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 3, 3),
            (Rows{{"b1", "c1", Value()}, {"b2", "c2", Value()}, {"a3", "b3", "c3"}}));
}

TEST_F(ShiftTest, InsertShiftDownAndRight) {
  Range(sheet, Rect{2, 2, 3, 2}).Insert(kShiftDown);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 7), (std::vector<std::string>{"b1", "", "", "b2", "b3", "b4", "b5"}));
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 6), (std::vector<std::string>{"a1", "a2", "a3", "a4", "a5", ""}));
  Range(sheet, Rect{1, 1, 1, 1}).Insert(kShiftToRight);
  EXPECT_EQ(ReadBlock(sheet, 1, 1, 1, 4), (Rows{{Value(), "a1", "b1", "c1"}}));
}

TEST_F(ShiftTest, EntireRowsCarryHeightsFormatsMergesBreaksAndValidation) {
  sheet.SetRowHeight(4, 4, 30);
  sheet.Format(Rect{4, 1, 4, kMaxColumns}, [](CellStyle& s) { s.bold = true; });
  sheet.Merge(Rect{5, 1, 5, 3});
  sheet.Merge(Rect{2, 2, 3, 3});
  sheet.AddHPageBreak(4);
  sheet.AddHPageBreak(3);
  ValidationRule rule;
  rule.area = Rect{3, 1, 5, 1};
  rule.type = kValidateList;
  rule.formula1 = "是,否";
  sheet.AddValidation(rule);

  sheet.Rows(2).Delete(kShiftUp);
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 4), (std::vector<std::string>{"a1", "a3", "a4", "a5"}));
  EXPECT_EQ(sheet.RowHeight(3), 30);
  EXPECT_TRUE(sheet.CellFormat(3, 7).bold);
  EXPECT_FALSE(sheet.CellFormat(4, 7).bold);
  // The 2x2 merge lost a row and became a 1x2 merge.
  EXPECT_EQ(sheet.MergedAreas(), (std::vector<Rect>{Rect{4, 1, 4, 3}, Rect{2, 2, 2, 3}}));
  EXPECT_EQ(sheet.HPageBreaks(), (std::vector<int32_t>{2, 3}));
  ASSERT_NE(sheet.ValidationAt(2, 1), nullptr);
  EXPECT_EQ(sheet.ValidationAt(2, 1)->area, (Rect{2, 1, 4, 1}));

  sheet.Rows(1).Insert(kShiftDown);
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 4), (std::vector<std::string>{"", "a1", "a3", "a4"}));
  EXPECT_EQ(sheet.RowHeight(4), 30);
  EXPECT_EQ(sheet.HPageBreaks(), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(sheet.MergedAreas(), (std::vector<Rect>{Rect{5, 1, 5, 3}, Rect{3, 2, 3, 3}}));
  EXPECT_EQ(sheet.ValidationAt(3, 1)->area, (Rect{3, 1, 5, 1}));
}

TEST_F(ShiftTest, EntireRowsMoveAndShrinkTheAutoFilterAndPrintArea) {
  sheet.AutoFilterArea() = Rect{2, 1, 5, 3};
  sheet.PrintArea() = Rect{1, 1, 5, 3};

  sheet.Rows(1).Delete(kShiftUp);  // above the filter, inside the print area
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 4, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 4, 3}));
  Range(sheet, Rect{2, 1, 3, kMaxColumns}).Delete(kShiftUp);  // inside both
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 2, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 2, 3}));

  sheet.Rows(2).Insert(kShiftDown);  // inside both: they grow
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 3, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 3, 3}));
  Range(sheet, Rect{1, 1, 2, kMaxColumns}).Insert(kShiftDown);  // above both: they move down
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{3, 1, 5, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{3, 1, 5, 3}));
  sheet.Rows(6).Insert(kShiftDown);  // below both
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{3, 1, 5, 3}));

  // Cells shifted within some columns leave them where they are.
  Range(sheet, Rect{1, 1, 1, 3}).Delete(kShiftUp);
  Range(sheet, Rect{1, 1, 1, 3}).Insert(kShiftDown);
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{3, 1, 5, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{3, 1, 5, 3}));

  // Deleting every row of the print area drops it; the filter keeps its last row.
  sheet.PrintArea() = Rect{3, 1, 4, 3};
  Range(sheet, Rect{3, 1, 4, kMaxColumns}).Delete(kShiftUp);
  EXPECT_FALSE(sheet.PrintArea());
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{3, 1, 3, 3}));
  sheet.Rows(3).Delete(kShiftUp);
  EXPECT_FALSE(sheet.AutoFilterArea());
}

TEST_F(ShiftTest, EntireColumnsMoveTheAutoFilterAndPrintArea) {
  sheet.AutoFilterArea() = Rect{1, 2, 5, 4};
  sheet.PrintArea() = Rect{1, 1, 5, 2};
  sheet.Columns(1).Delete(kShiftToLeft);
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 5, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 5, 1}));
  sheet.Columns(1).Insert(kShiftToRight);
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 2, 5, 4}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 2, 5, 2}));
  sheet.Columns(2).Delete(kShiftToLeft);
  EXPECT_FALSE(sheet.PrintArea());
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 2, 5, 3}));
}

TEST_F(ShiftTest, ClearingTheWholeSheetDropsTheAutoFilterAndPrintAreaAndCopiesDoNotCarryThem) {
  sheet.AutoFilterArea() = Rect{1, 1, 5, 3};
  sheet.PrintArea() = Rect{1, 1, 5, 3};
  ModelWorksheet& other = book.AppendSheet("T");
  Range(sheet, Rect{1, 1, 5, 3}).Copy(other.Cells(1, 1));
  EXPECT_EQ(other.CellValue(5, 3), Value("c5"));
  EXPECT_FALSE(other.AutoFilterArea());
  EXPECT_FALSE(other.PrintArea());

  sheet.Clear(Rect{1, 1, 5, 3});  // the cells only
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 5, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 5, 3}));
  sheet.Clear(Rect{1, 1, kMaxRows, kMaxColumns});
  EXPECT_FALSE(sheet.AutoFilterArea());
  EXPECT_FALSE(sheet.PrintArea());
}

TEST_F(ShiftTest, DeletingEveryRowOfAMergeDropsIt) {
  sheet.Merge(Rect{2, 1, 3, 1});
  Range(sheet, Rect{2, 1, 3, kMaxColumns}).Delete(kShiftUp);
  EXPECT_TRUE(sheet.MergedAreas().empty());
}

TEST_F(ShiftTest, InsertRefusesToPushValuesOffTheSheet) {
  sheet.SetCellValue(kMaxRows, 2, "last");
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Rows(2).Insert(kShiftDown); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{1, 2, 1, 2}).Insert(kShiftDown); }), kErrHost);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 2), (std::vector<std::string>{"b1", "b2"}));
  // Another column has room.
  Range(sheet, Rect{1, 1, 1, 1}).Insert(kShiftDown);
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 3), (std::vector<std::string>{"", "a1", "a2"}));
  sheet.SetCellValue(1, kMaxColumns, "edge");
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{1, 1, 1, 1}).Insert(kShiftToRight); }), kErrHost);
}

TEST_F(ShiftTest, ShiftMustBeADirectionTheOperationKnows) {
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{1, 1, 1, 1}).Delete(kShiftDown); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{1, 1, 1, 1}).Insert(kShiftUp); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{1, 1, 1, 1}).Delete(0); }), kErrHost);
}

TEST_F(ShiftTest, PartialShiftAcrossAMergeIsRefused) {
  sheet.Merge(Rect{4, 2, 4, 4});
  EXPECT_EQ(ErrorNumberOf([&] { Range(sheet, Rect{2, 1, 2, 2}).Delete(kShiftUp); }), kErrHost);
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 2), (std::vector<std::string>{"a1", "a2"}));
}

TEST_F(ShiftTest, LastRowsOfTheSheetCanBeDeleted) {
  sheet.SetCellValue(kMaxRows, 1, "x");
  Range(sheet, Rect{kMaxRows - 1, 1, kMaxRows, 1}).Delete(kShiftUp);
  EXPECT_TRUE(sheet.CellValue(kMaxRows, 1).IsEmpty());
  EXPECT_EQ(sheet.CellValue(5, 1), Value("a5"));
}

}  // namespace
}  // namespace fenban::host
