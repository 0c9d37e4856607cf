// Form start-up: the data folder's listing, the options from "DTB", the window.
#include <gtest/gtest.h>

#include "form/form_routines.h"
#include "form/host_fixture.h"

namespace fenban::form {
namespace {

using host::Value;
using testing::HostFixture;

class InitializeFormTest : public ::testing::Test, public HostFixture {};

TEST_F(InitializeFormTest, ListsEveryFileOfTheDataFolderInListingOrder) {
  services.folders[testing::kDataFolder] = {"一班.xls", "二班.xlsx", "说明.txt"};
  InitializeForm(app, form);
  EXPECT_EQ(form.ltbBiao.Items(), (std::vector<std::string>{"一班.xls", "二班.xlsx", "说明.txt"}));
  EXPECT_EQ(form.ltbBiao.ListIndex(), -1);
}

TEST_F(InitializeFormTest, AddsToTheListWithoutClearingIt) {
  form.ltbBiao.AddItem("先有.xlsx");
  services.folders[testing::kDataFolder] = {"b.xlsx", "a.xlsx"};
  InitializeForm(app, form);
  EXPECT_EQ(form.ltbBiao.Items(), (std::vector<std::string>{"先有.xlsx", "b.xlsx", "a.xlsx"}));
}

TEST_F(InitializeFormTest, EmptyOrMissingFolderGivesAnEmptyList) {
  InitializeForm(app, form);
  EXPECT_EQ(form.ltbBiao.ListCount(), 0);

  HostFixture missing;
  missing.services.folders.clear();
  missing.dtb->SetCellValue(2, 3, 8);
  InitializeForm(missing.app, missing.form);
  EXPECT_EQ(missing.form.ltbBiao.ListCount(), 0);
  EXPECT_TRUE(missing.services.messages.empty());
  // The later steps still run.
  EXPECT_EQ(missing.form.txtFenBan.value, Value(8));
  EXPECT_TRUE(missing.form.resizable);
}

TEST_F(InitializeFormTest, LoadsTheSevenOptionsUnchanged) {
  dtb->SetCellValue(2, 3, 8);
  dtb->SetCellValue(2, 4, 20);
  dtb->SetCellValue(2, 5, 30);
  dtb->SetCellValue(2, 6, 3);
  dtb->SetCellValue(2, 7, Value::Boolean(true));
  dtb->SetCellValue(2, 8, Value::Boolean(false));
  dtb->SetCellValue(2, 9, Value::Boolean(true));
  InitializeForm(app, form);
  EXPECT_EQ(form.txtFenBan.value, Value(8));
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
  EXPECT_EQ(form.txtJiGe.value, Value(30));
  EXPECT_EQ(form.txtNMing.value, Value(3));
  EXPECT_EQ(form.chbXingBie.value, Value::Boolean(true));
  EXPECT_EQ(form.chbZuXiao.value, Value::Boolean(false));
  EXPECT_EQ(form.chbYingJie.value, Value::Boolean(true));
}

TEST_F(InitializeFormTest, CellsOfAnyKindArriveAsTheyAre) {
  dtb->SetCellValue(2, 3, "abc");
  dtb->SetCellValue(2, 4, 7.5);
  dtb->SetCellValue(2, 7, 1);
  // E2, F2, H2, I2 empty.
  form.txtJiGe.value = Value(99);
  form.chbZuXiao.value = Value::Boolean(true);
  InitializeForm(app, form);
  EXPECT_EQ(form.txtFenBan.value, Value("abc"));
  EXPECT_EQ(form.txtYouXiu.value, Value(7.5));
  EXPECT_EQ(form.txtJiGe.value, Value());
  EXPECT_EQ(form.txtNMing.value, Value());
  EXPECT_EQ(form.chbXingBie.value, Value(1));
  EXPECT_EQ(form.chbZuXiao.value, Value());
  // Nothing in the host workbook changed.
  EXPECT_EQ(dtb->CellValue(2, 3), Value("abc"));
  EXPECT_TRUE(dtb->CellValue(2, 5).IsEmpty());
}

TEST_F(InitializeFormTest, MissingSettingsSheetLeavesTheControlsAsDesigned) {
  HostFixture bare;
  bare.dtb->SetName("设置");
  bare.services.folders[testing::kDataFolder] = {"a.xlsx"};
  bare.form.txtFenBan.value = Value(5);
  bare.form.chbYingJie.value = Value::Boolean(true);
  InitializeForm(bare.app, bare.form);
  EXPECT_EQ(bare.form.txtFenBan.value, Value(5));
  EXPECT_EQ(bare.form.txtYouXiu.value, Value());
  EXPECT_EQ(bare.form.chbYingJie.value, Value::Boolean(true));
  EXPECT_EQ(bare.form.ltbBiao.ListCount(), 1);
  EXPECT_TRUE(bare.form.resizable);
  EXPECT_TRUE(bare.services.messages.empty());
}

TEST_F(InitializeFormTest, MakesTheFormResizableAndMinimisable) {
  form.caption = "分班";
  InitializeForm(app, form);
  EXPECT_TRUE(form.resizable);
  EXPECT_TRUE(form.minimisable);
}

TEST_F(InitializeFormTest, CaptionThatNamesNoWindowKeepsTheFixedBorder) {
  form.caption = "";
  InitializeForm(app, form);
  EXPECT_FALSE(form.resizable);
  EXPECT_FALSE(form.minimisable);
  EXPECT_TRUE(services.messages.empty());

  FormModel other;
  MakeFormResizable(other, "另一个窗口");
  EXPECT_FALSE(other.resizable);
  EXPECT_FALSE(other.minimisable);
  MakeFormResizable(other, other.caption);
  EXPECT_TRUE(other.resizable);
  EXPECT_TRUE(other.minimisable);
}

TEST_F(InitializeFormTest, ChangesNoWorkbookAndNoModuleState) {
  services.folders[testing::kDataFolder] = {"a.xlsx"};
  InitializeForm(app, form);
  EXPECT_EQ(app.WorkbookCount(), 1);
  EXPECT_TRUE(openedPaths.empty());
  EXPECT_TRUE(state.DataBookName.empty());
}

}  // namespace
}  // namespace fenban::form

namespace fenban::form {
namespace {

TEST_F(InitializeFormTest, LoadsTheRefineBoxFromColumnJ) {
  dtb->SetCellValue(2, 10, Value::Boolean(true));
  InitializeForm(app, form);
  EXPECT_EQ(form.chbYouHua.value, Value::Boolean(true));
}

TEST_F(InitializeFormTest, AHostWorkbookWithoutColumnJLeavesTheRefinementOff) {
  InitializeForm(app, form);
  EXPECT_TRUE(form.chbYouHua.value.IsEmpty());
  EXPECT_EQ(form.chbYouHua.value.ToDouble(), 0) << "an empty box reads as unticked";
}

}  // namespace
}  // namespace fenban::form
