// The "均衡列" tables below the statistics sheet's own: their place, their
// counts per class and "最大差", and "统计" rebuilding them after hand moves
// with the names the form holds.
#include <gtest/gtest.h>

#include <map>

#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

// ThreeClassesOfFive's feeder schools, one student without one.
const char* const kSchools[] = {"一中", "二中", "一中", "一中", "二中", "", "一中", "三中",
                                "二中", "二中", "一中", "三中", "一中", "二中", "一中"};

class BalanceTablesTest : public StatisticsTest {
 protected:
  void SetUp() override {
    WriteStudents(Division(), ThreeClassesOfFive());
    Division().SetCellValue(1, 8, Value("毕业学校"));
    for (int32_t s = 0; s < 15; ++s) {
      if (*kSchools[s] != '\0') Division().SetCellValue(s + 2, 8, Value(kSchools[s]));
    }
    form.ltbBiao.AddItem("高一新生.xls");
    form.ltbBiao.SetListIndex(0);
    form.txtFenBan.value = Value(3);
    form.txtYouXiu.value = Value(2);
    form.txtJiGe.value = Value(4);
    form.txtNMing.value = Value(0);
  }

  void Rebuild(const std::string& balance) {
    form.txtJunHeng.value = balance.empty() ? Value() : Value(balance);
    Division().Activate();
    RebuildStatistics(app, form, state);
  }

  // Every cell of rows 1..lastRow, columns 1..20, and the merged areas.
  std::map<std::pair<int32_t, int32_t>, std::string> Snapshot(int32_t lastRow) {
    std::map<std::pair<int32_t, int32_t>, std::string> cells;
    for (int32_t r = 1; r <= lastRow; ++r) {
      for (int32_t c = 1; c <= 20; ++c) cells[{r, c}] = Stats().CellValue(r, c).ToText();
    }
    for (const host::Rect& area : Stats().MergedAreas()) {
      if (area.row2 <= lastRow) cells[{-area.row1, -area.col1}] = std::to_string(area.row2) + "," + std::to_string(area.col2);
    }
    return cells;
  }

  std::vector<std::string> RowText(int32_t row, int32_t columns) {
    std::vector<std::string> texts;
    for (int32_t c = 1; c <= columns; ++c) texts.push_back(StatsText(row, c));
    return texts;
  }

  form::FormModel form;
};

TEST_F(BalanceTablesTest, ATableBelowTheOthersThatStatisticsRebuildsAfterHandMoves) {
  Build(3, 2, 4);
  // With k = 3 the last table's "最大差" is row 3k + 11 = 20 under the title row.
  ASSERT_EQ(StatsText(20, 1), "最大差");
  const auto before = Snapshot(21);
  EXPECT_TRUE(StatsAt(22, 1).IsEmpty());

  Rebuild("毕业学校");
  EXPECT_EQ(Snapshot(21), before) << "the sheet's own tables keep their places and contents";
  EXPECT_EQ(StatsText(22, 1), "毕业学校人数统计");
  EXPECT_TRUE(HasMerge(Stats(), 22, 1, 22, 4));
  // Values in ascending code point order (一 U+4E00, 三 U+4E09, 二 U+4E8C); the blank is no value.
  EXPECT_EQ(RowText(23, 5), (std::vector<std::string>{"新班级", "一中", "三中", "二中", ""}));
  EXPECT_EQ(RowText(24, 4), (std::vector<std::string>{"1", "3", "0", "2"}));
  EXPECT_EQ(RowText(25, 4), (std::vector<std::string>{"2", "2", "1", "2"}));
  EXPECT_EQ(RowText(26, 4), (std::vector<std::string>{"3", "2", "1", "1"}));
  EXPECT_EQ(RowText(27, 4), (std::vector<std::string>{"最大差", "1", "1", "1"}));
  EXPECT_TRUE(services.messages.empty());

  // Hand moves: 张五 and 张三 (class 1, 一中) to class 3.
  const int32_t headerRow = sheets::DivisionHeaderRow(Division());
  for (int32_t r = headerRow + 1; r <= headerRow + 15; ++r) {
    const std::string name = Division().CellValue(r, 3).ToText();
    if (name == "张五" || name == "张三") Division().SetCellValue(r, 1, Value(3));
  }
  Rebuild("毕业学校");
  EXPECT_EQ(RowText(24, 4), (std::vector<std::string>{"1", "1", "0", "2"}));
  EXPECT_EQ(RowText(26, 4), (std::vector<std::string>{"3", "4", "1", "1"}));
  EXPECT_EQ(RowText(27, 4), (std::vector<std::string>{"最大差", "3", "1", "1"}));

  // Without the option the table goes.
  Rebuild("");
  EXPECT_TRUE(StatsAt(22, 1).IsEmpty());
  EXPECT_TRUE(StatsAt(23, 1).IsEmpty());
}

TEST_F(BalanceTablesTest, TablesFollowOneAnotherAndNamesTheSheetLacksAreNamedInANotice) {
  Build(3, 2, 4);
  const int32_t headerRow = sheets::DivisionHeaderRow(Division());
  Division().SetCellValue(headerRow, 9, Value("原班级"));
  for (int32_t r = headerRow + 1; r <= headerRow + 15; ++r) Division().SetCellValue(r, 9, Value(r % 2 == 0 ? 7 : 12));
  Rebuild("毕业学校，籍贯、原班级");
  EXPECT_EQ(StatsText(22, 1), "毕业学校人数统计");
  EXPECT_EQ(StatsText(27, 1), "最大差");
  EXPECT_EQ(StatsText(29, 1), "原班级人数统计");
  EXPECT_EQ(RowText(30, 3), (std::vector<std::string>{"新班级", "7", "12"})) << "numbers by value";
  EXPECT_EQ(StatsText(34, 1), "最大差");
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "分班表1没有“均衡列”写的“籍贯”列，统计表里没有它的人数表。");
}

TEST_F(BalanceTablesTest, LongValuesAreShownInEvenLinesOfAtMostFourCharacters) {
  Build(3, 2, 4);
  const int32_t headerRow = sheets::DivisionHeaderRow(Division());
  Division().SetCellValue(headerRow, 9, Value("籍贯"));
  const char* const places[] = {"北京", "内蒙古自治区", "广西壮族自治区"};
  for (int32_t r = headerRow + 1; r <= headerRow + 15; ++r) Division().SetCellValue(r, 9, Value(places[r % 3]));
  Rebuild("籍贯");
  EXPECT_EQ(RowText(23, 4), (std::vector<std::string>{"新班级", "内蒙古\n自治区", "北京", "广西壮族\n自治区"}));
}

}  // namespace
}  // namespace fenban::statistics::test
