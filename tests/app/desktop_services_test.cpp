#include "app/desktop_services.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "cli/cli_test_support.h"
#include "host/constants.h"
#include "host/errors.h"

namespace fenban::app {
namespace {

using clitest::TempFolder;

void Touch(const std::filesystem::path& path) { std::ofstream(path) << "x"; }

TEST(DesktopServices, BoxesAndDocumentsAreRecordedNoticesAreNotCounted) {
  TempFolder folder;
  const std::string path = (folder.Path() / "help.doc").string();
  Touch(path);
  DesktopServices services;
  EXPECT_EQ(services.MsgBox("已完成", host::kMsgInformation, "提示"), 1);
  EXPECT_EQ(services.BoxCount(), 0) << "a notice leaves the command going";
  EXPECT_EQ(services.MsgBox("错误[13]\r类型不匹配", 16, "错误"), 1);
  EXPECT_EQ(services.BoxCount(), 1);
  ASSERT_EQ(services.Boxes().size(), 2u);
  EXPECT_EQ(services.Boxes()[1].title, "错误");
  EXPECT_EQ(services.Boxes()[1].text, "错误[13]\r类型不匹配");
  EXPECT_EQ(services.Boxes()[1].style, 16);
  services.OpenDocument(path);
  EXPECT_EQ(services.OpenedDocuments(), std::vector<std::string>{path});
}

TEST(DesktopServices, GivenSeedIsUsedEveryTime) {
  DesktopServices services(424242);
  EXPECT_FALSE(services.UsedSeed().has_value());
  EXPECT_EQ(services.RandomSeed(), 424242u);
  EXPECT_EQ(services.RandomSeed(), 424242u);
  EXPECT_EQ(services.UsedSeed(), 424242u);
}

TEST(DesktopServices, ClockSeedIsDrawnOnceAndRemembered) {
  DesktopServices services;
  uint64_t first = services.RandomSeed();
  EXPECT_EQ(services.RandomSeed(), first);
  ASSERT_TRUE(services.UsedSeed().has_value());
  EXPECT_EQ(*services.UsedSeed(), first);
}

TEST(DesktopServices, ShortDateIsTodayAsYearMonthDay) {
  DesktopServices services;
  std::string date = services.ShortDate();
  ASSERT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d{2}-\d{2})"))) << date;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  EXPECT_EQ(std::stoi(date.substr(0, 4)), local.tm_year + 1900);
  EXPECT_EQ(std::stoi(date.substr(5, 2)), local.tm_mon + 1);
}

TEST(DesktopServices, ListingHasRegularVisibleFilesInByteOrder) {
  TempFolder folder;
  const auto& dir = folder.Path();
  for (const char* name : {"b.xlsx", "a.xls", "Z.txt", "名单.xlsx", ".hidden.xlsx", "~$a.xlsx", ".~lock.b.xlsx#"}) {
    Touch(dir / name);
  }
  std::filesystem::create_directory(dir / "sub.xlsx");
  DesktopServices services;
  std::vector<std::string> expected = {"Z.txt", "a.xls", "b.xlsx", "名单.xlsx"};
  EXPECT_EQ(services.ListDirectory(dir.string()), expected);
}

TEST(DesktopServices, ListingAMissingFolderIsARunTimeError) {
  TempFolder folder;
  DesktopServices services;
  EXPECT_THROW(services.ListDirectory((folder.Path() / "missing").string()), host::RuntimeError);
}

TEST(DesktopServices, HiddenAndLockNames) {
  EXPECT_TRUE(IsHiddenOrLockFile(".x"));
  EXPECT_TRUE(IsHiddenOrLockFile("~$名单.xlsx"));
  EXPECT_TRUE(IsHiddenOrLockFile(".~lock.名单.xlsx#"));
  EXPECT_FALSE(IsHiddenOrLockFile("名单~$.xlsx"));
  EXPECT_FALSE(IsHiddenOrLockFile("a.xlsx"));
}

TEST(DesktopServices, OpeningAMissingDocumentRaisesFileNotFound) {
  TempFolder folder;
  DesktopServices services;
  std::string path = (folder.Path() / "help.doc").string();
  try {
    services.OpenDocument(path);
    FAIL() << "no error";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), 53);
    EXPECT_EQ(error.Description(), "文件未找到: " + path);
  }
}

}  // namespace
}  // namespace fenban::app
