// Data workbook selection: open or activate, "数据表", window, spaces, counters.
#include <gtest/gtest.h>

#include "form/form_routines.h"
#include "form/host_fixture.h"
#include "support/error_number.h"

namespace fenban::form {
namespace {

using host::Value;
using testing::DataBookFile;
using testing::ErrorNumber;
using testing::HostFixture;

DataBookFile Students() {
  return {{{"数据表", {{"姓名", "性别", "总分"}, {"张三", "男", 500}, {"李四", "女", 480}}}}, 1};
}

class SelectDataWorkbookTest : public ::testing::Test, public HostFixture {};

TEST_F(SelectDataWorkbookTest, NoChosenEntryIsAnInvalidUseOfNull) {
  AddDataFile("a.xlsx", Students());
  Choose({"a.xlsx"}, -1);
  state.DataBookName = "旧.xlsx";
  EXPECT_EQ(ErrorNumber([&] { SelectDataWorkbook(app, form, state); }), host::kErrInvalidNull);
  EXPECT_TRUE(openedPaths.empty());
  EXPECT_EQ(state.DataBookName, "旧.xlsx");
  EXPECT_EQ(app.WorkbookCount(), 1);
}

TEST_F(SelectDataWorkbookTest, OpensTheChosenFileFromTheDataFolder) {
  AddDataFile("a.xlsx", Students());
  AddDataFile("b.xlsx", Students());
  Choose({"a.xlsx", "b.xlsx"}, 1);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.DataBookName, "b.xlsx");
  EXPECT_EQ(openedPaths, (std::vector<std::string>{"/host/数据/b.xlsx"}));
  EXPECT_EQ(app.ActiveWorkbook().Name(), "b.xlsx");
  EXPECT_EQ(app.ActiveSheet().Name(), "数据表");
}

TEST_F(SelectDataWorkbookTest, AnOpenWorkbookIsActivatedNotOpenedAgain) {
  AddDataFile("a.xlsx", Students());
  AddDataFile("b.xlsx", Students());
  AddOpenBook("a.xlsx", Students());
  AddOpenBook("b.xlsx", Students());
  app.SetActiveWorkbook(*hostBook);
  Choose({"a.xlsx", "b.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  EXPECT_TRUE(openedPaths.empty());
  EXPECT_EQ(app.WorkbookCount(), 3);
  EXPECT_EQ(&app.ActiveWorkbook(), Book("a.xlsx"));
  // A second click on the same entry still opens nothing.
  SelectDataWorkbook(app, form, state);
  EXPECT_TRUE(openedPaths.empty());
  EXPECT_EQ(app.WorkbookCount(), 3);
}

TEST_F(SelectDataWorkbookTest, WorkbookNamesMatchExactly) {
  AddDataFile("A.xlsx", Students());
  AddOpenBook("a.xlsx", Students());
  Choose({"A.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(openedPaths, (std::vector<std::string>{"/host/数据/A.xlsx"}));
  EXPECT_EQ(app.ActiveWorkbook().Name(), "A.xlsx");
}

TEST_F(SelectDataWorkbookTest, AWorkbookWithoutDataSheetHasItsActiveSheetRenamed) {
  AddDataFile("a.xlsx", {{{"Sheet1", {{"x"}}}, {"学生", {{"姓名"}, {"张 三"}}}}, 2});
  Choose({"a.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  host::ModelWorkbook* book = Book("a.xlsx");
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(book->SheetAt(1).Name(), "Sheet1");
  EXPECT_EQ(book->SheetAt(2).Name(), "数据表");
  EXPECT_EQ(book->ActiveSheet().Name(), "数据表");
  EXPECT_EQ(book->SheetAt(2).CellValue(2, 1), Value("张三"));
}

TEST_F(SelectDataWorkbookTest, AnInactiveDataSheetIsActivatedAndNoNameChanges) {
  AddDataFile("a.xlsx", {{{"说明", {{"x"}}}, {"数据表", {{"姓名"}}}, {"分班表1", {}}}, 3});
  Choose({"a.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  host::ModelWorkbook* book = Book("a.xlsx");
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(book->SheetAt(1).Name(), "说明");
  EXPECT_EQ(book->SheetAt(2).Name(), "数据表");
  EXPECT_EQ(book->SheetAt(3).Name(), "分班表1");
  EXPECT_EQ(book->ActiveSheetIndex(), 2);
}

TEST_F(SelectDataWorkbookTest, FreezesTheHeaderRowAndWidensTheTabs) {
  AddDataFile("a.xlsx", Students());
  Choose({"a.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  host::Window& window = app.ActiveWindow();
  EXPECT_EQ(window.ScrollRow(), 1);
  EXPECT_EQ(window.ScrollColumn(), 1);
  EXPECT_DOUBLE_EQ(window.TabRatio(), 0.9);
  EXPECT_EQ(window.SplitRow(), 1);
  EXPECT_EQ(window.SplitColumn(), 0);
  EXPECT_TRUE(window.FreezePanes());
  EXPECT_DOUBLE_EQ(Book("a.xlsx")->TabRatio(), 0.9);
}

TEST_F(SelectDataWorkbookTest, RemovesEverySpaceInsideTheCurrentRegionOnly) {
  const std::string ideographic = "\u3000", noBreak = "\u00A0";
  DataBookFile file{{{"数据表",
                      {{"姓 名", "性别", "总分"},
                       {" 张三 ", "男", 500},
                       {"李" + ideographic + "四", "女", 480},
                       {"王" + noBreak + "五", "男 ", 470},
                       {"赵 " + ideographic + noBreak + "六", "女", 460},
                       {},
                       {"区 外", "男", 450}}}},
                    1};
  AddDataFile("a.xlsx", file);
  Choose({"a.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  host::Worksheet& sheet = Book("a.xlsx")->SheetAt(1);
  EXPECT_EQ(sheet.CellValue(1, 1), Value("姓名"));
  EXPECT_EQ(sheet.CellValue(2, 1), Value("张三"));
  EXPECT_EQ(sheet.CellValue(3, 1), Value("李四"));
  EXPECT_EQ(sheet.CellValue(4, 1), Value("王五"));
  EXPECT_EQ(sheet.CellValue(4, 2), Value("男"));
  EXPECT_EQ(sheet.CellValue(5, 1), Value("赵六"));
  EXPECT_EQ(sheet.CellValue(2, 3), Value(500));
  // Below the empty row 6 lies outside the current region of A1.
  EXPECT_EQ(sheet.CellValue(7, 1), Value("区 外"));
}

TEST_F(SelectDataWorkbookTest, CountersComeFromTheRowOfTheListPosition) {
  for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx"}) AddDataFile(name, Students());
  dtb->SetCellValue(2, 1, 5);
  dtb->SetCellValue(2, 2, 2);
  dtb->SetCellValue(4, 1, 9);
  dtb->SetCellValue(4, 2, 7);
  Choose({"a.xlsx", "b.xlsx", "c.xlsx"}, 0);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.NextSheetNo, 5);
  EXPECT_EQ(state.SkipSheetNo, 2);
  form.ltbBiao.SetListIndex(2);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.DataBookName, "c.xlsx");
  EXPECT_EQ(state.NextSheetNo, 9);
  EXPECT_EQ(state.SkipSheetNo, 7);
  form.ltbBiao.SetListIndex(1);
  SelectDataWorkbook(app, form, state);
  EXPECT_EQ(state.NextSheetNo, 0);  // row 3 is empty
  EXPECT_EQ(state.SkipSheetNo, 0);
}

TEST_F(SelectDataWorkbookTest, TextCounterIsATypeMismatchAfterTheWorkbookIsCleaned) {
  AddDataFile("a.xlsx", {{{"数据表", {{"姓 名"}}}}, 1});
  dtb->SetCellValue(2, 1, 4);
  dtb->SetCellValue(2, 2, "三");
  state.NextSheetNo = 11;
  state.SkipSheetNo = 12;
  Choose({"a.xlsx"}, 0);
  EXPECT_EQ(ErrorNumber([&] { SelectDataWorkbook(app, form, state); }), host::kErrTypeMismatch);
  EXPECT_EQ(Book("a.xlsx")->SheetAt(1).CellValue(1, 1), Value("姓名"));
  EXPECT_EQ(state.NextSheetNo, 4);
  EXPECT_EQ(state.SkipSheetNo, 12);  // not read: keeps its value
}

TEST_F(SelectDataWorkbookTest, AFileThatCannotBeOpenedRaisesAfterTakingItsName) {
  services.folders[testing::kDataFolder] = {"说明.txt"};
  Choose({"说明.txt"}, 0);
  state.NextSheetNo = 3;
  EXPECT_NE(ErrorNumber([&] { SelectDataWorkbook(app, form, state); }), 0);
  EXPECT_EQ(state.DataBookName, "说明.txt");
  EXPECT_EQ(state.NextSheetNo, 3);
  EXPECT_EQ(app.WorkbookCount(), 1);
}

}  // namespace
}  // namespace fenban::form
