// How sheets pair by name and how a division sheet's title row is recognised.
#include "sheets/workbook_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "host/model_workbook.h"
#include "host/model_worksheet.h"

namespace fenban::sheets {
namespace {

TEST(DivisionPairOf, ReadsTheSideFromTwoCharactersAndTheNumberAfterTheThird) {
  struct Case {
    std::string name;
    PairSide side;
    std::string number, division, statistics;
  };
  const Case cases[] = {
      {"分班表12", PairSide::Division, "12", "分班表12", "统计表12"},
      {"统计表3", PairSide::Statistics, "3", "分班表3", "统计表3"},
      {"分班表1a", PairSide::Division, "1a", "分班表1a", "统计表1a"},
      // The third character is not looked at.
      {"分班X7", PairSide::Division, "7", "分班X7", "统计表7"},
      {"统计结果2", PairSide::Statistics, "果2", "分班表果2", "统计结果2"},
      // Three characters or fewer: no number.
      {"统计表", PairSide::Statistics, "", "分班表", "统计表"},
      {"分班", PairSide::Division, "", "分班", "统计表"},
      {"数据表", PairSide::None, "", "", ""},
      {"班分表1", PairSide::None, "1", "", ""},
      {"", PairSide::None, "", "", ""},
  };
  for (const Case& c : cases) {
    const DivisionPair pair = DivisionPairOf(c.name);
    EXPECT_EQ(pair.side, c.side) << c.name;
    EXPECT_EQ(pair.number, c.number) << c.name;
    EXPECT_EQ(pair.divisionSheet, c.division) << c.name;
    EXPECT_EQ(pair.statisticsSheet, c.statistics) << c.name;
  }
}

TEST(DivisionPairOf, SheetOfEitherSideNeedsANumber) {
  EXPECT_EQ(StatisticsSheetOf("分班表12"), "统计表12");
  EXPECT_EQ(StatisticsSheetOf("统计表12"), "统计表12");
  EXPECT_EQ(DivisionSheetOf("统计表12"), "分班表12");
  EXPECT_EQ(DivisionSheetOf("分班X7"), "分班表7");
  EXPECT_EQ(StatisticsSheetOf("统计表"), "");
  EXPECT_EQ(DivisionSheetOf("分班表"), "");
  EXPECT_EQ(DivisionSheetOf("数据表1"), "");
  EXPECT_EQ(StatisticsSheetOf("分"), "");
}

TEST(HasTitleRow, LooksAtTheFirstOfTheLastTwoCharactersOfA2) {
  host::ModelWorkbook book("名单.xlsx", "/data");
  host::ModelWorksheet& sheet = book.AppendSheet("分班表1");
  struct Case {
    host::Value a2;
    bool title;
  };
  const Case cases[] = {
      {host::Value("新班级"), true},  {host::Value("原班级"), true}, {host::Value("班级"), true},
      {host::Value("一班"), false},   {host::Value("班"), true},     {host::Value("新 班级 "), false},
      {host::Value(3), false},        {host::Value(), false},        {host::Value("三年级"), false},
  };
  for (const Case& c : cases) {
    sheet.SetCellValue(2, 1, c.a2);
    EXPECT_EQ(HasTitleRow(sheet), c.title) << c.a2.ToText();
    EXPECT_EQ(DivisionHeaderRow(sheet), c.title ? 2 : 1) << c.a2.ToText();
  }
}

}  // namespace
}  // namespace fenban::sheets
