// The program's session in process: choosing books and sheets, and saving
// two workbooks as one step.
#include "app/session.h"

#include <fstream>
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

// The save fails with an AppError of the given kind.
void ExpectSaveFails(Session& session, const std::vector<host::ModelWorkbook*>& books, app::ErrorKind kind) {
  try {
    session.Save(books);
    ADD_FAILURE() << "saved";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Kind(), kind) << error.what();
  }
}

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
  counts["txtFenBan"] = "3";
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
  ExpectSaveFails(session, {&session.HostBook(), &data}, app::ErrorKind::SaveFailed);
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
  ExpectSaveFails(session, {&session.DataBook(), &session.HostBook()}, app::ErrorKind::SaveFailed);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, AWorkbookOpenInASpreadsheetProgramIsRefusedAsSuch) {
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  std::ofstream(temp_.Path() / "数据" / ".~lock.示例.xlsx#") << "x";  // LibreOffice's lock file
  auto before = Snapshot(temp_.Path());
  ExpectSaveFails(session, {&session.HostBook(), &session.DataBook()}, app::ErrorKind::WorkbookOpen);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, SavingReturnsWhereEachBookWent) {
  DesktopServices services(5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  session.SetRounding(true);
  const std::vector<files::SaveResult> saved = session.Save({&session.HostBook(), &session.DataBook()});
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].path, (temp_.Path() / "fenban.xlsx").string());
  EXPECT_FALSE(saved[0].besideOriginal);
  const std::vector<std::string> expected = {"已保存 saved: " + (temp_.Path() / "fenban.xlsx").string(),
                                             "已保存 saved: " + (temp_.Path() / "数据" / "示例.xlsx").string()};
  EXPECT_EQ(app::SaveNotes(saved), expected);
  auto host = ReadBook(temp_.Path() / "fenban.xlsx");
  EXPECT_EQ(host->FindSheet("登记表")->CellValue(2, 3), host::Value("是"));
}

}  // namespace
}  // namespace fenban::clitest
