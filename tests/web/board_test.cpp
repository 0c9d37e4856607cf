// The board's calls: a swap of two students is one step that names both by
// id and is checked against the view it was made on; one division can be
// deleted on its own and brought back through the kept versions.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "web/web_test_support.h"

namespace fenban::web {
namespace {

using namespace webtest;

class BoardTest : public WebAppTest {
 protected:
  httplib::Result SwapOf(const Shown& a, const Shown& b, const json& base) {
    return Command("/api/swap", {{"sheet", "分班表1"}, {"student", a.id}, {"from", a.label}, {"other", b.id},
                                 {"otherFrom", b.label}, {"base", base}});
  }
  // The first student shown in each of two classes.
  std::pair<Shown, Shown> OneOfClasses(const json& view, const std::string& first, const std::string& second) {
    std::optional<Shown> a, b;
    for (const Shown& s : Students(view)) {
      if (!a && s.label == first) a = s;
      if (!b && s.label == second) b = s;
    }
    EXPECT_TRUE(a && b);
    return {*a, *b};
  }
  std::vector<std::string> Sheets() {
    return json::parse(client_->Get("/api/state", Token())->body)["sheets"].get<std::vector<std::string>>();
  }
};

TEST_F(BoardTest, ASwapIsOneStepThatUndoAndRedoTakeWhole) {
  Divide();
  json view = View();
  auto [a, b] = OneOfClasses(view, "1", "3");
  auto swapped = SwapOf(a, b, view["base"]);
  ASSERT_EQ(swapped->status, 200) << swapped->body;
  json now = json::parse(swapped->body)["view"];
  EXPECT_EQ(ClassOf(now, a.name), "3");
  EXPECT_EQ(ClassOf(now, b.name), "1");
  EXPECT_EQ(now["pending"]["moves"], 1) << "a swap is one change";
  ASSERT_EQ(now["changes"].size(), 2u);
  EXPECT_EQ(now["changes"][0]["step"], now["changes"][1]["step"]);
  EXPECT_EQ(now["changes"][0]["who"], a.name);
  EXPECT_EQ(now["changes"][0]["from"], "1");
  EXPECT_EQ(now["changes"][0]["to"], "3");
  EXPECT_EQ(now["changes"][1]["who"], b.name);
  int moved = 0;
  for (const json& group : now["division"]["classes"]) {
    for (const json& student : group["students"]) moved += student.value("moved", false) ? 1 : 0;
  }
  EXPECT_EQ(moved, 2) << "both students are marked";

  json undone = json::parse(Command("/api/undo")->body)["view"];
  EXPECT_EQ(ClassOf(undone, a.name), "1");
  EXPECT_EQ(ClassOf(undone, b.name), "3");
  EXPECT_TRUE(undone["changes"].empty());
  EXPECT_FALSE(undone["pending"]["canUndo"].get<bool>()) << "one undo takes back the whole swap";
  json redone = json::parse(Command("/api/redo")->body)["view"];
  EXPECT_EQ(ClassOf(redone, a.name), "3");
  EXPECT_EQ(ClassOf(redone, b.name), "1");
  EXPECT_EQ(redone["changes"].size(), 2u);

  // Saved, the workbook has both students in their new classes.
  ASSERT_EQ(Command("/api/save")->status, 200);
  json saved = View();
  EXPECT_TRUE(saved["pending"].is_null());
  EXPECT_EQ(ClassOf(saved, a.name), "3");
  EXPECT_EQ(ClassOf(saved, b.name), "1");
}

TEST_F(BoardTest, ASwapNamesBothStudentsAndIsRefusedOnAnOlderView) {
  Divide();
  const json view = View();
  auto [a, b] = OneOfClasses(view, "1", "2");
  auto [c, d] = OneOfClasses(view, "2", "3");
  // A student of the same class, or the same student twice: nothing to swap.
  EXPECT_EQ(SwapOf(a, a, view["base"])->status, 400);
  Shown other = a;
  for (const Shown& s : Students(view)) {
    if (s.label == "1" && s.id != a.id) other = s;
  }
  EXPECT_EQ(SwapOf(a, other, view["base"])->status, 400);
  // A student not in the class the page shows (moved meanwhile) is refused,
  // and so is the whole swap: the other student stays where it was.
  ASSERT_EQ(Command("/api/move", {{"sheet", "分班表1"}, {"student", a.id}, {"from", "1"}, {"to", "3"},
                                  {"base", view["base"]}})->status, 200);
  auto stale = SwapOf(a, b, view["base"]);
  EXPECT_EQ(stale->status, 409);
  EXPECT_TRUE(json::parse(stale->body)["conflict"]["reload"].get<bool>());
  json now = View();
  EXPECT_EQ(ClassOf(now, b.name), "2");
  EXPECT_EQ(now["pending"]["moves"], 1);
  // The ids, never rows or names: a swap without the second id is refused.
  auto noId = Command("/api/swap", {{"sheet", "分班表1"}, {"student", c.id}, {"from", c.label}, {"otherFrom", d.label}});
  EXPECT_EQ(noId->status, 400);
  ASSERT_EQ(Command("/api/discard")->status, 200);

  // Files changed by the terminal since the view: the swap writes nothing and moves no one.
  std::ostringstream out, err;
  app::DivideOptions options;
  options.book = "示例.xlsx";
  options.seed = 4;
  ASSERT_EQ(cli::RunDivide(host_, options, {out, err}), 0) << err.str();
  auto before = Snapshot(host_);
  auto changed = SwapOf(c, d, view["base"]);
  EXPECT_EQ(changed->status, 409);
  EXPECT_EQ(json::parse(changed->body)["error"]["title"], "文件已被改动");
  EXPECT_TRUE(json::parse(client_->Get("/api/state", Token())->body)["pending"].is_null());
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(BoardTest, DeletingOneDivisionRemovesItsPairOnlyAndCanBeRestored) {
  Divide();
  Divide("分班表2");
  auto deleted = Command("/api/delete-division", {{"sheet", "分班表1"}});
  ASSERT_EQ(deleted->status, 200) << deleted->body;
  EXPECT_EQ(json::parse(deleted->body)["removed"], json::array({"分班表1", "统计表1"}));
  EXPECT_EQ(Sheets(), (std::vector<std::string>{"分班表2", "统计表2", "数据表"}));
  json versions = json::parse(client_->Get("/api/versions?book=示例.xlsx", Token())->body)["versions"];
  EXPECT_EQ(versions[0]["command"], "删除分班表1");
  // Brought back with the version kept before the deletion.
  ASSERT_EQ(Command("/api/restore", {{"book", "示例.xlsx"}, {"version", versions[0]["number"]}})->status, 200);
  EXPECT_EQ(Sheets(), (std::vector<std::string>{"分班表1", "统计表1", "分班表2", "统计表2", "数据表"}));

  // On a view older than the files, or of a sheet that is no division, nothing goes.
  const json shown = Base();
  Divide("分班表3");
  auto before = Snapshot(host_);
  EXPECT_EQ(Command("/api/delete-division", {{"sheet", "分班表3"}, {"base", shown}})->status, 409);
  EXPECT_EQ(Command("/api/delete-division", {{"sheet", "数据表"}})->status, 400);
  EXPECT_EQ(Command("/api/delete-division", {{"sheet", "分班表9"}})->status, 404);
  EXPECT_EQ(Snapshot(host_), before);
}

}  // namespace
}  // namespace fenban::web
