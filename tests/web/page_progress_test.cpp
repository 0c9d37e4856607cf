// The stage of a running command, as the page asks for it while it waits:
// answered at once during the command, from its own connection.
#include <set>

#include <gtest/gtest.h>

#include "web/web_test_support.h"

namespace fenban::web {
namespace {

using namespace webtest;

class PageProgressTest : public WebAppTest {
 protected:
  void SetUp() override {
    students_ = 3000;
    WebAppTest::SetUp();
  }
};

TEST_F(PageProgressTest, TheStagesOfADivisionAreShownWhileItRuns) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"4"})");
  PostJson("/api/option", R"({"control":"chbYouHua","value":true})");
  const json base = Base();
  std::atomic<bool> done = false;
  std::string answer;
  std::thread divide([&] {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(120, 0);
    auto result = client.Post("/api/divide", Token(), json({{"base", base}}).dump(), "application/json");
    answer = result ? result->body : "";
    done = true;
  });
  httplib::Client asker("127.0.0.1", port_);
  std::set<std::string> seen;
  bool figure = false;
  while (!done) {
    auto result = asker.Get("/api/progress", Token());
    ASSERT_TRUE(result);
    json progress = json::parse(result->body);
    const std::string text = progress["text"];
    if (progress["busy"].get<bool>() && !text.empty()) seen.insert(text.substr(0, text.find("…")));
    figure = figure || text.find("总分最大差") != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  divide.join();
  EXPECT_NE(json::parse(answer).value("sheet", ""), "") << answer;
  EXPECT_TRUE(seen.count("优化")) << "the refinement is seen";
  EXPECT_TRUE(figure) << "with its worst figure";
  for (const std::string& stage : seen) {
    EXPECT_TRUE(std::set<std::string>({"读取名单", "分班", "优化", "写入", "检查"}).count(stage)) << stage;
  }
  json after = json::parse(asker.Get("/api/progress", Token())->body);
  EXPECT_FALSE(after["busy"].get<bool>());
  EXPECT_EQ(after["text"], "");
}

}  // namespace
}  // namespace fenban::web
