// Cells hold an index into their sheet's formula table; these check that
// the texts follow the cells wherever cells go and that the table does not
// keep growing with formulas no cell holds any more.
#include <gtest/gtest.h>

#include <string>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::AddBook;

class FormulaTableTest : public HostTest {
 protected:
  // Rows 1..n: a value in column 1 and, in column 2, a formula of its own.
  void FillOwnFormulas(int32_t n) {
    for (int32_t r = 1; r <= n; ++r) {
      sheet.SetCellValue(r, 1, r);
      sheet.SetFormulaR1C1(Rect{r, 2, r, 2}, "=RC[-1]+" + std::to_string(r * 1000));
    }
  }
};

TEST_F(FormulaTableTest, CopiesElsewhereKeepTheirTextsWhenTheSourceChanges) {
  sheet.SetCellValue(1, 1, 4);
  sheet.SetCellValue(2, 1, 5);
  sheet.SetFormulaR1C1(Rect{1, 2, 2, 3}, "=RC1*10");
  ModelWorkbook& other = AddBook(app, "other.xlsx");
  ModelWorksheet& target = other.AppendSheet("T");
  target.SetFormulaR1C1(Rect{9, 9, 9, 9}, "=1+1");  // the destination's table has an entry already
  sheet.CopyTo(Rect{1, 1, 2, 3}, target, 1, 1);
  const std::unique_ptr<ModelWorksheet> clone = sheet.CloneFor(other);

  // The source's formulas cleared, then many others entered over them, so
  // that its table is trimmed and renumbered.
  sheet.Clear(Rect{1, 1, 2, 3});
  for (int32_t i = 0; i < 3000; ++i) sheet.SetFormulaR1C1(Rect{1, 2, 1, 2}, "=" + std::to_string(i));
  EXPECT_EQ(sheet.CellFormulaR1C1(2, 3), "");

  EXPECT_EQ(target.CellFormulaR1C1(2, 3), "=RC1*10");
  EXPECT_EQ(target.CellValue(2, 3), Value(50.0));
  EXPECT_EQ(target.CellFormulaR1C1(9, 9), "=1+1");
  EXPECT_EQ(clone->CellFormulaR1C1(2, 2), "=RC1*10");
  // The four cells filled with one formula still share one entry there.
  EXPECT_EQ(target.FormulaTableSize(), 3u);
  EXPECT_EQ(target.FindCell(1, 2)->formula, target.FindCell(2, 3)->formula);
}

TEST_F(FormulaTableTest, OverwrittenFormulasAreDroppedAndTheRestRenumbered) {
  FillOwnFormulas(50);
  // One cell given a new formula many times; another given a value.
  for (int32_t i = 0; i < 5000; ++i) sheet.SetFormulaR1C1(Rect{60, 2, 60, 2}, "=" + std::to_string(i));
  sheet.SetCellValue(7, 2, "typed");
  EXPECT_LE(sheet.FormulaTableSize(), 1024u);
  EXPECT_EQ(sheet.CellFormulaR1C1(60, 2), "=4999");
  EXPECT_EQ(sheet.CellFormulaR1C1(7, 2), "");
  EXPECT_EQ(sheet.CellFormulaR1C1(8, 2), "=RC[-1]+8000");
  EXPECT_EQ(sheet.CellFormulaR1C1(50, 2), "=RC[-1]+50000");

  // A sort moves the formulas with their rows, and a copy within the sheet
  // carries the renumbered entries.
  sheet.Sort(Rect{1, 1, 50, 2}, SortKey{1, kDescending}, SortKey{}, kHeaderNo);
  EXPECT_EQ(sheet.CellValue(1, 1), Value(50.0));
  EXPECT_EQ(sheet.CellFormulaR1C1(1, 2), "=RC[-1]+50000");
  EXPECT_EQ(sheet.CellFormulaR1C1(50, 2), "=RC[-1]+1000");
  sheet.CopyTo(Rect{1, 1, 2, 2}, sheet, 101, 1);
  EXPECT_EQ(sheet.CellFormulaR1C1(102, 2), "=RC[-1]+49000");
  EXPECT_EQ(sheet.CellValue(102, 2), Value(49049.0));
}

TEST_F(FormulaTableTest, ClearedMergedAndPastedOverCellsLetTheirEntriesGo) {
  FillOwnFormulas(1000);
  sheet.Clear(Rect{1, 2, 900, 2});
  sheet.Merge(Rect{901, 1, 901, 2});
  sheet.PasteValuesTo(Rect{1, 1, 1, 1}, sheet, 902, 2);
  sheet.SetCellValue(903, 2, "typed");
  EXPECT_EQ(sheet.CellFormulaR1C1(1, 2), "");
  EXPECT_EQ(sheet.CellFormulaR1C1(901, 2), "");
  EXPECT_EQ(sheet.CellFormulaR1C1(902, 2), "");
  EXPECT_EQ(sheet.CellValue(902, 2), Value(1.0));
  // 1,001 entries; the 24th of these calls finds 1,024 and keeps the 97
  // rows' formulas and the one cell's, then adds its own and 6 more.
  for (int32_t i = 1; i <= 30; ++i) sheet.SetFormulaR1C1(Rect{1300, 2, 1300, 2}, "=" + std::to_string(i));
  EXPECT_EQ(sheet.FormulaTableSize(), 1u + 97 + 1 + 7);
  EXPECT_EQ(sheet.CellFormulaR1C1(904, 2), "=RC[-1]+904000");
  EXPECT_EQ(sheet.CellValue(1000, 2), Value(1001000.0));
  EXPECT_EQ(sheet.CellFormulaR1C1(1300, 2), "=30");
}

}  // namespace
}  // namespace fenban::host
