// The program's session in process: choosing books and sheets, and saving
// two workbooks as one step.
#include "app/session.h"

#include <sstream>

#include <gtest/gtest.h>

#include "app/app_error.h"
#include "app/desktop_services.h"
#include "cli/cli_test_support.h"

namespace fenban::clitest {
namespace {

using app::AppError;
using app::Session;
using app::DesktopServices;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!BinaryAvailable()) GTEST_SKIP() << "fenban not built";
    InitWithExample(temp_.Path(), 30);
  }
  TempFolder temp_;
  std::ostringstream out_, err_;
};

TEST_F(SessionTest, EventsRunInOrderAndBoxesAreCounted) {
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_EQ(session.Form().ltbBiao.ListCount(), 1);
  ASSERT_TRUE(session.SelectBook("数据/示例.xlsx")) ;
  EXPECT_EQ(session.Form().ltbBiao.ListIndex(), 0);
  EXPECT_EQ(session.DataBook().Name(), "示例.xlsx");
  app::CountOptions counts;
  counts.classes = "3";
  ASSERT_TRUE(session.ApplyCounts(counts));
  EXPECT_EQ(session.Form().txtFenBan.value.ToDouble(), 3);
  // A command that ends with a message: cmdTiaoBanClick on the data sheet.
  EXPECT_FALSE(session.Fire("cmdTiaoBanClick"));
  EXPECT_EQ(services.BoxCount(), 1);
  ASSERT_EQ(services.Boxes().size(), 1u);
  EXPECT_EQ(services.Boxes()[0].title, "提示");
}

TEST_F(SessionTest, UnknownBooksAndSheetsAreProgramErrors) {
  DesktopServices services;
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  EXPECT_THROW(session.SelectBook("其他.xlsx"), AppError);
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  EXPECT_THROW(session.ActivateDataSheet("分班表1"), AppError);
  session.ActivateDataSheet("数据表");
  EXPECT_EQ(services.BoxCount(), 0);
}

TEST_F(SessionTest, WhenTheSecondSaveFailsTheFirstIsPutBack) {
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  ASSERT_TRUE(session.Fire("cmdFenBanClick")) ;
  auto before = Snapshot(temp_.Path());
  host::ModelWorkbook& data = session.DataBook();
  data.SetPath((temp_.Path() / "不存在").string());  // nowhere to write
  EXPECT_THROW(session.Save({&session.HostBook(), &data}, out_), AppError);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, AFileSavedBesideAnotherIsPutBackToo) {
  fs::path data = temp_.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "genuine.xls", data / "名单.xls");
  // An earlier result saved beside the .xls list.
  fs::copy_file(data / "示例.xlsx", data / "名单(fenban).xlsx");
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("名单.xls"));
  auto before = Snapshot(temp_.Path());
  session.HostBook().SetPath((temp_.Path() / "不存在").string());
  EXPECT_THROW(session.Save({&session.DataBook(), &session.HostBook()}, out_), AppError);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, SavingPrintsWhereEachBookWent) {
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  session.SetRounding(true);
  session.Save({&session.HostBook(), &session.DataBook()}, out_);
  EXPECT_NE(out_.str().find("已保存 saved: " + (temp_.Path() / "fenban.xlsx").string()), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("已保存 saved: " + (temp_.Path() / "数据" / "示例.xlsx").string()), std::string::npos)
      << out_.str();
  auto host = ReadBook(temp_.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("登记表")->CellValue(2, 3), host::Value("是"));
}

}  // namespace
}  // namespace fenban::clitest
