// The page's way with lists: an upload under a name the folder has already
// asks before it replaces the file (which is kept as a version), a list can
// be removed into the history, a new upload is chosen at once, CSV uploads
// become workbooks, and a list with title rows is divided once the page has
// confirmed the header row the server found.
#include <gtest/gtest.h>

#include <fstream>

#include "app/workbook_history.h"
#include "web_test_support.h"

namespace fenban::web {
namespace {

using nlohmann::json;
using namespace webtest;

class SchoolListsWebTest : public WebAppTest {
 protected:
  httplib::Result UploadReplacing(const std::string& name, const std::string& bytes) {
    httplib::MultipartFormDataItems items = {{"file", bytes, name, "application/octet-stream"},
                                             {"replace", "1", "", "text/plain"}};
    return client_->Post("/api/upload", Token(), items);
  }
};

TEST_F(SchoolListsWebTest, AnUploadUnderAnExistingNameAsksAndReplacesKeepingTheOldFile) {
  // Before: 409 "数据文件夹里已有 “示例.xlsx”，没有覆盖它。请换个文件名。" and no way on.
  const std::string old = ExampleBytes();
  auto uploaded = Upload("二班.xlsx", old);
  ASSERT_EQ(uploaded->status, 200) << uploaded->body;
  // The new upload is the one chosen.
  EXPECT_EQ(json::parse(uploaded->body)["state"]["book"], "二班.xlsx");

  // The same name again: the page is asked, nothing changes.
  Divide();
  const std::string divided = ExampleBytes();
  ASSERT_NE(divided, old);
  auto asked = Upload("示例.xlsx", old);
  ASSERT_EQ(asked->status, 200) << asked->body;
  json ask = json::parse(asked->body);
  EXPECT_EQ(ask["ok"], false);
  EXPECT_EQ(ask["ask"], "replace");
  EXPECT_EQ(ask["text"], "数据文件夹里已有“示例.xlsx”。要用上传的文件替换它吗？原来的文件会留作旧版本，可以恢复。");
  EXPECT_EQ(ExampleBytes(), divided);

  auto replaced = UploadReplacing("示例.xlsx", old);
  ASSERT_EQ(replaced->status, 200) << replaced->body;
  json answer = json::parse(replaced->body);
  const std::vector<app::WorkbookVersion> versions = app::ListVersions(host_ / "数据" / "示例.xlsx");
  ASSERT_FALSE(versions.empty());
  EXPECT_EQ(answer["notes"][0], "已用上传的文件替换“示例.xlsx”，原来的文件留作版本 " +
                                    std::to_string(versions.back().number) + "。");
  EXPECT_EQ(ExampleBytes(), old);
  EXPECT_EQ(clitest::ReadFile(versions.back().file), divided);
  EXPECT_EQ(answer["state"]["book"], "示例.xlsx");
}

TEST_F(SchoolListsWebTest, AListIsRemovedIntoTheHistory) {
  const std::string bytes = ExampleBytes();
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  auto removed = Command("/api/remove", {{"book", "示例.xlsx"}});
  ASSERT_EQ(removed->status, 200) << removed->body;
  json answer = json::parse(removed->body);
  EXPECT_EQ(answer["notes"][0], "已从数据文件夹移除“示例.xlsx”，它留作版本 1（恢复：fenban restore 示例.xlsx）。");
  EXPECT_EQ(answer["state"]["books"], json::array());
  EXPECT_TRUE(answer["state"]["book"].is_null()) << answer.dump();
  EXPECT_FALSE(fs::exists(host_ / "数据" / "示例.xlsx"));
  app::RestoreVersion(host_ / "数据" / "示例.xlsx", 1, "fenban restore");
  EXPECT_EQ(ExampleBytes(), bytes);
  // A name that is not in the folder is refused.
  EXPECT_EQ(Command("/api/remove", {{"book", "无.xlsx"}})->status, 404);
}

TEST_F(SchoolListsWebTest, ACsvUploadBecomesAWorkbookAndTitleRowsAreConfirmedBeforeTheDivision) {
  std::string csv = "\xEF\xBB\xBF" "2026级高一新生名单\r\n姓名,学号,总分\r\n";
  for (int i = 1; i <= 12; ++i) csv += "学生" + std::to_string(i) + ",00" + std::to_string(i % 10) + "," + std::to_string(500 + i) + "\r\n";
  auto uploaded = Upload("新生.csv", csv);
  ASSERT_EQ(uploaded->status, 200) << uploaded->body;
  json answer = json::parse(uploaded->body);
  EXPECT_EQ(answer["book"], "新生.xlsx");
  EXPECT_EQ(answer["state"]["book"], "新生.xlsx");
  EXPECT_EQ(answer["notes"][0], "已把 新生.csv 读成新工作簿 新生.xlsx（14 行，工作表“数据表”）。");
  EXPECT_FALSE(fs::exists(host_ / "数据" / "新生.csv"));

  PostJson("/api/option", R"({"control":"txtFenBan","value":"3"})");
  json asked = json::parse(Command("/api/divide")->body);
  EXPECT_EQ(asked["ok"], false);
  EXPECT_EQ(asked["askHeaderRow"], 2);
  ASSERT_EQ(asked["boxes"].size(), 1u);
  EXPECT_NE(asked["boxes"][0]["text"].get<std::string>().find("第 2 行像是表头（C2 是“总分”），上面 1 行是标题"),
            std::string::npos);
  json divided = json::parse(Command("/api/divide", {{"headerRow", 2}})->body);
  ASSERT_EQ(divided["ok"], true) << divided.dump();
  EXPECT_EQ(divided["sheet"], "分班表1");
  bool noted = false;
  for (const json& note : divided["notes"]) {
    noted = noted || note == "数据表：删去了表头上面的 1 行标题（“2026级高一新生名单”），表头现在在第 1 行。";
  }
  EXPECT_TRUE(noted) << divided.dump();
  // The same name again never replaces the workbook made before.
  json again = json::parse(Upload("新生.csv", csv)->body);
  EXPECT_EQ(again["book"], "新生(2).xlsx");

  // A CSV put into 数据/ by hand is read when it is chosen.
  { std::ofstream(host_ / "数据" / "手放.csv") << "姓名\t总分\n甲\t1\n"; }
  json chosen = json::parse(PostJson("/api/select", R"({"book":"手放.csv"})")->body);
  EXPECT_EQ(chosen["state"]["book"], "手放.xlsx") << chosen.dump();
  EXPECT_EQ(chosen["notes"][0], "已把 手放.csv 读成新工作簿 手放.xlsx（2 行，工作表“数据表”）。手放.csv 没有改动，以后分班请用 手放.xlsx。");

  // The total column is a stored option of the page.
  json option = json::parse(PostJson("/api/option", R"({"control":"txtZongFenLie","value":" 中考总分 "})")->body);
  EXPECT_EQ(option["state"]["options"]["txtZongFenLie"], "中考总分");
}

}  // namespace
}  // namespace fenban::web
