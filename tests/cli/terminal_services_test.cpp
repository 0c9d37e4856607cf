#include "cli/terminal_services.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
