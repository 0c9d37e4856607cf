// The form model's controls.
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
  Form form;
  EXPECT_EQ(&form.Text("txtFenBan"), &form.txtFenBan);
  EXPECT_EQ(&form.Text("txtYouXiu"), &form.txtYouXiu);
  EXPECT_EQ(&form.Text("txtJiGe"), &form.txtJiGe);
  EXPECT_EQ(&form.Text("txtNMing"), &form.txtNMing);
  EXPECT_EQ(&form.Check("chbXingBie"), &form.chbXingBie);
  EXPECT_EQ(&form.Check("chbZuXiao"), &form.chbZuXiao);
  EXPECT_EQ(&form.Check("chbYingJie"), &form.chbYingJie);
}

TEST(FormTest, UnknownControlNamesRaise) {
  Form form;
  EXPECT_THROW(form.Text("txtfenban"), host::RuntimeError);
  EXPECT_THROW(form.Text("chbXingBie"), host::RuntimeError);
  EXPECT_THROW(form.Check("txtFenBan"), host::RuntimeError);
  EXPECT_THROW(form.Check(""), host::RuntimeError);
}

}  // namespace
}  // namespace fenban::form
