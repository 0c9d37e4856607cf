// Option fields: check boxes stored as they are, numeric boxes validated,
// capped by the data sheet and stored in "DTB" row 2.
#include <gtest/gtest.h>

#include "form/balance_columns.h"
#include "form/form_routines.h"
#include "form/host_fixture.h"
#include "support/error_number.h"

namespace fenban::form {
namespace {

using host::Value;
using testing::DataBookFile;
using testing::ErrorNumber;
using testing::HostFixture;

// A data sheet with a header row and `students` student rows.
DataBookFile DataSheetWithRows(int32_t students) {
  testing::Rows rows{{"姓名", "总分"}};
  for (int32_t i = 1; i <= students; ++i) rows.push_back({"学生" + std::to_string(i), 600 - i});
  return {{{"数据表", rows}}, 1};
}

class OptionFieldsTest : public ::testing::Test, public HostFixture {
 protected:
  // Opens a data workbook with `students` students and chooses it.
  void ChooseDataSheet(int32_t students) {
    AddOpenBook("a.xlsx", DataSheetWithRows(students));
    state.DataBookName = "a.xlsx";
  }
};

TEST_F(OptionFieldsTest, CheckBoxesAreStoredAsTheyAre) {
  form.chbZuXiao.value = Value::Boolean(true);
  SaveCheckOption(app, form, "chbZuXiaoAfterUpdate");
  EXPECT_EQ(dtb->CellValue(2, 8), Value::Boolean(true));
  form.chbZuXiao.value = Value::Boolean(false);
  SaveCheckOption(app, form, "chbZuXiaoAfterUpdate");
  EXPECT_EQ(dtb->CellValue(2, 8), Value::Boolean(false));

  form.chbXingBie.value = Value::Boolean(true);
  form.chbYingJie.value = Value();
  SaveCheckOption(app, form, "chbXingBieAfterUpdate");
  SaveCheckOption(app, form, "chbYingJieAfterUpdate");
  EXPECT_EQ(dtb->CellValue(2, 7), Value::Boolean(true));
  EXPECT_TRUE(dtb->CellValue(2, 9).IsEmpty());
}

TEST_F(OptionFieldsTest, OtherEventNamesStoreNothing) {
  form.chbXingBie.value = Value::Boolean(true);
  dtb->SetCellValue(2, 7, "旧");
  SaveCheckOption(app, form, "chbxingbieAfterUpdate");
  SaveCheckOption(app, form, "chbXingBie");
  SaveCheckOption(app, form, "");
  EXPECT_EQ(dtb->CellValue(2, 7), Value("旧"));
  for (int32_t column = 8; column <= 9; ++column) EXPECT_TRUE(dtb->CellValue(2, column).IsEmpty());
}

TEST_F(OptionFieldsTest, WithoutDataWorkbookTheEntryIsDiscarded) {
  dtb->SetCellValue(2, 3, 8);
  form.txtFenBan.value = Value(12);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(8));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(8));
}

TEST_F(OptionFieldsTest, WithoutDataWorkbookTextGivesTheDefault) {
  dtb->SetCellValue(2, 3, 8);
  form.txtFenBan.value = Value("abc");
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(10));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(10));
  EXPECT_TRUE(dtb->CellValue(2, 3).IsNumber());
}

TEST_F(OptionFieldsTest, WithoutDataWorkbookAnEmptyStoredValueBecomesTheDefault) {
  form.txtFenBan.value = Value(6);
  form.txtYouXiu.value = Value(15);
  form.txtNMing.value = Value(4);
  ExcellentAfterUpdate(app, form, state);
  TopNAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));  // stored empty = 0 -> default
  EXPECT_EQ(dtb->CellValue(2, 4), Value(20));
  EXPECT_EQ(form.txtNMing.value, Value(0));     // zero stays zero for top-N
  EXPECT_EQ(dtb->CellValue(2, 6), Value(0));
}

TEST_F(OptionFieldsTest, WithoutDataWorkbookAStoredTextIsATypeMismatch) {
  dtb->SetCellValue(2, 5, "很多");
  form.txtFenBan.value = Value(6);
  form.txtJiGe.value = Value(10);
  EXPECT_EQ(ErrorNumber([&] { PassAfterUpdate(app, form, state); }), host::kErrTypeMismatch);
  EXPECT_EQ(form.txtJiGe.value, Value(10));
}

TEST_F(OptionFieldsTest, QuotasAreCappedByRowsPerClass) {
  ChooseDataSheet(300);  // 301 rows with the header
  form.txtFenBan.value = Value(6);
  form.txtYouXiu.value = Value(80);
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(50));
  EXPECT_EQ(dtb->CellValue(2, 4), Value(50));

  form.txtYouXiu.value = Value(40);
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(40));
  EXPECT_EQ(dtb->CellValue(2, 4), Value(40));

  form.txtNMing.value = Value(0);
  TopNAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtNMing.value, Value(0));
  EXPECT_EQ(dtb->CellValue(2, 6), Value(0));

  form.txtJiGe.value = Value(0);
  PassAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtJiGe.value, Value(30));
  EXPECT_EQ(dtb->CellValue(2, 5), Value(30));

  form.txtJiGe.value = Value(51);
  PassAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtJiGe.value, Value(50));
}

TEST_F(OptionFieldsTest, TheCapMayItselfBeZeroAndThenTheZeroRuleApplies) {
  ChooseDataSheet(3);  // 4 rows; 4 \ 6 = 0
  form.txtFenBan.value = Value(6);
  form.txtYouXiu.value = Value(5);
  form.txtNMing.value = Value(5);
  ExcellentAfterUpdate(app, form, state);
  TopNAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
  EXPECT_EQ(form.txtNMing.value, Value(0));
}

TEST_F(OptionFieldsTest, TooFewRowsShrinkTheClassCount) {
  ChooseDataSheet(4);  // 5 rows
  form.txtFenBan.value = Value(8);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(3));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(3));

  form.txtFenBan.value = Value(5);  // 5 \ 5 = 1: the entry stands
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(5));

  form.txtFenBan.value = Value(0);  // divisor 10 -> 5 \ 10 = 0 -> 3
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(3));
}

TEST_F(OptionFieldsTest, ClassCountIsNotCappedByRows) {
  ChooseDataSheet(300);
  form.txtFenBan.value = Value(200);  // 301 \ 200 = 1, no cap
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(200));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(200));
}

TEST_F(OptionFieldsTest, TwoRowsGiveZeroAndThenTheDefault) {
  ChooseDataSheet(1);  // 2 rows
  form.txtFenBan.value = Value(4);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(10));
}

TEST_F(OptionFieldsTest, AHeaderOnlySheetNeverGivesANegativeClassCount) {
  ChooseDataSheet(0);  // the header row alone
  form.txtFenBan.value = Value(4);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(10));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(10));
}

TEST_F(OptionFieldsTest, EntriesBecomeWholeNumbersFirst) {
  ChooseDataSheet(300);
  form.txtFenBan.value = Value(7.9);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(7));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(7));

  form.txtYouXiu.value = Value("7.9");
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(7));

  form.txtJiGe.value = Value(-3);
  PassAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtJiGe.value, Value(3));

  form.txtNMing.value = Value(-0.5);  // whole part 0, top-N keeps 0
  TopNAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtNMing.value, Value(0));

  form.txtYouXiu.value = Value(0.9);  // whole part 0 -> default, then stored unchanged
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
}

TEST_F(OptionFieldsTest, NegativeClassCountUsesItsAbsoluteValueAsDivisor) {
  ChooseDataSheet(9);  // 10 rows; |-4| = 4 -> 10 \ 4 = 2, stands
  form.txtFenBan.value = Value(-4);
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(4));
  form.txtFenBan.value = Value(-11);  // 10 \ 11 = 0 -> 8
  ClassCountAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtFenBan.value, Value(8));
}

TEST_F(OptionFieldsTest, NonNumericEntriesGiveTheirDefaults) {
  ChooseDataSheet(300);
  form.txtFenBan.value = Value(6);
  form.txtYouXiu.value = Value("abc");
  form.txtJiGe.value = Value();
  form.txtNMing.value = Value("");
  ExcellentAfterUpdate(app, form, state);
  PassAfterUpdate(app, form, state);
  TopNAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
  EXPECT_EQ(form.txtJiGe.value, Value(30));
  EXPECT_EQ(form.txtNMing.value, Value(3));
  EXPECT_EQ(dtb->CellValue(2, 4), Value(20));
  EXPECT_EQ(dtb->CellValue(2, 5), Value(30));
  EXPECT_EQ(dtb->CellValue(2, 6), Value(3));
}

TEST_F(OptionFieldsTest, DefaultsAreNotCapped) {
  ChooseDataSheet(20);  // 21 rows, 21 \ 6 = 3 < 20
  form.txtFenBan.value = Value(6);
  form.txtYouXiu.value = Value("abc");
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
}

TEST_F(OptionFieldsTest, QuotasNeedANumericClassCount) {
  for (bool withData : {false, true}) {
    HostFixture fixture;
    if (withData) {
      fixture.AddOpenBook("a.xlsx", DataSheetWithRows(30));
      fixture.state.DataBookName = "a.xlsx";
    }
    fixture.dtb->SetCellValue(2, 4, 5);
    for (const Value& classCount : {Value(), Value(""), Value("六")}) {
      fixture.form.txtFenBan.value = classCount;
      fixture.form.txtYouXiu.value = Value(10);
      EXPECT_EQ(ErrorNumber([&] { ExcellentAfterUpdate(fixture.app, fixture.form, fixture.state); }),
                host::kErrTypeMismatch);
      EXPECT_EQ(ErrorNumber([&] { PassAfterUpdate(fixture.app, fixture.form, fixture.state); }), host::kErrTypeMismatch);
      EXPECT_EQ(ErrorNumber([&] { TopNAfterUpdate(fixture.app, fixture.form, fixture.state); }), host::kErrTypeMismatch);
      EXPECT_EQ(fixture.form.txtYouXiu.value, Value(10));
      EXPECT_EQ(fixture.dtb->CellValue(2, 4), Value(5));
    }
  }
}

TEST_F(OptionFieldsTest, ZeroClassCountWithDataIsADivisionByZero) {
  ChooseDataSheet(30);
  dtb->SetCellValue(2, 4, 5);
  form.txtFenBan.value = Value(0);
  form.txtYouXiu.value = Value(10);
  EXPECT_EQ(ErrorNumber([&] { ExcellentAfterUpdate(app, form, state); }), host::kErrDivisionByZero);
  EXPECT_EQ(form.txtYouXiu.value, Value(10));
  EXPECT_EQ(dtb->CellValue(2, 4), Value(5));
  // A non-numeric entry never reaches the division.
  form.txtYouXiu.value = Value("x");
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(20));
}

TEST_F(OptionFieldsTest, TheClassCountDivisorRoundsToNearest) {
  ChooseDataSheet(29);  // 30 rows
  form.txtFenBan.value = Value("4.5");  // rounds half to even: 4 -> 30 \ 4 = 7
  form.txtYouXiu.value = Value(9);
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(7));
  form.txtFenBan.value = Value(5.6);  // 6 -> 30 \ 6 = 5
  form.txtYouXiu.value = Value(9);
  ExcellentAfterUpdate(app, form, state);
  EXPECT_EQ(form.txtYouXiu.value, Value(5));
}

TEST_F(OptionFieldsTest, AChosenWorkbookThatIsGoneIsTheHostsError) {
  state.DataBookName = "已关闭.xlsx";
  form.txtFenBan.value = Value(6);
  dtb->SetCellValue(2, 3, 8);
  EXPECT_EQ(ErrorNumber([&] { ClassCountAfterUpdate(app, form, state); }), host::kErrSubscript);
  EXPECT_EQ(form.txtFenBan.value, Value(6));
  EXPECT_EQ(dtb->CellValue(2, 3), Value(8));

  AddOpenBook("无数据表.xlsx", {{{"Sheet1", {{"x"}}}}, 1});
  state.DataBookName = "无数据表.xlsx";
  EXPECT_EQ(ErrorNumber([&] { ClassCountAfterUpdate(app, form, state); }), host::kErrSubscript);
}

TEST_F(OptionFieldsTest, ValidateCountOptionCanBeCalledDirectly) {
  ChooseDataSheet(300);
  form.txtJiGe.value = Value(70);
  ValidateCountOption(app, state, form, "txtJiGe", 3, 5, 30, true, true);  // 301 \ 3 = 100
  EXPECT_EQ(form.txtJiGe.value, Value(70));
  EXPECT_EQ(dtb->CellValue(2, 5), Value(70));
  ValidateCountOption(app, state, form, "txtJiGe", 7, 5, 30, true, true);  // 301 \ 7 = 43
  EXPECT_EQ(form.txtJiGe.value, Value(43));
  EXPECT_EQ(ErrorNumber([&] { ValidateCountOption(app, state, form, "txtJiGe", 0, 3, 10, true, false); }),
            host::kErrDivisionByZero);
}

}  // namespace
}  // namespace fenban::form

namespace fenban::form {
namespace {

TEST_F(OptionFieldsTest, TheRefineBoxIsStoredInColumnJAsItIs) {
  form.chbYouHua.value = Value::Boolean(true);
  SaveCheckOption(app, form, "chbYouHuaAfterUpdate");
  EXPECT_EQ(dtb->CellValue(2, 10), Value::Boolean(true));
  form.chbYouHua.value = Value::Boolean(false);
  SaveCheckOption(app, form, "chbYouHuaAfterUpdate");
  EXPECT_EQ(dtb->CellValue(2, 10), Value::Boolean(false));
  for (int32_t column = 7; column <= 9; ++column) EXPECT_TRUE(dtb->CellValue(2, column).IsEmpty());
  SaveCheckOption(app, form, "chbYouHua");
  EXPECT_EQ(dtb->CellValue(2, 10), Value::Boolean(false)) << "only the after-update event stores";
}

}  // namespace
}  // namespace fenban::form

namespace fenban::form {
namespace {

TEST(BalanceColumnNames, CommasChineseCommasAndEnumerationCommasSeparateTrimmedNamesOnce) {
  EXPECT_EQ(SplitColumnNames("毕业学校,原班级"), (std::vector<std::string>{"毕业学校", "原班级"}));
  EXPECT_EQ(SplitColumnNames(" 毕业学校 ，原班级、　籍贯；毕业学校;,"),
            (std::vector<std::string>{"毕业学校", "原班级", "籍贯"}));
  EXPECT_EQ(SplitColumnNames("选科 组合"), (std::vector<std::string>{"选科 组合"})) << "a space inside a name stays";
  EXPECT_TRUE(SplitColumnNames(" ，、 ").empty());
  EXPECT_EQ(JoinColumnNames({"毕业学校", "原班级"}), "毕业学校、原班级");
}

TEST_F(OptionFieldsTest, TheBalanceColumnsAreStoredInColumnKAsTheFormShowsThem) {
  form.txtJunHeng.value = Value("毕业学校, 原班级,");
  BalanceColumnsAfterUpdate(app, form);
  EXPECT_EQ(form.txtJunHeng.value, Value("毕业学校、原班级"));
  EXPECT_EQ(dtb->CellValue(2, 11), Value("毕业学校、原班级"));
  for (int32_t column = 3; column <= 10; ++column) EXPECT_TRUE(dtb->CellValue(2, column).IsEmpty());

  form.txtJunHeng.value = Value(" ， ");
  BalanceColumnsAfterUpdate(app, form);
  EXPECT_TRUE(dtb->CellValue(2, 11).IsEmpty()) << "no names: the option is off";

  // Start-up shows the stored names; an old host workbook without them shows none.
  dtb->SetCellValue(2, 11, Value("原班级"));
  FormModel shown;
  InitializeForm(app, shown);
  EXPECT_EQ(shown.txtJunHeng.value, Value("原班级"));
  EXPECT_EQ(BalanceColumnsOption(app, shown), (std::vector<std::string>{"原班级"}));
  dtb->SetCellValue(2, 11, Value());
  FormModel old;
  InitializeForm(app, old);
  EXPECT_TRUE(BalanceColumnsOption(app, old).empty());
}

// A form made before the option, without the box: the commands read "DTB" K2.
class FormWithoutBalanceBox : public FormModel {
 public:
  host::Value ControlValue(const std::string& control) override {
    if (control == "txtJunHeng") host::Raise(host::kErrHost, "窗体上没有名为 txtJunHeng 的文本框");
    return FormModel::ControlValue(control);
  }
};

TEST_F(OptionFieldsTest, AFormWithoutTheBalanceBoxUsesTheStoredNames) {
  dtb->SetCellValue(2, 11, Value("毕业学校，原班级"));
  FormWithoutBalanceBox older;
  EXPECT_EQ(BalanceColumnsOption(app, older), (std::vector<std::string>{"毕业学校", "原班级"}));
}

}  // namespace
}  // namespace fenban::form
