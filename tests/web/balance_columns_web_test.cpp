// The "均衡列" field of the page: stored as the form shows it, and its table
// below the statistics in the grid the page draws after a division.
#include <gtest/gtest.h>

#include "web/web_test_support.h"

namespace fenban::web {
namespace {

using namespace webtest;

class BalanceColumnsWebTest : public WebAppTest {};

TEST_F(BalanceColumnsWebTest, TheFieldIsStoredAndItsTableIsShownBelowTheStatistics) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  json answer = json::parse(PostJson("/api/option", R"({"control":"txtJunHeng","value":" 住校 ，应届、"})")->body);
  ASSERT_TRUE(answer["ok"].get<bool>()) << answer.dump();
  EXPECT_EQ(answer["state"]["options"]["txtJunHeng"], "住校、应届");
  const auto host = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  EXPECT_EQ(host->FindSheet("DTB")->CellValue(2, 11), host::Value("住校、应届"));

  Divide();
  std::vector<int32_t> titleRows;
  const json view = View();
  for (const json& row : view["statistics"]["rows"]) {
    const std::string first = row["cells"][0]["text"];
    if (first == "住校人数统计" || first == "应届人数统计") titleRows.push_back(row["row"]);
  }
  // Three classes: the last of the sheet's tables ends in row 3 × 3 + 11.
  EXPECT_EQ(titleRows, (std::vector<int32_t>{22, 29}));
}

}  // namespace
}  // namespace fenban::web
