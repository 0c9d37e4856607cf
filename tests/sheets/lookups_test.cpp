// The five lookups on an embedded sheet.
#include "sheets/lookups.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "support/error_number.h"

namespace fenban::sheets {
namespace {

using host::Value;
using testing::ErrorNumber;

class LookupsTest : public ::testing::Test {
 protected:
  LookupsTest() : book("示例.xlsx", "/data"), sheet(book.AppendSheet("分班表1")) {}

  void Row(int32_t row, const std::vector<Value>& values) {
    for (size_t c = 0; c < values.size(); ++c) {
      if (!values[c].IsEmpty()) sheet.SetCellValue(row, static_cast<int32_t>(c) + 1, values[c]);
    }
  }
  void Column(int32_t column, int32_t firstRow, const std::vector<Value>& values) {
    for (size_t r = 0; r < values.size(); ++r) {
      if (!values[r].IsEmpty()) sheet.SetCellValue(firstRow + static_cast<int32_t>(r), column, values[r]);
    }
  }
  host::ModelWorkbook book;
  host::ModelWorksheet& sheet;
};

TEST_F(LookupsTest, SheetExistsComparesNamesExactly) {
  book.AppendSheet("分班表10");
  book.AppendSheet("Sheet1");
  EXPECT_TRUE(SheetExists(book, "分班表1"));
  EXPECT_TRUE(SheetExists(book, "分班表10"));
  EXPECT_FALSE(SheetExists(book, "分班表"));
  EXPECT_FALSE(SheetExists(book, "分班表100"));
  EXPECT_TRUE(SheetExists(book, "Sheet1"));
  EXPECT_FALSE(SheetExists(book, "sheet1"));
  EXPECT_FALSE(SheetExists(book, "SHEET1"));
  EXPECT_FALSE(SheetExists(book, ""));
  EXPECT_FALSE(SheetExists(book, "Sheet1 "));
}

TEST_F(LookupsTest, FindHeaderColumnFindsHeadersOfRowOne) {
  Row(1, {"新班级", "序号", "姓名", "总分"});
  Row(2, {1, 1, "张三", "性别"});
  EXPECT_EQ(FindHeaderColumn(sheet, "总分"), 4);
  EXPECT_EQ(FindHeaderColumn(sheet, "新班级"), 1);
  EXPECT_EQ(FindHeaderColumn(sheet, "姓名"), 3);
  EXPECT_EQ(FindHeaderColumn(sheet, "性别"), 0);  // only row 1 counts
  EXPECT_EQ(FindHeaderColumn(sheet, "总"), 0);     // whole text only
}

TEST_F(LookupsTest, FindHeaderColumnStopsAtTheFirstEmptyHeader) {
  Row(1, {"姓名", Value(), "总分"});
  EXPECT_EQ(FindHeaderColumn(sheet, "总分"), 0);
  EXPECT_EQ(FindHeaderColumn(sheet, "姓名"), 1);
}

TEST_F(LookupsTest, FindHeaderColumnTakesTheLeftmostAndComparesExactly) {
  Row(1, {"Total", "语文", "total", "语文", 2024});
  EXPECT_EQ(FindHeaderColumn(sheet, "语文"), 2);
  EXPECT_EQ(FindHeaderColumn(sheet, "total"), 3);
  EXPECT_EQ(FindHeaderColumn(sheet, "TOTAL"), 0);
  EXPECT_EQ(FindHeaderColumn(sheet, "2024"), 5);  // a number reads as its text
}

TEST_F(LookupsTest, FindHeaderColumnOnAnEmptyRowFindsNothing) {
  EXPECT_EQ(FindHeaderColumn(sheet, "总分"), 0);
}

TEST_F(LookupsTest, FindHeaderColumnRaisesTypeMismatchOnAnErrorHeader) {
  Row(1, {"姓名", Value(host::ErrorValue{"#N/A"}), "总分"});
  EXPECT_EQ(ErrorNumber([&] { FindHeaderColumn(sheet, "总分"); }), host::kErrTypeMismatch);
  // Found before the error cell is reached: no error.
  EXPECT_EQ(FindHeaderColumn(sheet, "姓名"), 1);
}

TEST_F(LookupsTest, RunsEndAtTheFirstDifferingText) {
  Column(3, 2, {"男", "男", "女"});
  EXPECT_EQ(LastRowOfRun(sheet, 2, 4, 3), 3);
  EXPECT_EQ(CountRunRows(sheet, 2, 4, 3), 2);
  EXPECT_EQ(LastRowOfRun(sheet, 4, 4, 3), 4);
  EXPECT_EQ(CountRunRows(sheet, 4, 4, 3), 1);
}

TEST_F(LookupsTest, RunsReachingLastRowStopThere) {
  Column(1, 1, {5, 5, 5, 5, 5});
  EXPECT_EQ(LastRowOfRun(sheet, 2, 4, 1), 4);
  EXPECT_EQ(CountRunRows(sheet, 2, 4, 1), 3);
  EXPECT_EQ(LastRowOfRun(sheet, 3, 3, 1), 3);
  EXPECT_EQ(CountRunRows(sheet, 3, 3, 1), 1);
}

TEST_F(LookupsTest, EmptyRangesReturnTheRowBefore) {
  Column(1, 1, {7, 7, 7});
  EXPECT_EQ(LastRowOfRun(sheet, 4, 3, 1), 3);
  EXPECT_EQ(CountRunRows(sheet, 4, 3, 1), 0);
  EXPECT_EQ(LastRowOfRun(sheet, 10, 2, 1), 9);
  EXPECT_EQ(CountRunRows(sheet, 10, 2, 1), 0);
}

TEST_F(LookupsTest, RunsCompareByText) {
  // A number and the text of that number are the same run; 85 and 85.0 are one text.
  Column(2, 1, {85, "85", 85.0, 85.5, 85});
  EXPECT_EQ(LastRowOfRun(sheet, 1, 5, 2), 3);
  EXPECT_EQ(CountRunRows(sheet, 1, 5, 2), 3);
  // Empty cells form a run of empty text.
  EXPECT_EQ(LastRowOfRun(sheet, 1, 5, 7), 5);
  // Letter case matters.
  Column(4, 1, {"A", "A", "a"});
  EXPECT_EQ(CountRunRows(sheet, 1, 3, 4), 2);
}

TEST_F(LookupsTest, RunWalksAgreeForEveryStart) {
  Column(1, 1, {1, 1, 2, 2, 2, 3, Value(), Value(), 4});
  for (int32_t first = 1; first <= 9; ++first) {
    for (int32_t last = first; last <= 9; ++last) {
      EXPECT_EQ(CountRunRows(sheet, first, last, 1), LastRowOfRun(sheet, first, last, 1) - first + 1)
          << first << ".." << last;
    }
  }
  EXPECT_EQ(LastRowOfRun(sheet, 3, 9, 1), 5);
  EXPECT_EQ(LastRowOfRun(sheet, 7, 9, 1), 8);
}

TEST_F(LookupsTest, RunsRaiseOnErrorValuesTheyRead) {
  Column(1, 1, {"男", Value(host::ErrorValue{"#DIV/0!"}), "男"});
  EXPECT_EQ(ErrorNumber([&] { LastRowOfRun(sheet, 1, 3, 1); }), host::kErrTypeMismatch);
  EXPECT_EQ(ErrorNumber([&] { CountRunRows(sheet, 1, 3, 1); }), host::kErrTypeMismatch);
  // The reference cell is read even when the range is empty.
  EXPECT_EQ(ErrorNumber([&] { LastRowOfRun(sheet, 2, 1, 1); }), host::kErrTypeMismatch);
  // A cell after the first differing row is never read.
  Column(2, 1, {"男", "女", Value(host::ErrorValue{"#N/A"})});
  EXPECT_EQ(LastRowOfRun(sheet, 1, 3, 2), 1);
  EXPECT_EQ(CountRunRows(sheet, 1, 3, 2), 1);
}

TEST_F(LookupsTest, CountRowsAtLeastStopsAtTheFirstValueBelow) {
  Column(1, 1, {95, 90, 85, 92});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 4, 1, 90), 2);
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 4, 1, 85), 4);
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 4, 1, 96), 0);
  EXPECT_EQ(CountRowsAtLeast(sheet, 2, 4, 1, 90), 1);
  EXPECT_EQ(CountRowsAtLeast(sheet, 4, 3, 1, 0), 0);
}

TEST_F(LookupsTest, CountRowsAtLeastComparesNumerically) {
  Column(1, 1, {"100", 89.5, 89.4});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 3, 1, 90), 1);  // numeric text counts by its number
  Column(2, 1, {90, 89.99});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 2, 2, 90), 1);
  Column(3, 1, {-5, -10});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 2, 3, -5), 1);
}

TEST_F(LookupsTest, CountRowsAtLeastReadsEmptyCellsAsZero) {
  Column(1, 1, {3, Value(), 2});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 3, 1, 0), 3);
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 3, 1, 1), 1);
}

TEST_F(LookupsTest, CountRowsAtLeastRaisesOnTextAndErrorsItReaches) {
  Column(1, 1, {95, "缺考", 80});
  EXPECT_EQ(ErrorNumber([&] { CountRowsAtLeast(sheet, 1, 3, 1, 90); }), host::kErrTypeMismatch);
  Column(2, 1, {95, Value(host::ErrorValue{"#VALUE!"})});
  EXPECT_EQ(ErrorNumber([&] { CountRowsAtLeast(sheet, 1, 2, 2, 90); }), host::kErrTypeMismatch);
  // Values past the first one below the threshold are never read.
  Column(3, 1, {95, 85, "缺考", Value(host::ErrorValue{"#N/A"})});
  EXPECT_EQ(CountRowsAtLeast(sheet, 1, 4, 3, 90), 1);
}

}  // namespace
}  // namespace fenban::sheets
