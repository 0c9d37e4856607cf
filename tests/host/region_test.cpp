#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::FillSheet;

class RegionTest : public HostTest {};

TEST_F(RegionTest, BlockBoundedByEmptyRowsAndColumns) {
  FillSheet(sheet, {{"a", "b", "c"}, {1, 2, 3}, {4, 5, 6}});
  sheet.SetCellValue(5, 1, "apart");   // below an empty row
  sheet.SetCellValue(1, 5, "apart");   // right of an empty column
  EXPECT_EQ(sheet.CurrentRegion(1, 1), (Rect{1, 1, 3, 3}));
  EXPECT_EQ(sheet.CurrentRegion(2, 2), (Rect{1, 1, 3, 3}));
  EXPECT_EQ(sheet.CurrentRegion(5, 1), (Rect{5, 1, 5, 1}));
}

TEST_F(RegionTest, DiagonalNeighboursJoinTheBlock) {
  sheet.SetCellValue(2, 2, 1);
  sheet.SetCellValue(3, 3, 1);
  sheet.SetCellValue(4, 2, 1);
  EXPECT_EQ(sheet.CurrentRegion(2, 2), (Rect{2, 2, 4, 3}));
}

TEST_F(RegionTest, HolesInsideDoNotSplitTheBlock) {
  FillSheet(sheet, {{"h1", "h2", "h3"}, {1, Value(), 3}, {Value(), Value(), 6}, {7, 8, Value()}});
  EXPECT_EQ(sheet.CurrentRegion(1, 1), (Rect{1, 1, 4, 3}));
}

TEST_F(RegionTest, EmptyCellNextToDataTakesTheData) {
  sheet.SetCellValue(1, 1, "x");
  EXPECT_EQ(sheet.CurrentRegion(2, 2), (Rect{1, 1, 2, 2}));
  EXPECT_EQ(sheet.CurrentRegion(10, 10), (Rect{10, 10, 10, 10}));
}

TEST_F(RegionTest, EdgesOfTheSheet) {
  sheet.SetCellValue(kMaxRows, kMaxColumns, 1);
  sheet.SetCellValue(kMaxRows - 1, kMaxColumns - 1, 1);
  EXPECT_EQ(sheet.CurrentRegion(kMaxRows, kMaxColumns), (Rect{kMaxRows - 1, kMaxColumns - 1, kMaxRows, kMaxColumns}));
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.CurrentRegion(0, 1); }), kErrHost);
}

TEST_F(RegionTest, FormatsAloneDoNotCount) {
  sheet.SetCellValue(1, 1, "x");
  sheet.Format(Rect{2, 1, 2, 1}, [](CellStyle& s) { s.bold = true; });
  EXPECT_EQ(sheet.CurrentRegion(1, 1), (Rect{1, 1, 1, 1}));
}

TEST_F(RegionTest, UsedRectIsTheBoundingBoxOfValues) {
  EXPECT_EQ(sheet.UsedRect(), (Rect{1, 1, 1, 1}));
  sheet.SetCellValue(3, 4, 1);
  sheet.SetCellValue(7, 2, "x");
  EXPECT_EQ(sheet.UsedRect(), (Rect{3, 2, 7, 4}));
  sheet.SetCellValue(7, 2, Value());
  EXPECT_EQ(sheet.UsedRect(), (Rect{3, 4, 3, 4}));
}

TEST_F(RegionTest, AddressesOutsideTheSheetAreRefused) {
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.CellValue(0, 1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.CellValue(1, kMaxColumns + 1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetCellValue(kMaxRows + 1, 1, 1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.Cells(1, 1).Cells(0, 1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.Cells(-5, 1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)Range(sheet, Rect{3, 1, 2, 1}); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.GetRange("A0"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { (void)sheet.GetRange("XFE1"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.CopyTo(Rect{1, 1, 3, 1}, sheet, kMaxRows - 1, 1); }), kErrHost);
  EXPECT_EQ(sheet.GetRange("B2:$C$5").Area(), (Rect{2, 2, 5, 3}));
  EXPECT_EQ(sheet.GetRange("A:B").Area(), (Rect{1, 1, kMaxRows, 2}));
  EXPECT_EQ(sheet.GetRange("2:3").Area(), (Rect{2, 1, 3, kMaxColumns}));
}

}  // namespace
}  // namespace fenban::host

namespace fenban::host {
namespace {

// The region a sheet gives back after a change, against the region of a
// fresh copy of its cells, which has nothing remembered.
class RegionMemoTest : public HostTest {
 protected:
  Rect Fresh(int32_t row, int32_t column) {
    copy_.RowsData() = std::as_const(sheet).RowsData();
    return copy_.CurrentRegion(row, column);
  }
  ModelWorksheet& copy_ = book.AppendSheet("copy");
  ModelWorksheet& source_ = book.AppendSheet("source");
};

TEST_F(RegionMemoTest, ChangesAreSeenAndSortsOfAFullTableKeepIt) {
  std::mt19937 random(7);
  auto cellValue = [&random]() -> Value {
    const auto pick = static_cast<uint32_t>(random() % 5);
    if (pick == 0) return Value();
    if (pick == 1) return Value("t" + std::to_string(random() % 3));
    return Value(static_cast<int32_t>(random() % 4));
  };
  for (int32_t round = 0; round < 300; ++round) {
    if (round % 30 == 0) {
      sheet.Clear(Rect{1, 1, kMaxRows, kMaxColumns});
      for (int32_t c = 1; c <= 4; ++c) sheet.SetCellValue(1, c, "h" + std::to_string(c));
      for (int32_t r = 2; r <= 8; ++r) {
        for (int32_t c = 1; c <= 4; ++c) sheet.SetCellValue(r, c, cellValue());
      }
    }
    const Rect before = sheet.CurrentRegion(1, 1);
    const auto row = static_cast<int32_t>(1 + random() % 11);
    const auto column = static_cast<int32_t>(1 + random() % 6);
    switch (random() % 8) {
      case 0:
        sheet.SetCellValue(row, column, cellValue());
        break;
      case 1:
        sheet.Sort(before, SortKey{column <= before.col2 ? column : 1, kAscending}, SortKey{}, kHeaderYes);
        break;
      case 2:  // a header cell emptied or filled, then a sort of the table
        sheet.SetCellValue(1, column, random() % 2 == 0 ? Value() : Value("h"));
        (void)sheet.CurrentRegion(1, 1);
        sheet.Sort(sheet.CurrentRegion(1, 1), SortKey{1, kDescending}, SortKey{}, kHeaderYes);
        break;
      case 3:
        sheet.Sort(before, SortKey{before.col1, kAscending}, SortKey{}, kHeaderNo);
        break;
      case 4:
        sheet.DeleteCells(Rect{row, 1, row, kMaxColumns}, kShiftUp);
        break;
      case 5:
        sheet.Clear(Rect{row, column, row, column});
        break;
      case 6:
        sheet.PasteValuesTo(Rect{2, 1, 3, 2}, sheet, row, column);
        break;
      default:  // from another sheet, whose cells go straight across
        source_.SetCellValue(1, 1, cellValue());
        source_.SetCellValue(2, 2, cellValue());
        if (random() % 2 == 0) {
          source_.PasteValuesTo(Rect{1, 1, 2, 2}, sheet, row, column);
        } else {
          source_.CopyTo(Rect{1, 1, 2, 2}, sheet, row, column);
        }
        break;
    }
    ASSERT_EQ(sheet.CurrentRegion(1, 1), Fresh(1, 1)) << "round " << round;
    ASSERT_EQ(sheet.CurrentRegion(row, column), Fresh(row, column)) << "round " << round;
  }
}

}  // namespace
}  // namespace fenban::host
