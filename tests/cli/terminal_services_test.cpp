#include "cli/terminal_services.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "cli_test_support.h"
#include "host/errors.h"

namespace fenban::cli {
namespace {

using clitest::TempFolder;

void Touch(const std::filesystem::path& path) { std::ofstream(path) << "x"; }

TEST(TerminalServices, MessageBoxIsOneLineOnStandardError) {
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  EXPECT_EQ(services.BoxCount(), 0);
  EXPECT_EQ(services.MsgBox("错误[13]\r类型不匹配", 16, "错误"), 1);
  EXPECT_EQ(services.MsgBox("应选择数据表！", 0, "提示"), 1);
  EXPECT_EQ(err.str(), "错误: 错误[13] 类型不匹配\n提示: 应选择数据表！\n");
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(services.BoxCount(), 2);
}

TEST(TerminalServices, CarriageReturnsBecomeSpaces) {
  EXPECT_EQ(BoxTextForTerminal("a\rb\r\nc\nd"), "a b c\nd");
  EXPECT_EQ(BoxTextForTerminal("plain"), "plain");
}

TEST(TerminalServices, BeepRingsTheBellOnlyOnATerminal) {
  std::ostringstream out, err;
  TerminalServices terminal(out, err, std::nullopt, true);
  terminal.Beep(360, 36);
  EXPECT_EQ(err.str(), "\a");
  EXPECT_EQ(out.str(), "") << "nothing printed on standard output";
  std::ostringstream fileOut, fileErr;
  TerminalServices file(fileOut, fileErr, std::nullopt, false);
  file.Beep(360, 36);
  EXPECT_EQ(fileErr.str(), "");
  EXPECT_EQ(fileOut.str(), "");
}

TEST(TerminalServices, GivenSeedIsUsedEveryTime) {
  std::ostringstream out, err;
  TerminalServices services(out, err, 424242);
  EXPECT_FALSE(services.UsedSeed().has_value());
  EXPECT_EQ(services.RandomSeed(), 424242u);
  EXPECT_EQ(services.RandomSeed(), 424242u);
  EXPECT_EQ(services.UsedSeed(), 424242u);
}

TEST(TerminalServices, ClockSeedIsDrawnOnceAndRemembered) {
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  uint64_t first = services.RandomSeed();
  EXPECT_EQ(services.RandomSeed(), first);
  ASSERT_TRUE(services.UsedSeed().has_value());
  EXPECT_EQ(*services.UsedSeed(), first);
}

TEST(TerminalServices, ShortDateIsTodayAsYearMonthDay) {
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  std::string date = services.ShortDate();
  ASSERT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d{2}-\d{2})"))) << date;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  EXPECT_EQ(std::stoi(date.substr(0, 4)), local.tm_year + 1900);
  EXPECT_EQ(std::stoi(date.substr(5, 2)), local.tm_mon + 1);
}

TEST(TerminalServices, ListingHasRegularVisibleFilesInByteOrder) {
  TempFolder folder;
  const auto& dir = folder.Path();
  for (const char* name : {"b.xlsx", "a.xls", "Z.txt", "名单.xlsx", ".hidden.xlsx", "~$a.xlsx", ".~lock.b.xlsx#"}) {
    Touch(dir / name);
  }
  std::filesystem::create_directory(dir / "sub.xlsx");
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  std::vector<std::string> expected = {"Z.txt", "a.xls", "b.xlsx", "名单.xlsx"};
  EXPECT_EQ(services.ListDirectory(dir.string()), expected);
}

TEST(TerminalServices, ListingAMissingFolderIsARunTimeError) {
  TempFolder folder;
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  EXPECT_THROW(services.ListDirectory((folder.Path() / "missing").string()), host::RuntimeError);
}

TEST(TerminalServices, HiddenAndLockNames) {
  EXPECT_TRUE(IsHiddenOrLockFile(".x"));
  EXPECT_TRUE(IsHiddenOrLockFile("~$名单.xlsx"));
  EXPECT_TRUE(IsHiddenOrLockFile(".~lock.名单.xlsx#"));
  EXPECT_FALSE(IsHiddenOrLockFile("名单~$.xlsx"));
  EXPECT_FALSE(IsHiddenOrLockFile("a.xlsx"));
}

TEST(TerminalServices, OpeningAMissingDocumentRaisesFileNotFound) {
  TempFolder folder;
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  std::string path = (folder.Path() / "help.doc").string();
  try {
    services.OpenDocument(path);
    FAIL() << "no error";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), 53);
    EXPECT_EQ(error.Description(), "文件未找到: " + path);
  }
}

TEST(TerminalServices, WithoutADesktopTheDocumentPathIsPrinted) {
  TempFolder folder;
  std::string path = (folder.Path() / "help.doc").string();
  Touch(path);
  std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  std::string wayland = std::getenv("WAYLAND_DISPLAY") != nullptr ? std::getenv("WAYLAND_DISPLAY") : "";
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  std::ostringstream out, err;
  TerminalServices services(out, err, std::nullopt);
  services.OpenDocument(path);
  if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) ::setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
  EXPECT_NE(out.str().find(path), std::string::npos) << out.str();
}

}  // namespace
}  // namespace fenban::cli
