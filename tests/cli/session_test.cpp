// The program's session in process: choosing books and sheets, and saving
// two workbooks as one step.
#include "cli/session.h"

#include <sstream>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/terminal_services.h"
#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

using cli::CliError;
using cli::Session;
using cli::TerminalServices;

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
  TerminalServices services(out_, err_, 5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_EQ(session.Form().ltbBiao.ListCount(), 1);
  ASSERT_TRUE(session.SelectBook("数据/示例.xlsx")) << err_.str();
  EXPECT_EQ(session.Form().ltbBiao.ListIndex(), 0);
  EXPECT_EQ(session.DataBook().Name(), "示例.xlsx");
  cli::CountOptions counts;
  counts.classes = "3";
  ASSERT_TRUE(session.ApplyCounts(counts));
  EXPECT_EQ(session.Form().txtFenBan.value.ToDouble(), 3);
  // A command that ends with a message: cmdTiaoBanClick on the data sheet.
  EXPECT_FALSE(session.Fire("cmdTiaoBanClick"));
  EXPECT_EQ(services.BoxCount(), 1);
  EXPECT_NE(err_.str().find("提示: "), std::string::npos) << err_.str();
}

TEST_F(SessionTest, UnknownBooksAndSheetsAreProgramErrors) {
  TerminalServices services(out_, err_, std::nullopt);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  EXPECT_THROW(session.SelectBook("其他.xlsx"), CliError);
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  EXPECT_THROW(session.ActivateDataSheet("分班表1"), CliError);
  session.ActivateDataSheet("数据表");
  EXPECT_EQ(services.BoxCount(), 0);
}

TEST_F(SessionTest, WhenTheSecondSaveFailsTheFirstIsPutBack) {
  TerminalServices services(out_, err_, 5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("示例.xlsx"));
  ASSERT_TRUE(session.Fire("cmdFenBanClick")) << err_.str();
  auto before = Snapshot(temp_.Path());
  host::ModelWorkbook& data = session.DataBook();
  data.SetPath((temp_.Path() / "不存在").string());  // nowhere to write
  EXPECT_THROW(session.Save({&session.HostBook(), &data}, out_), CliError);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, AFileSavedBesideAnotherIsPutBackToo) {
  fs::path data = temp_.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "genuine.xls", data / "名单.xls");
  // An earlier result saved beside the .xls list.
  fs::copy_file(data / "示例.xlsx", data / "名单(fenban).xlsx");
  TerminalServices services(out_, err_, 5);
  Session session(temp_.Path(), services);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.SelectBook("名单.xls"));
  auto before = Snapshot(temp_.Path());
  session.HostBook().SetPath((temp_.Path() / "不存在").string());
  EXPECT_THROW(session.Save({&session.DataBook(), &session.HostBook()}, out_), CliError);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
}

TEST_F(SessionTest, SavingPrintsWhereEachBookWent) {
  TerminalServices services(out_, err_, 5);
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
