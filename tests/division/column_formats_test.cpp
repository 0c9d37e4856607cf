// The division sheet keeps the number format of each column of the data
// sheet, although the work table between them holds values only.
#include <gtest/gtest.h>

#include "division/column_formats.h"
#include "division_world.h"

namespace fenban::division::testing {
namespace {

using host::Value;

void SetFormat(host::Worksheet& sheet, const host::Rect& area, const std::string& format) {
  sheet.Format(area, [&format](host::CellStyle& style) { style.numberFormat = format; });
}

TEST(ColumnNumberFormats, TheDivisionSheetShowsDatesAsDatesAndMarksWithTheirDecimals) {
  DivisionWorld world;
  host::Worksheet& data = world.DataSheet();
  WriteTable(data, {{"姓名", "出生日期", "总分", "备注"},
                    {"甲", 40385, 600.5, "x"},
                    {"乙", 40386, 590, Value()},
                    {"丙", 40387, 580, "y"},
                    {"丁", 40388, 570, Value()}});
  SetFormat(data, host::Rect{2, 2, 5, 2}, "yyyy-mm-dd");
  SetFormat(data, host::Rect{2, 3, 5, 3}, "0.0");
  SetFormat(data, host::Rect{1, 2, 1, 3}, "@");  // the header's format does not count
  world.state.NextSheetNo = 1;
  DivideClasses(world.app, world.form, world.state);
  ASSERT_TRUE(world.services.messages.empty());

  host::Worksheet& division = *world.dataBook->FindSheet("分班表1");
  const int32_t header = DivisionWorld::HeaderRowOf(division);
  ASSERT_EQ(division.CellValue(header, 4), Value("出生日期"));
  for (int32_t row = header + 1; row <= header + 4; ++row) {
    EXPECT_EQ(division.CellFormat(row, 4).numberFormat, "yyyy-mm-dd") << row;
    EXPECT_EQ(division.CellFormat(row, 5).numberFormat, "0.0") << row;
    EXPECT_EQ(division.CellFormat(row, 3).numberFormat, "General") << row;
    EXPECT_EQ(division.CellFormat(row, 1).numberFormat, "General") << row;
  }
  EXPECT_EQ(division.CellFormat(header, 4).numberFormat, "General");
  // The column is wide enough for "2010-07-26", not only for 40385.
  EXPECT_GE(division.ColumnWidth(4), 10);
}

TEST(ColumnNumberFormats, TheFormatMostNumbersOfAColumnHaveWins) {
  DivisionWorld world;
  host::Worksheet& data = world.DataSheet();
  WriteTable(data, {{"日期"}, {40385}, {40386}, {"不详"}, {40387}});
  SetFormat(data, host::Rect{2, 1, 3, 1}, "yyyy/m/d");
  SetFormat(data, host::Rect{4, 1, 5, 1}, "0.00");  // one text cell and one number
  host::Worksheet& division = world.Work();
  KeepColumnNumberFormats(data, data.CurrentRegion(1, 1), division);
  for (int32_t row = 2; row <= 5; ++row) EXPECT_EQ(division.CellFormat(row, 3).numberFormat, "yyyy/m/d") << row;
  EXPECT_EQ(division.CellFormat(6, 3).numberFormat, "General");  // below the table
  EXPECT_EQ(division.CellFormat(1, 3).numberFormat, "General");
}

TEST(ColumnNumberFormats, ColumnsOfGeneralNumbersOrTextOnlyAreLeftAlone) {
  DivisionWorld world;
  host::Worksheet& data = world.DataSheet();
  WriteTable(data, {{"姓名", "总分"}, {"甲", 1}, {"乙", 2}});
  SetFormat(data, host::Rect{2, 1, 3, 1}, "@");
  host::Worksheet& division = world.Work();
  SetFormat(division, host::Rect{2, 3, 3, 4}, "0%");
  KeepColumnNumberFormats(data, data.CurrentRegion(1, 1), division);
  EXPECT_EQ(division.CellFormat(2, 3).numberFormat, "0%");
  EXPECT_EQ(division.CellFormat(3, 4).numberFormat, "0%");
}

}  // namespace
}  // namespace fenban::division::testing
