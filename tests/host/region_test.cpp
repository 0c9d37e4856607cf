#include <gtest/gtest.h>

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
