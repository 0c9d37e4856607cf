// The progress line of long work: drawn in place on a terminal once a run
// has taken a second, never on anything else; and the real program shows it
// on a terminal (a pseudo-terminal made by script(1)) but not in a pipe.
#include "app/progress_line.h"

#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::app {
namespace {

using namespace std::chrono_literals;
using Time = std::chrono::steady_clock::time_point;

class ProgressLineTest : public ::testing::Test {
 protected:
  ProgressLine::Clock Clock() {
    return [this] { return now_; };
  }
  Time now_ = Time(100s);
  std::ostringstream err_;
};

TEST_F(ProgressLineTest, ATerminalShowsTheStageInPlaceOnceARunHasTakenASecond) {
  ProgressLine line(err_, true, false, Clock());
  line.Stage(host::WorkStage::Reading);
  now_ += 900ms;
  line.Tick();
  EXPECT_EQ(err_.str(), "") << "a run that ends within the first second shows nothing";
  line.Stage(host::WorkStage::Dividing);
  now_ += 200ms;
  line.Tick();
  EXPECT_EQ(err_.str(), "\r分班… 1 秒\x1b[K");
  line.Tick();
  EXPECT_EQ(err_.str(), "\r分班… 1 秒\x1b[K") << "the same text is not drawn again";

  err_.str("");
  line.Stage(host::WorkStage::Refining);
  line.Figure("总分", 3.24);
  now_ += 1s;
  line.Tick();
  EXPECT_EQ(err_.str(), "\r优化… 总分最大差 3.2 2 秒\x1b[K");
  line.Figure("总分", 1.01);
  line.Tick();
  EXPECT_EQ(err_.str(), "\r优化… 总分最大差 3.2 2 秒\x1b[K\r优化… 总分最大差 1.0 2 秒\x1b[K");

  err_.str("");
  line.Done();
  EXPECT_EQ(err_.str(), "\r\x1b[K") << "the line is taken away before other text";
  now_ += 1s;
  line.Tick();
  EXPECT_EQ(err_.str(), "\r\x1b[K") << "nothing more until the next stage";
  line.Stage(host::WorkStage::Checking);
  line.Tick();
  EXPECT_EQ(err_.str(), "\r\x1b[K\r检查… 3 秒\x1b[K");
}

TEST_F(ProgressLineTest, NothingIsWrittenWhenStandardErrorIsNotATerminal) {
  {
    ProgressLine line(err_, false, true, Clock());
    for (host::WorkStage stage : {host::WorkStage::Reading, host::WorkStage::Dividing, host::WorkStage::Refining}) {
      line.Stage(stage);
      line.Figure("总分", 2);
      now_ += 2s;
      line.Tick();
    }
    line.Done();
  }
  EXPECT_EQ(err_.str(), "");
}

// The program run in a pseudo-terminal (both streams on it) and in pipes,
// dividing a list large enough to take more than a second.
TEST(ProgressLineProgram, ShownOnATerminalNeverInAPipe) {
  if (!clitest::BinaryAvailable()) GTEST_SKIP() << "fenban binary not built";
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) not installed";
  clitest::TempFolder temp;
  const auto folder = temp.Path();
  clitest::InitWithExample(folder, 8000);
  const std::vector<std::string> divide = {"divide", "示例.xlsx", "--classes", "2", "--refine"};

  const clitest::RunResult piped = clitest::RunFenban(folder, divide);
  ASSERT_EQ(piped.status, 0) << clitest::Printed(piped);
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find("秒"), std::string::npos) << piped.err;

  std::string command = "cd '" + folder.string() + "' && script -qec '" + clitest::kBinary;
  for (const std::string& arg : divide) command += " " + arg;
  command += "' /dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string shown;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) shown.append(buffer, got);
  ASSERT_EQ(::pclose(pipe), 0) << shown;
  // Whether a stage lasts past the first quiet second, and so is drawn at all,
  // depends on the machine's speed and load; the drawing itself is checked
  // with an injected clock above. On a terminal, whatever was drawn is taken
  // away before the program's own output goes on, so no line is left behind.
  const size_t drawn = shown.rfind("秒\x1b[K");
  if (drawn != std::string::npos) {
    EXPECT_NE(shown.find("\r\x1b[K", drawn), std::string::npos) << "the line is taken away at the end: " << shown;
  }
}

}  // namespace
}  // namespace fenban::app
