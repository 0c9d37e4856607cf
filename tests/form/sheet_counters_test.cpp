// The counters row of a data workbook in "DTB": found by the workbook's name,
// earlier versions' rows (kept by list position, without a name) adopted.
#include <gtest/gtest.h>

#include "form/form_routines.h"
#include "form/host_fixture.h"
#include "form/sheet_counters.h"

namespace fenban::form {
namespace {

using host::Value;
using testing::DataBookFile;
using testing::HostFixture;

DataBookFile Students() { return {{{"数据表", {{"姓名", "总分"}, {"张三", 500}}}}, 1}; }

class SheetCountersTest : public ::testing::Test, public HostFixture {
 protected:
  void Counters(int32_t row, const std::string& name, Value next, Value skip = Value()) {
    dtb->SetCellValue(row, 1, next);
    dtb->SetCellValue(row, 2, skip);
    if (!name.empty()) dtb->SetCellValue(row, kCounterNameColumn, name);
  }
};

TEST_F(SheetCountersTest, CountersFollowTheWorkbookWhereverTheListPutsIt) {
  for (const char* name : {"0.xlsx", "a.xlsx", "b.xlsx"}) AddDataFile(name, Students());
  Counters(2, "a.xlsx", 4, 2);
  Counters(3, "b.xlsx", 9);
  // "0.xlsx" was added and sorts first: "a.xlsx" is now at position 1, "b.xlsx" at 2.
  Choose({"0.xlsx", "a.xlsx", "b.xlsx"}, 1);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.NextSheetNo, 4);
  EXPECT_EQ(state.SkipSheetNo, 2);
  form.ltbBiao.SetListIndex(2);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.NextSheetNo, 9);
  EXPECT_EQ(state.SkipSheetNo, 0);
  // The new file meets no other workbook's counters: rows 2 and 3 are named,
  // row 4 is the first free one.
  form.ltbBiao.SetListIndex(0);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.NextSheetNo, 0);
  EXPECT_EQ(state.SkipSheetNo, 0);
  EXPECT_EQ(FindCounterRow(*dtb, "0.xlsx", 0), 4);
}

TEST_F(SheetCountersTest, AnUnnamedRowAtTheListPositionIsAdoptedAndThenKeptByName) {
  Counters(2, "", 6, 3);  // written by an earlier version for position 0
  EXPECT_EQ(FindCounterRow(*dtb, "a.xlsx", 0), 2);
  EXPECT_EQ(ClaimCounterRow(*dtb, "a.xlsx", 0, {"a.xlsx"}), 2);
  EXPECT_EQ(dtb->CellValue(2, kCounterNameColumn), Value("a.xlsx"));
  EXPECT_EQ(dtb->CellValue(1, kCounterNameColumn), Value(kCounterNameHeader));
  EXPECT_EQ(dtb->CellValue(2, 1), Value(6));
  // Once named, the row stays with the workbook at any position, and no other
  // workbook adopts it.
  EXPECT_EQ(FindCounterRow(*dtb, "a.xlsx", 5), 2);
  EXPECT_EQ(FindCounterRow(*dtb, "z.xlsx", 0), 3);
}

TEST_F(SheetCountersTest, TheFirstClaimNamesEveryEarlierVersionsRowAfterTheListAsItIs) {
  Counters(2, "", 3);
  Counters(3, "", 5, 2);
  Counters(4, "", Value());  // no counters: nothing to tie
  Counters(5, "", 7);
  Counters(6, "c.xlsx", 2);
  Counters(7, "", 9);  // its entry "c.xlsx" has a row already
  Counters(8, "", 4);  // beyond the list
  const std::vector<std::string> list = {"a.xlsx", "b.xlsx", "x.xlsx", "d.xlsx", "e.xlsx", "c.xlsx"};
  EXPECT_EQ(ClaimCounterRow(*dtb, "b.xlsx", 1, list), 3);
  EXPECT_EQ(dtb->CellValue(2, kCounterNameColumn), Value("a.xlsx"));
  EXPECT_EQ(dtb->CellValue(3, kCounterNameColumn), Value("b.xlsx"));
  EXPECT_TRUE(dtb->CellValue(4, kCounterNameColumn).IsEmpty());
  EXPECT_EQ(dtb->CellValue(5, kCounterNameColumn), Value("d.xlsx"));
  EXPECT_EQ(dtb->CellValue(6, kCounterNameColumn), Value("c.xlsx"));
  EXPECT_TRUE(dtb->CellValue(7, kCounterNameColumn).IsEmpty());
  EXPECT_TRUE(dtb->CellValue(8, kCounterNameColumn).IsEmpty());
  // A file added later, sorting first, leaves "a.xlsx" its own counters.
  EXPECT_EQ(FindCounterRow(*dtb, "a.xlsx", 1), 2);
  EXPECT_EQ(FindCounterRow(*dtb, "0.xlsx", 0), 4);
}

TEST_F(SheetCountersTest, AFreeRowHasNoCountersAndNoName) {
  Counters(2, "a.xlsx", 2);
  Counters(3, "", Value(), 4);  // an unnamed row with only a skipped number is not free
  Counters(4, "", 3);
  EXPECT_EQ(FindCounterRow(*dtb, "b.xlsx", 0), 5);
  EXPECT_EQ(ClaimCounterRow(*dtb, "b.xlsx", 0, {"b.xlsx"}), 5);
  EXPECT_EQ(ClaimCounterRow(*dtb, "c.xlsx", 0, {"c.xlsx"}), 6);
  // A position row outside the sheet's rows (no choice) never counts.
  EXPECT_EQ(FindCounterRow(*dtb, "d.xlsx", -1), 7);
}

}  // namespace
}  // namespace fenban::form
