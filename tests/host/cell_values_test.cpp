// Conversions of a cell that name the cell when they fail.
#include "host/cell_values.h"

#include <gtest/gtest.h>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::FillSheet;

class CellValuesTest : public HostTest {
 protected:
  // The description of the run-time error the statement raises ("" when none), and its number.
  template <class F>
  std::string DescriptionOf(F&& statement, int32_t expectedNumber) {
    try {
      statement();
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), expectedNumber);
      return error.Description();
    }
    ADD_FAILURE() << "no run-time error";
    return "";
  }
};

TEST_F(CellValuesTest, ConvertibleValuesReadAsTheValueConversionsReadThem) {
  FillSheet(sheet, {{"总分", "预设班"}, {85.5, "3"}, {Value(), Value::Boolean(true)}, {" 12 ", 2.5}});
  EXPECT_EQ(CellNumber(sheet, 2, 1), 85.5);
  EXPECT_EQ(CellNumber(sheet, 3, 1), 0);
  EXPECT_EQ(CellNumber(sheet, 4, 1), 12);
  EXPECT_EQ(CellLong(sheet, 2, 2), 3);
  EXPECT_EQ(CellLong(sheet, 3, 2), -1);
  EXPECT_EQ(CellLong(sheet, 4, 2), 2);  // halves to even
  EXPECT_EQ(CellText(sheet, 2, 1), "85.5");
  EXPECT_EQ(CellText(sheet, 3, 2), "TRUE");
}

TEST_F(CellValuesTest, AFailedConversionNamesSheetCellHeaderAndValue) {
  FillSheet(sheet, {{"姓名", "总分"}, {"张三", "缺考"}, {Value(ErrorValue{"#N/A"}), 3e10}});
  EXPECT_EQ(DescriptionOf([&] { CellNumber(sheet, 2, 2); }, kErrTypeMismatch),
            "类型不匹配：工作表“S”单元格 B2（“总分”列）的值“缺考”");
  EXPECT_EQ(DescriptionOf([&] { CellText(sheet, 3, 1); }, kErrTypeMismatch),
            "类型不匹配：工作表“S”单元格 A3（“姓名”列）的值 #N/A");
  EXPECT_EQ(DescriptionOf([&] { CellLong(sheet, 3, 2); }, kErrOverflow),
            "溢出：工作表“S”单元格 B3（“总分”列）的值 30000000000");
  EXPECT_TRUE(DescriptionOf([&] { (void)CellSameText(sheet, 3, 1, Value("张三")); }, kErrTypeMismatch)
                  .ends_with("A3（“姓名”列）的值 #N/A"));
  EXPECT_TRUE(DescriptionOf([&] { (void)CellTextEquals(sheet, 3, 1, "张三"); }, kErrTypeMismatch)
                  .ends_with("A3（“姓名”列）的值 #N/A"));
}

TEST_F(CellValuesTest, PlacesWithoutAHeaderAndLongTexts) {
  // Row 1 itself, and a column whose row 1 holds no text, name no header.
  sheet.SetCellValue(1, 3, "缺考");
  sheet.SetCellValue(1, 4, 7);
  sheet.SetCellValue(5, 4, std::string(50, 'x'));
  EXPECT_EQ(CellPlace(sheet, 1, 3), "工作表“S”单元格 C1的值“缺考”");
  EXPECT_EQ(CellPlace(sheet, 5, 4), "工作表“S”单元格 D5的值“" + std::string(40, 'x') + "…”");
  EXPECT_EQ(CellPlace(sheet, 6, 4), "工作表“S”单元格 D6是空的");
  EXPECT_EQ(ValueClause(Value(85)), "的值 85");
  EXPECT_EQ(ValueClause(Value::Boolean(false)), "的值 FALSE");
  EXPECT_EQ(ShownValue(Value("一班")), "“一班”");
}

TEST_F(CellValuesTest, ValuesWithinFindsTheSmallestRectangleOfValues) {
  EXPECT_FALSE(sheet.ValuesWithin(Rect{1, 1, kMaxRows, kMaxColumns}).has_value());
  FillSheet(sheet, {{"a", "b"}, {"c", "d"}});
  sheet.SetCellValue(9, 7, "x");
  sheet.SetCellValue(5, 4, "y");
  sheet.Format(Rect{12, 1, 12, 30}, [](CellStyle& s) { s.bold = true; });  // formats hold no value
  EXPECT_EQ(sheet.ValuesWithin(Rect{3, 1, kMaxRows, kMaxColumns}), (Rect{5, 4, 9, 7}));
  EXPECT_EQ(sheet.ValuesWithin(Rect{1, 3, 2, kMaxColumns}), std::nullopt);
  EXPECT_EQ(sheet.ValuesWithin(Rect{1, 2, 6, 5}), (Rect{1, 2, 5, 4}));
  EXPECT_EQ(sheet.UsedRect(), (Rect{1, 1, 9, 7}));
}

}  // namespace
}  // namespace fenban::host
