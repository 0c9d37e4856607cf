#include <gtest/gtest.h>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::ColumnTexts;
using testing::FillSheet;

class SortTest : public HostTest {};

TEST_F(SortTest, AscendingPutsNumbersTextBooleansErrorsThenBlanks) {
  FillSheet(sheet, {{"key", "id"},
                    {"b", 1},
                    {Value(), 2},
                    {Value::Boolean(true), 3},
                    {10, 4},
                    {Value(ErrorValue{"#N/A"}), 5},
                    {"a", 6},
                    {Value::Boolean(false), 7},
                    {-2, 8}});
  sheet.Sort(Rect{1, 1, 9, 2}, SortKey{1, kAscending}, SortKey{}, kHeaderYes);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 9),
            (std::vector<std::string>{"id", "8", "4", "6", "1", "7", "3", "5", "2"}));
}

TEST_F(SortTest, DescendingReversesButKeepsBlanksLast) {
  FillSheet(sheet, {{Value(), 1}, {5, 2}, {"x", 3}, {Value::Boolean(true), 4}, {7, 5}});
  sheet.Sort(Rect{1, 1, 5, 2}, SortKey{1, kDescending}, SortKey{}, kHeaderNo);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 5), (std::vector<std::string>{"4", "3", "5", "2", "1"}));
}

TEST_F(SortTest, EqualKeysKeepTheirOrderInBothDirections) {
  FillSheet(sheet, {{"h", "n"}, {90, "a"}, {80, "b"}, {90, "c"}, {80, "d"}, {90, "e"}});
  const Rect area{1, 1, 6, 2};
  sheet.Sort(area, SortKey{1, kDescending}, SortKey{}, kHeaderYes);
  EXPECT_EQ(ColumnTexts(sheet, 2, 2, 6), (std::vector<std::string>{"a", "c", "e", "b", "d"}));
  sheet.Sort(area, SortKey{1, kAscending}, SortKey{}, kHeaderYes);
  EXPECT_EQ(ColumnTexts(sheet, 2, 2, 6), (std::vector<std::string>{"b", "d", "a", "c", "e"}));
}

TEST_F(SortTest, TextComparesByCodePointExactly) {
  FillSheet(sheet, {{"女"}, {"男"}, {"b"}, {"B"}, {"否"}, {"是"}});
  sheet.Sort(Rect{1, 1, 6, 1}, SortKey{1, kDescending}, SortKey{}, kHeaderNo);
  // 男 U+7537 > 女 U+5973, 是 U+662F > 否 U+5426, lower case above upper case.
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 6), (std::vector<std::string>{"男", "是", "女", "否", "b", "B"}));
}

// Texts that agree in their first 16 bytes and differ after them, or where
// one ends: byte order all the same.
TEST_F(SortTest, LongTextsThatShareTheirBeginning) {
  const std::string head = "一二三四五六";  // 18 bytes
  FillSheet(sheet, {{head + "乙"}, {head}, {head + "甲"}, {"一二三四五"}, {head + "乙"}, {head + "甲甲"},
                    {"一二三四五A"}, {"一二三四五B"}});
  sheet.Sort(Rect{1, 1, 8, 1}, SortKey{1, kAscending}, SortKey{}, kHeaderNo);
  // 乙 U+4E59 comes before 甲 U+7532; "一二三四五A" is 16 bytes.
  EXPECT_EQ(ColumnTexts(sheet, 1, 1, 8),
            (std::vector<std::string>{"一二三四五", "一二三四五A", "一二三四五B", head, head + "乙", head + "乙",
                                      head + "甲", head + "甲甲"}));
}

TEST_F(SortTest, SecondKeyBreaksTiesOnly) {
  FillSheet(sheet, {{"class", "total", "name"}, {2, 80, "a"}, {1, 70, "b"}, {2, 95, "c"}, {1, 90, "d"}, {1, 70, "e"}});
  sheet.Sort(Rect{1, 1, 6, 3}, SortKey{1, kAscending}, SortKey{2, kDescending}, kHeaderYes);
  EXPECT_EQ(ColumnTexts(sheet, 3, 1, 6), (std::vector<std::string>{"name", "d", "b", "e", "c", "a"}));
}

// Rows already grouped by the first key are sorted within each group; the
// order is the one the same rows get from any other starting order. Texts
// rank by code point, equal texts stored apart rank alike.
TEST_F(SortTest, RowsGroupedByTheFirstKeyGetTheSameOrderAsShuffledOnes) {
  const std::vector<std::string> names = {"王芳", "李四", "王芳", "张三", "Bob", "bob", "李四", "阿"};
  std::vector<std::pair<int32_t, std::string>> rows;
  for (int32_t cls = 1; cls <= 4; ++cls) {
    for (size_t n = 0; n < names.size(); ++n) rows.emplace_back(cls, names[(n * 3 + static_cast<size_t>(cls)) % names.size()] + std::to_string(n % 3));
  }
  ModelWorksheet& shuffled = book.AppendSheet("shuffled");
  for (size_t r = 0; r < rows.size(); ++r) {
    sheet.SetCellValue(static_cast<int32_t>(r) + 1, 1, rows[r].first);  // grouped by class
    sheet.SetCellValue(static_cast<int32_t>(r) + 1, 2, rows[r].second);
    const auto& other = rows[(r * 7) % rows.size()];  // 7 is prime to 32: a permutation
    shuffled.SetCellValue(static_cast<int32_t>(r) + 1, 1, other.first);
    shuffled.SetCellValue(static_cast<int32_t>(r) + 1, 2, other.second);
  }
  const Rect area{1, 1, static_cast<int32_t>(rows.size()), 2};
  for (const int32_t order : {kAscending, kDescending}) {
    sheet.Sort(area, SortKey{1, kAscending}, SortKey{2, order}, kHeaderNo);
    shuffled.Sort(area, SortKey{1, kAscending}, SortKey{2, order}, kHeaderNo);
    EXPECT_EQ(ColumnTexts(sheet, 2, 1, area.row2), ColumnTexts(shuffled, 2, 1, area.row2));
    EXPECT_EQ(ColumnTexts(sheet, 1, 1, area.row2), ColumnTexts(shuffled, 1, 1, area.row2));
  }
  // Class 1, names descending: 阿 U+963F, 王 U+738B, 李 U+674E, 张 U+5F20, then b above B.
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 8), (std::vector<std::string>{"阿2", "王芳2", "王芳0", "李四1", "李四0", "张三0",
                                                                   "bob1", "Bob1"}));
}

TEST_F(SortTest, OnlyTheAreasColumnsMoveAndFormulasAndFormatsMoveAlong) {
  FillSheet(sheet, {{3, "c", "x1"}, {1, "a", "x2"}, {2, "b", "x3"}});
  sheet.Format(Rect{2, 2, 2, 2}, [](CellStyle& s) { s.bold = true; });
  sheet.SetFormulaR1C1(Rect{1, 4, 3, 4}, "=RC[-3]*10");
  sheet.Sort(Rect{1, 1, 3, 2}, SortKey{1, kAscending}, SortKey{}, kHeaderNo);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 3), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ColumnTexts(sheet, 3, 1, 3), (std::vector<std::string>{"x1", "x2", "x3"}));
  EXPECT_TRUE(sheet.CellFormat(1, 2).bold);
  EXPECT_FALSE(sheet.CellFormat(2, 2).bold);

  // Formula results are kept as computed when written; they move with their rows.
  EXPECT_EQ(ColumnTexts(sheet, 4, 1, 3), (std::vector<std::string>{"30", "10", "20"}));
  sheet.Sort(Rect{1, 1, 3, 4}, SortKey{4, kDescending}, SortKey{}, kHeaderNo);
  EXPECT_EQ(ColumnTexts(sheet, 4, 1, 3), (std::vector<std::string>{"30", "20", "10"}));
  EXPECT_EQ(sheet.CellFormulaR1C1(1, 4), "=RC[-3]*10");
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 3), (std::vector<std::string>{"a", "c", "b"}));
}

TEST_F(SortTest, KeyOutsideTheAreaIsRefused) {
  FillSheet(sheet, {{"h", "n"}, {2, "a"}, {1, "b"}});
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Sort(Rect{1, 1, 3, 2}, SortKey{3, kAscending}, SortKey{}, kHeaderYes); }),
            kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Sort(Rect{1, 1, 3, 2}, SortKey{0, kAscending}, SortKey{}, kHeaderYes); }),
            kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] {
              sheet.Sort(Rect{1, 1, 3, 2}, SortKey{1, kAscending}, SortKey{5, kAscending}, kHeaderYes);
            }),
            kErrHost);
  EXPECT_EQ(ColumnTexts(sheet, 2, 1, 3), (std::vector<std::string>{"n", "a", "b"}));
}

TEST_F(SortTest, RangeSortUsesKeyCellsColumns) {
  FillSheet(sheet, {{"序号", "总分"}, {1, 70}, {2, 95}, {3, 80}});
  Range table = sheet.Cells(1, 1).CurrentRegion();
  table.Sort(sheet.Cells(1, 2), kDescending, kHeaderYes);
  EXPECT_EQ(ColumnTexts(sheet, 1, 2, 4), (std::vector<std::string>{"2", "3", "1"}));
  ModelWorksheet& other = book.AppendSheet("Other");
  EXPECT_EQ(ErrorNumberOf([&] { table.Sort(other.Cells(1, 2), kDescending, kHeaderYes); }), kErrHost);
}

}  // namespace
}  // namespace fenban::host
