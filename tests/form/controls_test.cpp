// The form model's controls.
#include <optional>
#include <gtest/gtest.h>

#include "form/form.h"
#include "host/errors.h"

namespace fenban::form {
namespace {

TEST(ListBoxTest, ValueFollowsTheChosenEntry) {
  ListBox list;
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_FALSE(list.Value().has_value());
  list.AddItem("a.xlsx");
  list.AddItem("b.xls");
  EXPECT_FALSE(list.Value().has_value());
  list.SetListIndex(1);
  EXPECT_EQ(list.ListIndex(), 1);
  ASSERT_TRUE(list.Value().has_value());
  EXPECT_EQ(*list.Value(), "b.xls");
  list.SetListIndex(0);
  EXPECT_EQ(*list.Value(), "a.xlsx");
  list.SetListIndex(-1);
  EXPECT_FALSE(list.Value().has_value());
}

TEST(ListBoxTest, PositionsOutsideTheListAreRefused) {
  ListBox list;
  list.AddItem("a.xlsx");
  list.SetListIndex(0);
  EXPECT_THROW(list.SetListIndex(1), host::RuntimeError);
  EXPECT_THROW(list.SetListIndex(-2), host::RuntimeError);
  EXPECT_EQ(list.ListIndex(), 0);  // a refused position changes nothing
  ListBox empty;
  EXPECT_THROW(empty.SetListIndex(0), host::RuntimeError);
}

TEST(FormTest, ControlsByName) {
  FormModel form;
  EXPECT_EQ(&form.Text("txtFenBan"), &form.txtFenBan);
  EXPECT_EQ(&form.Text("txtYouXiu"), &form.txtYouXiu);
  EXPECT_EQ(&form.Text("txtJiGe"), &form.txtJiGe);
  EXPECT_EQ(&form.Text("txtNMing"), &form.txtNMing);
  EXPECT_EQ(&form.Check("chbXingBie"), &form.chbXingBie);
  EXPECT_EQ(&form.Check("chbZuXiao"), &form.chbZuXiao);
  EXPECT_EQ(&form.Check("chbYingJie"), &form.chbYingJie);
}

TEST(FormTest, UnknownControlNamesRaise) {
  FormModel form;
  EXPECT_THROW(form.Text("txtfenban"), host::RuntimeError);
  EXPECT_THROW(form.Text("chbXingBie"), host::RuntimeError);
  EXPECT_THROW(form.Check("txtFenBan"), host::RuntimeError);
  EXPECT_THROW(form.Check(""), host::RuntimeError);
}

TEST(FormTest, TheInterfaceReachesEachControlOfTheModel) {
  FormModel model;
  Form& form = model;
  const char* texts[] = {"txtFenBan", "txtYouXiu", "txtJiGe", "txtNMing"};
  const char* checks[] = {"chbXingBie", "chbZuXiao", "chbYingJie"};
  int n = 1;
  for (const char* name : texts) form.SetControlValue(name, host::Value(n++));
  for (const char* name : checks) form.SetControlValue(name, host::Value::Boolean(true));
  EXPECT_EQ(model.txtFenBan.value, host::Value(1));
  EXPECT_EQ(model.txtYouXiu.value, host::Value(2));
  EXPECT_EQ(model.txtJiGe.value, host::Value(3));
  EXPECT_EQ(model.txtNMing.value, host::Value(4));
  model.chbZuXiao.value = host::Value::Boolean(false);
  EXPECT_EQ(form.ControlValue("chbXingBie"), host::Value::Boolean(true));
  EXPECT_EQ(form.ControlValue("chbZuXiao"), host::Value::Boolean(false));
  EXPECT_EQ(form.ControlValue("txtNMing"), host::Value(4));

  EXPECT_EQ(form.ListIndex("ltbBiao"), -1);
  EXPECT_FALSE(form.ListValue("ltbBiao").has_value());
  form.AddItem("ltbBiao", "a.xlsx");
  form.AddItem("ltbBiao", "b.xls");
  model.ltbBiao.SetListIndex(1);
  EXPECT_EQ(form.ListIndex("ltbBiao"), 1);
  EXPECT_EQ(form.ListValue("ltbBiao"), std::optional<std::string>("b.xls"));

  EXPECT_THROW(form.ControlValue("txtfenban"), host::RuntimeError);
  EXPECT_THROW(form.SetControlValue("chbFoo", host::Value(1)), host::RuntimeError);
  EXPECT_THROW(form.ListIndex("ltbbiao"), host::RuntimeError);
  EXPECT_THROW(form.AddItem("txtFenBan", "x"), host::RuntimeError);
}

TEST(FormTest, OnlyTheFormsOwnCaptionMakesItResizable) {
  FormModel model;
  Form& form = model;
  EXPECT_EQ(form.Caption(), "分班");
  form.MakeResizable("");
  form.MakeResizable("分班 ");
  EXPECT_FALSE(model.resizable || model.minimisable);
  form.MakeResizable(form.Caption());
  EXPECT_TRUE(model.resizable && model.minimisable);
}

// The description of the error TextBoxLong raises for the box ("" when none).
std::string ErrorOf(Form& form, const std::string& control, int32_t expectedNumber) {
  try {
    TextBoxLong(form, control);
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), expectedNumber);
    return error.Description();
  }
  ADD_FAILURE() << "no run-time error";
  return "";
}

TEST(TextBoxTest, ANumericBoxReadsAsALongAndNamesItselfWhenItCannot) {
  FormModel model;
  Form& form = model;
  form.SetControlValue("txtJiGe", host::Value("7.5"));
  EXPECT_EQ(TextBoxLong(form, "txtJiGe"), 8);
  form.SetControlValue("txtJiGe", host::Value(-2));
  EXPECT_EQ(TextBoxLong(form, "txtJiGe"), -2);

  // A text box holds text: an empty one is no number, unlike an empty cell.
  form.SetControlValue("txtFenBan", host::Value());
  EXPECT_EQ(ErrorOf(form, "txtFenBan", host::kErrTypeMismatch), "类型不匹配：文本框“班级数”（txtFenBan）是空的");
  form.SetControlValue("txtNMing", host::Value("三"));
  form.SetControlSource("txtNMing", "--top 三");
  EXPECT_EQ(ErrorOf(form, "txtNMing", host::kErrTypeMismatch),
            "类型不匹配：文本框“前N名”（txtNMing，来自 --top 三）的值“三”");
  form.SetControlValue("txtYouXiu", host::Value(1e20));
  form.SetControlSource("txtYouXiu", "DTB!D2");
  EXPECT_EQ(ErrorOf(form, "txtYouXiu", host::kErrOverflow),
            "溢出：文本框“优秀人数”（txtYouXiu，来自 DTB!D2）的值 100000000000000000000");
  // A new value forgets where the old one came from.
  form.SetControlValue("txtYouXiu", host::Value("x"));
  EXPECT_EQ(form.ControlSource("txtYouXiu"), "");
}

}  // namespace
}  // namespace fenban::form
