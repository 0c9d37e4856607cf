// MyFun: routing by exact event name, the one error box, alerts restored.
#include "bridge/myfb.h"

#include <gtest/gtest.h>

#include <cctype>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "form/host_fixture.h"

namespace fenban::bridge {
namespace {

using host::Value;
using testing::HostFixture;

const std::vector<std::string> kEventNames{
    "ltbBiaoClick",          "cmdFenBanClick",       "cmdTiaoBanClick",      "cmdDelClick",
    "cmdDengJiClick",        "chbXingBieAfterUpdate", "chbZuXiaoAfterUpdate", "chbYingJieAfterUpdate",
    "txtFenBanAfterUpdate",  "txtYouXiuAfterUpdate", "txtJiGeAfterUpdate",   "txtNMingAfterUpdate",
    "UserFormInitialize",    "cmdHelp"};

// A host where every one of the fourteen commands leaves a trace: a message
// or error box, a changed "DTB" cell, a list entry or an opened document.
class TracedHost : public HostFixture {
 public:
  TracedHost() {
    services.folders[testing::kDataFolder] = {"a.xlsx"};
    for (int32_t column = 3; column <= 9; ++column) dtb->SetCellValue(2, column, "旧");
    form.txtFenBan.value = Value(6);
    form.txtYouXiu.value = Value(10);
    form.txtJiGe.value = Value(10);
    form.txtNMing.value = Value(2);
    form.chbXingBie.value = Value::Boolean(true);
    form.chbZuXiao.value = Value::Boolean(true);
    form.chbYingJie.value = Value::Boolean(true);
  }

  // Anything the commands could have changed.
  bool Untouched() const {
    for (int32_t column = 3; column <= 9; ++column) {
      if (dtb->CellValue(2, column) != Value("旧")) return false;
    }
    return services.messages.empty() && services.beeps.empty() && services.openedDocuments.empty() &&
           form.ltbBiao.ListCount() == 0 && openedPaths.empty() && hostBook->SheetCount() == 1;
  }
};

TEST(MyFunTest, EveryEventNameRunsItsCommand) {
  for (const std::string& name : kEventNames) {
    TracedHost traced;
    myfb object;
    EXPECT_TRUE(object.MyFun(traced.app, traced.form, name).IsEmpty()) << name;
    EXPECT_FALSE(traced.Untouched()) << name;
    EXPECT_LE(traced.services.messages.size(), 1u) << name;
    EXPECT_TRUE(traced.app.DisplayAlerts()) << name;
    EXPECT_TRUE(traced.app.ScreenUpdating()) << name;
  }
}

TEST(MyFunTest, OtherNamesRunNothingAndStillRestoreTheApplication) {
  std::vector<std::string> others{"", " ", "cmdHelp ", "UserFormInitialize2", "cmd", "cmdFenBan"};
  for (const std::string& name : kEventNames) {
    std::string lower, upper;
    for (char c : name) {
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    others.push_back(lower);
    others.push_back(upper);
  }
  for (const std::string& name : others) {
    TracedHost traced;
    traced.app.SetDisplayAlerts(false);
    traced.app.SetScreenUpdating(false);
    myfb object;
    EXPECT_TRUE(object.MyFun(traced.app, traced.form, name).IsEmpty()) << name;
    EXPECT_TRUE(traced.Untouched()) << name;
    EXPECT_TRUE(traced.app.DisplayAlerts()) << name;
    EXPECT_TRUE(traced.app.ScreenUpdating()) << name;
  }
}

// Services that note the application's switches when a document is opened,
// and can fail in ways other than a run-time error.
class ProbingServices : public testing::RecordingServices {
 public:
  host::Application* app = nullptr;
  std::vector<std::pair<bool, bool>> switches;
  int failure = 0;  // 1 out of memory, 2 another exception
  void OpenDocument(const std::string& path) override {
    switches.emplace_back(app->DisplayAlerts(), app->ScreenUpdating());
    if (failure == 1) throw std::bad_alloc();
    if (failure == 2) throw std::logic_error("意外的故障");
    RecordingServices::OpenDocument(path);
  }
};

class MyFunHostTest : public ::testing::Test {
 protected:
  MyFunHostTest() : app(services) {
    services.app = &app;
    hostBook = &app.AddWorkbook(std::make_unique<host::ModelWorkbook>("fenban.xlsx", "/host"));
    hostBook->AppendSheet("DTB");
  }
  ProbingServices services;
  host::ModelApplication app;
  host::ModelWorkbook* hostBook = nullptr;
  form::FormModel form;
  myfb object;
};

TEST_F(MyFunHostTest, CommandsRunWithAlertsAndScreenUpdatingOff) {
  object.MyFun(app, form, "cmdHelp");
  EXPECT_EQ(services.switches, (std::vector<std::pair<bool, bool>>{{false, false}}));
  EXPECT_TRUE(app.DisplayAlerts());
  EXPECT_TRUE(app.ScreenUpdating());
}

TEST_F(MyFunHostTest, HelpTakesTheApplicationOnlyAndLeavesTheFormAlone) {
  form.caption = "";
  form.txtFenBan.value = Value("abc");
  form.ltbBiao.AddItem("a.xlsx");
  form.ltbBiao.SetListIndex(0);
  object.MyFun(app, form, "cmdHelp");
  object.MyFun(app, form, "cmdHelp");
  EXPECT_EQ(services.openedDocuments, (std::vector<std::string>{"/host/help.doc", "/host/help.doc"}));
  EXPECT_EQ(form.caption, "");
  EXPECT_EQ(form.txtFenBan.value, Value("abc"));
  EXPECT_EQ(form.ltbBiao.Items(), (std::vector<std::string>{"a.xlsx"}));
  EXPECT_EQ(form.ltbBiao.ListIndex(), 0);
  EXPECT_FALSE(form.resizable);
  EXPECT_TRUE(object.State().DataBookName.empty());
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(MyFunHostTest, AMissingHelpDocumentGivesOneErrorBox) {
  services.failOpenDocument = true;
  EXPECT_TRUE(object.MyFun(app, form, "cmdHelp").IsEmpty());
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].title, "错误");
  EXPECT_EQ(services.messages[0].style, 16);
  EXPECT_EQ(services.messages[0].prompt.rfind("错误[5174]\r", 0), 0u) << services.messages[0].prompt;
  EXPECT_TRUE(app.DisplayAlerts());
  EXPECT_TRUE(app.ScreenUpdating());
}

TEST_F(MyFunHostTest, ATypeMismatchShowsExactlyOneBox) {
  form.txtFenBan.value = Value("六");
  form.txtYouXiu.value = Value(10);
  EXPECT_TRUE(object.MyFun(app, form, "txtYouXiuAfterUpdate").IsEmpty());
  ASSERT_EQ(services.messages.size(), 1u);
  const testing::MessageRecord& box = services.messages[0];
  // The description names the box and what it holds.
  EXPECT_EQ(box.prompt, "错误[13]\r" + host::DefaultDescription(13) + "：文本框“班级数”（txtFenBan）的值“六”");
  EXPECT_EQ(box.style, 16);
  EXPECT_EQ(box.title, "错误");
  EXPECT_EQ(box.prompt.find('\n'), std::string::npos);
  EXPECT_TRUE(app.DisplayAlerts());
  EXPECT_TRUE(app.ScreenUpdating());
  EXPECT_TRUE(hostBook->SheetAt(1).CellValue(2, 4).IsEmpty());
}

TEST_F(MyFunHostTest, ClickingWithoutAChoiceIsAnInvalidUseOfNull) {
  object.MyFun(app, form, "ltbBiaoClick");
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "错误[94]\r" + host::DefaultDescription(94));
}

TEST_F(MyFunHostTest, OtherFailuresAreShownAsRunTimeErrors) {
  services.failure = 1;
  EXPECT_TRUE(object.MyFun(app, form, "cmdHelp").IsEmpty());
  services.failure = 2;
  EXPECT_TRUE(object.MyFun(app, form, "cmdHelp").IsEmpty());
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_EQ(services.messages[0].prompt, "错误[7]\r内存不足");
  EXPECT_EQ(services.messages[1].prompt, "错误[1004]\r意外的故障");
  EXPECT_TRUE(app.DisplayAlerts());
  EXPECT_TRUE(app.ScreenUpdating());
}

TEST(ErrorBoxTest, PromptStyleAndTitle) {
  testing::RecordingServices services;
  host::ModelApplication app(services);
  ErrorBox(app, 11, "除数为零");
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "错误[11]\r除数为零");
  EXPECT_EQ(services.messages[0].style, 16);
  EXPECT_EQ(services.messages[0].title, "错误");
}

TEST(MyFunStateTest, TheChosenWorkbookCarriesFromOneEventToTheNext) {
  HostFixture fixture;
  fixture.AddDataFile("a.xlsx", {{{"数据表", {{"姓名", "总分"}, {"张三", 500}}}, {"分班表2", {{"x"}}},
                               {"统计表2", {{"x"}}}, {"分班表1", {{"x"}}}},
                              4});
  fixture.dtb->SetCellValue(2, 1, 3);
  fixture.dtb->SetCellValue(2, 2, 0);
  myfb object;
  object.MyFun(fixture.app, fixture.form, "UserFormInitialize");
  ASSERT_EQ(fixture.form.ltbBiao.ListCount(), 1);
  fixture.form.ltbBiao.SetListIndex(0);
  object.MyFun(fixture.app, fixture.form, "ltbBiaoClick");
  EXPECT_EQ(object.State().DataBookName, "a.xlsx");
  EXPECT_EQ(object.State().NextSheetNo, 3);
  fixture.Book("a.xlsx")->SheetAt(2).Activate();
  object.MyFun(fixture.app, fixture.form, "cmdDelClick");
  EXPECT_TRUE(fixture.services.messages.empty());
  EXPECT_EQ(object.State().NextSheetNo, 1);
  EXPECT_EQ(object.State().SkipSheetNo, 2);
  EXPECT_EQ(fixture.Book("a.xlsx")->SheetCount(), 3);
  EXPECT_EQ(fixture.dtb->CellValue(2, 2), Value(2));
}

}  // namespace
}  // namespace fenban::bridge
