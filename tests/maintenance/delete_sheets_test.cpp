// The delete command: keeps "数据表" and the viewed pair, restarts numbering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/host_fixture.h"
#include "maintenance/maintenance.h"

namespace fenban::maintenance {
namespace {

using host::Value;
using testing::DataBookFile;
using testing::HostFixture;

class DeleteDivisionSheetsTest : public ::testing::Test, public HostFixture {
 protected:
  // Opens "a.xlsx" with the given sheets, `active` active, chosen at list position 1.
  void OpenData(const std::vector<std::string>& names, const std::string& active) {
    DataBookFile file;
    for (size_t i = 0; i < names.size(); ++i) {
      file.sheets.push_back({names[i], {{names[i]}}});
      if (names[i] == active) file.activeSheet = static_cast<int32_t>(i) + 1;
    }
    AddOpenBook("a.xlsx", file);
    Choose({"z.xlsx", "a.xlsx"}, 1);
    state.DataBookName = "a.xlsx";
    state.NextSheetNo = 7;
    state.SkipSheetNo = 5;
  }

  std::vector<std::string> SheetNames() {
    std::vector<std::string> names;
    host::ModelWorkbook* book = Book("a.xlsx");
    for (int32_t i = 1; i <= book->SheetCount(); ++i) names.push_back(book->SheetAt(i).Name());
    return names;
  }

  void ExpectCounters(int32_t next, int32_t skip) {
    EXPECT_EQ(state.NextSheetNo, next);
    EXPECT_EQ(state.SkipSheetNo, skip);
    EXPECT_EQ(dtb->CellValue(3, 1), Value(next));
    EXPECT_EQ(dtb->CellValue(3, 2), Value(skip));
  }

  const std::vector<std::string> several{"分班表1", "统计表1", "数据表", "分班表3", "统计表3", "Sheet9", "分班表12",
                                         "统计表12"};
};

TEST_F(DeleteDivisionSheetsTest, ViewingAStatisticsSheetKeepsItsPair) {
  OpenData(several, "统计表3");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表3", "统计表3"}));
  ExpectCounters(1, 3);
  EXPECT_EQ(services.beeps, (std::vector<std::pair<int32_t, int32_t>>{{360, 36}}));
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(DeleteDivisionSheetsTest, ViewingADivisionSheetKeepsItsPair) {
  OpenData(several, "分班表12");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表12", "统计表12"}));
  ExpectCounters(1, 12);
}

TEST_F(DeleteDivisionSheetsTest, ViewingTheDataSheetKeepsOnlyIt) {
  OpenData(several, "数据表");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表"}));
  ExpectCounters(1, 0);
  EXPECT_EQ(services.beeps.size(), 1u);
}

TEST_F(DeleteDivisionSheetsTest, APairMissingItsStatisticsSheetKeepsTheDivisionSheet) {
  OpenData({"数据表", "分班表2", "分班表5", "统计表2"}, "分班表5");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表5"}));
  ExpectCounters(1, 5);
  EXPECT_EQ(services.beeps.size(), 1u);
}

TEST_F(DeleteDivisionSheetsTest, OtherNamesEndingInDigitsKeepNoPairButSetTheSkipNumber) {
  OpenData({"数据表", "分班表12", "统计表12", "abc12"}, "abc12");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表"}));
  ExpectCounters(1, 12);
}

TEST_F(DeleteDivisionSheetsTest, ANameShorterThanThreeCharactersGivesNoSuffix) {
  OpenData({"数据表", "分班", "统计表", "表1"}, "表1");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表"}));
  ExpectCounters(1, 0);
  EXPECT_EQ(services.beeps.size(), 1u);
}

TEST_F(DeleteDivisionSheetsTest, AShortDivisionNameKeepsItselfAndTheBareStatisticsName) {
  OpenData({"数据表", "分班", "统计表", "统计表1"}, "分班");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班", "统计表"}));
  ExpectCounters(1, 0);
}

TEST_F(DeleteDivisionSheetsTest, KeptNamesCompareExactly) {
  OpenData({"数据表", "分班表3", "统计表03", "统计表3 ", "统计表3"}, "分班表3");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表3", "统计表3"}));
}

TEST_F(DeleteDivisionSheetsTest, ANumericSuffixIsRoundedToAWholeNumber) {
  OpenData({"数据表", "统计表2.5", "分班表2.5"}, "统计表2.5");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "统计表2.5", "分班表2.5"}));
  ExpectCounters(1, 2);
}

TEST_F(DeleteDivisionSheetsTest, TheLastVisibleSheetStaysAndTheCommandGoesOn) {
  OpenData({"Sheet1", "分班表1", "统计表1"}, "Sheet1");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames().size(), 1u);
  ExpectCounters(1, 0);
  EXPECT_EQ(services.beeps.size(), 1u);
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(DeleteDivisionSheetsTest, NoChosenEntryShowsAHintAndChangesNothing) {
  OpenData(several, "统计表3");
  form.ltbBiao.SetListIndex(-1);
  DeleteDivisionSheets(app, form, state);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "应选择数据表！");
  EXPECT_EQ(services.messages[0].style, 0);
  EXPECT_EQ(services.messages[0].title, "提示");
  EXPECT_EQ(SheetNames(), several);
  EXPECT_EQ(state.NextSheetNo, 7);
  EXPECT_EQ(state.SkipSheetNo, 5);
  EXPECT_TRUE(dtb->CellValue(3, 1).IsEmpty());
  EXPECT_TRUE(services.beeps.empty());
}

TEST_F(DeleteDivisionSheetsTest, AMissingSettingsSheetIsSkipped) {
  OpenData(several, "分班表1");
  dtb->SetName("设置");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"分班表1", "统计表1", "数据表"}));
  EXPECT_EQ(state.NextSheetNo, 1);
  EXPECT_EQ(state.SkipSheetNo, 1);
  EXPECT_TRUE(dtb->CellValue(3, 1).IsEmpty());
  EXPECT_EQ(services.beeps.size(), 1u);
}

TEST_F(DeleteDivisionSheetsTest, AClosedDataWorkbookDeletesNothingButStillRestartsTheNumbering) {
  OpenData(several, "分班表1");
  state.DataBookName = "已关闭.xlsx";
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(SheetNames(), several);
  ExpectCounters(1, 0);
  EXPECT_EQ(services.beeps.size(), 1u);
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(DeleteDivisionSheetsTest, TheHostWorkbookIsNotTouched) {
  OpenData(several, "数据表");
  hostBook->AppendSheet("FBB");
  DeleteDivisionSheets(app, form, state);
  EXPECT_EQ(hostBook->SheetCount(), 2);
}

}  // namespace
}  // namespace fenban::maintenance
