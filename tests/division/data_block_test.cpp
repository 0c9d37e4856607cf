// The refusal of values outside the list on "数据表", and the check of totals.
#include "division/data_block.h"

#include <gtest/gtest.h>

#include "host/errors.h"
#include "host/model_workbook.h"
#include "support/model_builder.h"

namespace fenban::division {
namespace {

using host::Value;
using testing::FillSheet;

class DataBlockTest : public ::testing::Test {
 protected:
  host::ModelWorkbook book{"名单.xlsx", "/data"};
  host::ModelWorksheet& sheet = book.AppendSheet("数据表");
};

TEST_F(DataBlockTest, OneBlockAroundA1PassesWhateverItsFormats) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}, {"乙", Value()}});
  sheet.Format(host::Rect{1, 1, 200, 10}, [](host::CellStyle& s) { s.bold = true; });
  EXPECT_EQ(ValuesOutsideListWarning(sheet), "");
}

TEST_F(DataBlockTest, BlankRowsAreNamedWithWhereTheDataGoesOn) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}, {}, {}, {}, {"乙", 80}});
  const std::string warning = ValuesOutsideListWarning(sheet);
  EXPECT_NE(warning.find("数据表第 3 至 5 行是空行，它下面第 6 行起还有数据，分班只会读到第 2 行"), std::string::npos)
      << warning;
}

TEST_F(DataBlockTest, BlankColumnsAreNamedByLetter) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}});
  sheet.SetCellValue(2, 28, "备注");  // AB2, beyond the blank columns C to AA
  const std::string warning = ValuesOutsideListWarning(sheet);
  EXPECT_NE(warning.find("数据表第 C 至 AA 列是空列，它右边从 AB2 起还有数据，分班只会读到名单 A1:B2"),
            std::string::npos)
      << warning;
}

TEST_F(DataBlockTest, DataRightBelowTheListButBeyondABlankColumn) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}});
  sheet.SetCellValue(3, 4, "合计");  // D3 touches neither the list's rows nor its columns
  const std::string warning = ValuesOutsideListWarning(sheet);
  EXPECT_NE(warning.find("数据表第 3 行从 D3 起还有数据，它和名单 A1:B2 之间隔着空列"), std::string::npos) << warning;
}

TEST_F(DataBlockTest, AListThatDoesNotStartAtA1) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}}, 3, 2);
  const std::string warning = ValuesOutsideListWarning(sheet);
  EXPECT_NE(warning.find("A1 单元格是空的"), std::string::npos) << warning;
  EXPECT_NE(warning.find("从 B3 起的数据"), std::string::npos) << warning;
}

TEST_F(DataBlockTest, TotalsAreCheckedOnTheDataSheetOnly) {
  FillSheet(sheet, {{"姓名", "总分"}, {"甲", 90}, {"乙", "85"}, {"丙", Value()}});
  EXPECT_NO_THROW(CheckTotals(sheet));
  sheet.SetCellValue(6, 2, "缺考");  // outside the list: not read
  EXPECT_NO_THROW(CheckTotals(sheet));
  sheet.SetCellValue(3, 2, "缺考");
  try {
    CheckTotals(sheet);
    FAIL() << "expected error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrTypeMismatch);
    EXPECT_EQ(error.Description(), "类型不匹配：工作表“数据表”单元格 B3（“总分”列）的值“缺考”");
  }
}

}  // namespace
}  // namespace fenban::division
