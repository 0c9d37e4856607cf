// The server in this process, on a free port of 127.0.0.1, over a host
// folder with a 60-student example list: who is let in, what uploads are
// refused, and that refused or failed requests answer with a JSON error and
// leave every file as it was.
#include "web/web_app.h"

#include <algorithm>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/guide.h"
#include "app/teacher_manual.h"
#include "web/file_rules.h"
#include "web/page_files.h"
#include "web/web_error.h"
#include "web/web_test_support.h"

namespace fenban::web {
namespace {

using namespace webtest;

TEST_F(WebAppTest, EveryRequestNeedsTheToken) {
  for (const char* path : {"/", "/app.js", "/api/state", "/print"}) {
    auto result = client_->Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 401) << path;
  }
  auto api = client_->Get("/api/state");
  EXPECT_NE(ErrorOf(api)["text"].get<std::string>().find("令牌"), std::string::npos);
  auto wrong = client_->Get("/api/state", {{"X-Fenban-Token", std::string(32, 'f')}});
  EXPECT_EQ(wrong->status, 403);
  auto right = client_->Get("/api/state", Token());
  ASSERT_EQ(right->status, 200);
  EXPECT_EQ(json::parse(right->body)["books"], json::array({"示例.xlsx"}));
}

TEST_F(WebAppTest, TokenInTheAddressBecomesAStrictCookie) {
  auto result = client_->Get((std::string("/?token=") + kToken).c_str());
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 303);
  EXPECT_EQ(result->get_header_value("Location"), "/");
  std::string cookie = result->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find(std::string("fenban_token=") + kToken), std::string::npos);
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  auto page = client_->Get("/", {{"Cookie", std::string("fenban_token=") + kToken}});
  ASSERT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>分班</title>"), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
}

TEST_F(WebAppTest, ForeignHostOrOriginIsRefusedBeforeAnythingRuns) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  auto before = Snapshot(host_);
  httplib::Headers foreignHost = {{"X-Fenban-Token", kToken}, {"Host", "rebound.example:" + std::to_string(port_)}};
  auto rebound = PostJson("/api/divide", "{}", foreignHost);
  EXPECT_EQ(rebound->status, 403);
  httplib::Headers foreignOrigin = {{"X-Fenban-Token", kToken}, {"Origin", "http://evil.example"}};
  auto crossSite = PostJson("/api/divide", "{}", foreignOrigin);
  EXPECT_EQ(crossSite->status, 403);
  EXPECT_NE(ErrorOf(crossSite)["text"].get<std::string>().find("Origin"), std::string::npos);
  auto upload = Upload("新名单.xlsx", ExampleBytes(), foreignOrigin);
  EXPECT_EQ(upload->status, 403);
  EXPECT_EQ(Snapshot(host_), before);
  // The server's own origin passes.
  httplib::Headers ownOrigin = {{"X-Fenban-Token", kToken}, {"Origin", "http://127.0.0.1:" + std::to_string(port_)}};
  EXPECT_EQ(client_->Get("/api/state", ownOrigin)->status, 200);
}

TEST_F(WebAppTest, UploadsThatLeaveTheFolderOrAreNoWorkbooksAreRefused) {
  auto before = Snapshot(temp_.Path());
  for (const char* name : {"../x.xlsx", "../../x.xlsx", "sub/x.xlsx", "x.txt", ".hidden.xlsx", "../x.csv"}) {
    auto result = Upload(name, ExampleBytes());
    ASSERT_TRUE(result) << name;
    EXPECT_EQ(result->status, 400) << name;
    EXPECT_NE(ErrorOf(result)["text"].get<std::string>().find(name), std::string::npos) << name;
  }
  auto garbage = Upload("坏.xlsx", "this is not a workbook");
  EXPECT_EQ(garbage->status, 400);
  auto existing = Upload("示例.xlsx", "PK other bytes");
  EXPECT_EQ(existing->status, 400);
  EXPECT_EQ(Snapshot(temp_.Path()), before);
  EXPECT_FALSE(fs::exists(temp_.Path() / "x.xlsx"));
  EXPECT_FALSE(fs::exists(host_ / "x.xlsx"));

  auto accepted = Upload("二班.xlsx", ExampleBytes());
  ASSERT_EQ(accepted->status, 200) << accepted->body;
  EXPECT_EQ(clitest::ReadFile(host_ / "数据" / "二班.xlsx"), ExampleBytes());
  EXPECT_EQ(json::parse(accepted->body)["state"]["books"], json::array({"二班.xlsx", "示例.xlsx"}));
  // No temporary file stays behind.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(host_ / "数据")) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2u);
}

TEST_F(WebAppTest, BadRequestsGetClearJsonErrors) {
  auto notJson = PostJson("/api/select", "{not json");
  EXPECT_EQ(notJson->status, 400);
  EXPECT_EQ(ErrorOf(notJson)["title"], "提示");
  auto wrongType = client_->Post("/api/select", Token(), R"({"book":"示例.xlsx"})", "text/plain");
  EXPECT_EQ(wrongType->status, 415);
  auto missingField = PostJson("/api/select", R"({"name":"示例.xlsx"})");
  EXPECT_EQ(missingField->status, 400);
  EXPECT_NE(ErrorOf(missingField)["text"].get<std::string>().find("book"), std::string::npos);
  auto unknownBook = PostJson("/api/select", R"({"book":"没有.xlsx"})");
  EXPECT_EQ(unknownBook->status, 400);
  EXPECT_NE(ErrorOf(unknownBook)["text"].get<std::string>().find("示例.xlsx"), std::string::npos);
  auto unknownOption = PostJson("/api/option", R"({"control":"txtNothing","value":3})");
  EXPECT_EQ(unknownOption->status, 400);
  auto noSuchPath = client_->Get("/api/nothing", Token());
  EXPECT_EQ(noSuchPath->status, 404);
  EXPECT_TRUE(json::parse(noSuchPath->body).contains("error"));
  auto download = client_->Get("/api/download?book=../fenban.xlsx", Token());
  EXPECT_EQ(download->status, 404);
  auto undo = Command("/api/undo");
  EXPECT_EQ(undo->status, 400);
}

TEST_F(WebAppTest, DownloadsAreTheFilesOnDisk) {
  auto book = client_->Get("/api/download?book=%E7%A4%BA%E4%BE%8B.xlsx", Token());
  ASSERT_EQ(book->status, 200);
  EXPECT_EQ(book->body, ExampleBytes());
  // (The client decodes the header; AttachmentHeader below shows what travels.)
  EXPECT_NE(book->get_header_value("Content-Disposition").find("示例.xlsx"), std::string::npos);
  auto help = PostJson("/api/help", "{}");
  ASSERT_EQ(help->status, 200);
  EXPECT_EQ(json::parse(help->body)["document"], "/api/help.doc");
  auto manual = client_->Get("/api/help.doc", Token());
  ASSERT_EQ(manual->status, 200);
  EXPECT_EQ(manual->body, clitest::ReadFile(host_ / "help.doc"));
  // Without the manual, the form's error box.
  fs::remove(host_ / "help.doc");
  json missing = json::parse(PostJson("/api/help", "{}")->body);
  EXPECT_FALSE(missing["ok"].get<bool>());
  ASSERT_EQ(missing["boxes"].size(), 1u);
  EXPECT_EQ(missing["boxes"][0]["title"], "错误");
  EXPECT_FALSE(missing.contains("document"));
}

TEST_F(WebAppTest, ExportedListsAreDownloadedFromTheirFolderAndListedNowhere) {
  Divide();
  const json booksBefore = json::parse(client_->Get("/api/state", Token())->body)["books"];
  json exported = json::parse(Command("/api/export", {{"sheet", "分班表1"}})->body);
  ASSERT_TRUE(exported["ok"].get<bool>()) << exported.dump();
  ASSERT_EQ(exported["files"], json::array({"示例(分班表1名单).xlsx"}));
  EXPECT_EQ(exported["state"]["books"], booksBefore) << "the data workbooks keep their numbers";
  const fs::path file = host_ / "数据" / "导出" / "示例(分班表1名单).xlsx";
  httplib::Params name = {{"export", "示例(分班表1名单).xlsx"}};
  auto download = client_->Get("/api/download", name, Token());
  ASSERT_EQ(download->status, 200);
  EXPECT_EQ(download->body, clitest::ReadFile(file));
  // Only a file of that folder, by its bare name.
  for (const char* outside : {"../示例.xlsx", "../../fenban.xlsx", "", ".", "没有.xlsx"}) {
    httplib::Params asked = {{"export", outside}};
    EXPECT_EQ(client_->Get("/api/download", asked, Token())->status, 404) << outside;
  }
  httplib::Params asBook = {{"book", "示例(分班表1名单).xlsx"}};
  EXPECT_EQ(client_->Get("/api/download", asBook, Token())->status, 404) << "not a data workbook";
}

// The page's help is the guide help.doc is made from, its pictures served beside it.
TEST_F(WebAppTest, TheHelpIsTheTeachersGuideWithItsPictures) {
  auto guide = client_->Get("/api/guide", Token());
  ASSERT_EQ(guide->status, 200);
  const std::string html = json::parse(guide->body)["html"];
  EXPECT_EQ(html, app::BuildGuideHtml("/api/guide/"));
  EXPECT_NE(html.find("<h3>四、在浏览器里分班（fenban serve）</h3>"), std::string::npos);
  const std::string src = "src=\"/api/guide/images/page-board.png\"";
  ASSERT_NE(html.find(src), std::string::npos);
  auto picture = client_->Get("/api/guide/images/page-board.png", Token());
  ASSERT_EQ(picture->status, 200);
  EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(picture->body, app::FindGuideFile("images/page-board.png")->bytes);
  EXPECT_EQ(client_->Get("/api/guide/images/none.png", Token())->status, 404);
  EXPECT_EQ(client_->Get("/api/guide/images/page-board.png")->status, 401);  // the token is needed here too
  // An old help.doc is replaced by the guide before the page hands it out.
  { std::ofstream(host_ / "help.doc", std::ios::binary | std::ios::trunc) << "{\\rtf1 old}"; }
  ASSERT_EQ(PostJson("/api/help", "{}")->status, 200);
  EXPECT_EQ(client_->Get("/api/help.doc", Token())->body, app::BuildTeacherManual());
}

TEST_F(WebAppTest, TheEntryTemplateButtonRebuildsTheTemplateAndSavesTheHostWorkbook) {
  auto book = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  book->FindSheet("登记表")->SetCellValue(1, 1, host::Value());  // a marker lost
  files::WriteXlsx(*book, (host_ / "fenban.xlsx").string());
  json answer = json::parse(Command("/api/template")->body);
  ASSERT_TRUE(answer["ok"].get<bool>()) << answer.dump();
  EXPECT_EQ(answer["state"]["subjects"].size(), 9u);
  auto rebuilt = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  EXPECT_EQ(rebuilt->FindSheet("登记表")->CellValue(1, 1), host::Value("【学科名登记列】"));
}

TEST_F(WebAppTest, UploadsAboveTheLimitAreRefused) {
  try {
    workspace_->Upload("大.xlsx", std::string(kMaxUploadBytes + 1, 'x'));
    ADD_FAILURE() << "an upload above the limit was taken";
  } catch (const WebError& error) {
    EXPECT_EQ(error.Status(), 413);
  }
  EXPECT_FALSE(fs::exists(host_ / "数据" / "大.xlsx"));
}

TEST(AttachmentHeader, ChineseNamesTravelPercentEncoded) {
  EXPECT_EQ(AttachmentHeader("示例.xlsx"), "attachment; filename=\"______.xlsx\"; filename*=UTF-8''%E7%A4%BA%E4%BE%8B.xlsx");
  EXPECT_EQ(AttachmentHeader("a b\".doc"), "attachment; filename=\"a_b_.doc\"; filename*=UTF-8''a%20b%22.doc");
}

TEST_F(WebAppTest, FormMessagesComeBackAsBoxesAndSaveNothing) {
  auto before = Snapshot(host_);
  // No data workbook chosen: the form's own message.
  auto divide = Command("/api/divide");
  ASSERT_EQ(divide->status, 200);
  json answer = json::parse(divide->body);
  EXPECT_FALSE(answer["ok"].get<bool>());
  ASSERT_EQ(answer["boxes"].size(), 1u);
  EXPECT_EQ(answer["boxes"][0]["title"], "提示");
  EXPECT_EQ(answer["boxes"][0]["text"], "应选择数据表！");
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, OptionsAreValidatedStoredAndShownAsStored) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  auto classes = PostJson("/api/option", R"({"control":"txtFenBan","value":"4.9"})");
  ASSERT_EQ(classes->status, 200);
  EXPECT_EQ(json::parse(classes->body)["state"]["options"]["txtFenBan"], 4);
  auto excellent = PostJson("/api/option", R"({"control":"txtYouXiu","value":"500"})");
  EXPECT_EQ(json::parse(excellent->body)["state"]["options"]["txtYouXiu"], 61 / 4);  // capped by rows \ classes
  auto refine = PostJson("/api/option", R"({"control":"chbYouHua","value":true})");
  EXPECT_EQ(json::parse(refine->body)["state"]["options"]["chbYouHua"], true);
  auto sex = PostJson("/api/option", R"({"control":"chbXingBie","value":true})");
  EXPECT_EQ(json::parse(sex->body)["state"]["options"]["chbXingBie"], true);
  auto stored = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  host::Worksheet* dtb = stored->FindSheet("DTB");
  ASSERT_NE(dtb, nullptr);
  EXPECT_EQ(dtb->CellValue(2, 3), host::Value(4.0));
  EXPECT_EQ(dtb->CellValue(2, 4), host::Value(15.0));
  EXPECT_EQ(dtb->CellValue(2, 7), host::Value::Boolean(true));
  EXPECT_EQ(dtb->CellValue(2, 10), host::Value::Boolean(true));
  auto notABool = PostJson("/api/option", R"({"control":"chbZuXiao","value":"yes"})");
  EXPECT_EQ(notABool->status, 400);
}

TEST_F(WebAppTest, ThePageGetsTheOptionControlsFromTheServersTable) {
  const json state = json::parse(client_->Get("/api/state", Token())->body);
  ASSERT_EQ(state["controls"].size(), 9u) << state.dump();  // the eight options and the balance columns
  const PageFile* index = FindPageFile("index.html");
  ASSERT_NE(index, nullptr);
  const std::string page(index->bytes);
  size_t counts = 0;
  for (const json& entry : state["controls"]) {
    const std::string control = entry["control"];
    const std::string kind = entry["kind"];
    EXPECT_TRUE(state["options"].contains(control)) << control;
    // Each control has its element on the page, a number box or a check box as the table says.
    const std::string numberBox = "id=\"" + control + "\" data-control=\"" + control + "\" inputmode=\"numeric\"";
    const std::string checkBox = "type=\"checkbox\" id=\"" + control + "\" data-control=\"" + control + "\"";
    const std::string textBox = "id=\"" + control + "\" data-control=\"" + control + "\" placeholder=";
    EXPECT_NE(page.find(kind == "count" ? numberBox : kind == "text" ? textBox : checkBox), std::string::npos)
        << control << " " << kind;
    // A check box reads as the table names it, as in the terminal's list and the Windows dialog.
    if (kind == "check") {
      const std::string label = entry["label"];
      EXPECT_NE(page.find(checkBox + "> " + label + "</label>"), std::string::npos) << control << " " << label;
    }
    counts += kind == "count" ? 1 : 0;
  }
  EXPECT_EQ(counts, 4u);
  // And the page has no option element the table does not know (the rounding box is the entry template's;
  // the total column's header is a text of its own, in the state's options).
  for (size_t at = page.find("data-control=\""); at != std::string::npos; at = page.find("data-control=\"", at + 1)) {
    const size_t start = at + std::string("data-control=\"").size();
    const std::string control = page.substr(start, page.find('"', start) - start);
    if (control == "round") continue;
    if (control == "txtZongFenLie") {
      EXPECT_TRUE(state["options"].contains(control));
      continue;
    }
    const bool known = std::any_of(state["controls"].begin(), state["controls"].end(),
                                   [&](const json& entry) { return entry["control"] == control; });
    EXPECT_TRUE(known) << control;
  }
}

TEST_F(WebAppTest, ARefinedDivisionReportsItsFigures) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  json plain = json::parse(Command("/api/divide")->body);
  ASSERT_TRUE(plain["ok"].get<bool>()) << plain.dump();
  EXPECT_TRUE(plain["refinement"].empty());
  PostJson("/api/option", R"({"control":"chbYouHua","value":true})");
  json refined = json::parse(Command("/api/divide")->body);
  ASSERT_TRUE(refined["ok"].get<bool>()) << refined.dump();
  ASSERT_FALSE(refined["refinement"].empty());
  EXPECT_TRUE(refined["refinement"][0]["name"].is_string());
  EXPECT_EQ(refined["sheet"], "分班表2");
}

TEST_F(WebAppTest, TheRefineBoxIsStoredInColumnJAndShown) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  auto refine = PostJson("/api/option", R"({"control":"chbYouHua","value":true})");
  ASSERT_EQ(refine->status, 200);
  EXPECT_EQ(json::parse(refine->body)["state"]["options"]["chbYouHua"], true);
  auto stored = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  EXPECT_EQ(stored->FindSheet("DTB")->CellValue(2, 10), host::Value::Boolean(true));
}

TEST_F(WebAppTest, TheStatisticsButtonRebuildsTheViewedPair) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  Command("/api/divide");
  PostJson("/api/option", R"({"control":"txtYouXiu","value":"5"})");
  json rebuilt = json::parse(Command("/api/stats", json::parse(R"({"sheet":"统计表1"})"))->body);
  ASSERT_TRUE(rebuilt["ok"].get<bool>()) << rebuilt.dump();
  EXPECT_EQ(rebuilt["sheet"], "分班表1");
  auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
  host::Worksheet* statistics = book->FindSheet("统计表1");
  ASSERT_NE(statistics, nullptr);
  std::string title;
  for (int32_t row = 1; row <= statistics->UsedRect().row2 && title.empty(); ++row) {
    std::string text = statistics->CellValue(row, 1).ToText();
    if (text.rfind("优秀人数统计", 0) == 0) title = text;
  }
  EXPECT_EQ(title, "优秀人数统计(前5名)") << "the rebuilt statistics use the stored quota";
  auto before = Snapshot(host_);
  json refused = json::parse(Command("/api/stats", json::parse(R"({"sheet":"数据表"})"))->body);
  EXPECT_FALSE(refused["ok"].get<bool>());
  ASSERT_EQ(refused["boxes"].size(), 1u);
  EXPECT_EQ(refused["boxes"][0]["text"], "请先选择分班表，再按 统计 按钮！");
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, AWorkbookOpenInASpreadsheetProgramIsNotWritten) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  std::ofstream(host_ / "数据" / ".~lock.示例.xlsx#") << "someone,here";
  auto before = Snapshot(host_);
  auto divide = Command("/api/divide");
  EXPECT_EQ(divide->status, 409);
  EXPECT_NE(ErrorOf(divide)["text"].get<std::string>().find("示例.xlsx"), std::string::npos);
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, EverySaveKeepsAVersionAndRestoreBringsItBackUndoably) {
  const fs::path example = host_ / "数据" / "示例.xlsx";
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  const std::string listed = ExampleBytes();
  ASSERT_EQ(json::parse(Command("/api/divide")->body)["sheet"], "分班表1");
  const std::string divided = ExampleBytes();
  ASSERT_TRUE(json::parse(Command("/api/delete", {{"sheet", "数据表"}})->body)["ok"].get<bool>());
  const std::string cleaned = ExampleBytes();

  auto listing = client_->Get("/api/versions?book=示例.xlsx", Token());
  ASSERT_EQ(listing->status, 200) << listing->body;
  json versions = json::parse(listing->body)["versions"];
  ASSERT_EQ(versions.size(), 2u) << versions.dump();
  EXPECT_EQ(versions[0]["number"], 2);  // newest first
  EXPECT_EQ(versions[0]["command"], "删除");
  EXPECT_EQ(versions[0]["sheets"], json::array({"分班表1", "统计表1", "数据表"}));
  EXPECT_EQ(versions[1]["command"], "分班");
  EXPECT_EQ(versions[1]["sheets"], json::array({"数据表"}));
  EXPECT_FALSE(versions[0]["current"].get<bool>());

  // Without a number: the newest, the file as it was before 删除.
  auto restored = PostJson("/api/restore", R"({"book":"示例.xlsx"})");
  ASSERT_EQ(restored->status, 200) << restored->body;
  json answer = json::parse(restored->body);
  EXPECT_EQ(ExampleBytes(), divided);
  EXPECT_NE(answer["notes"].dump().find("版本 3"), std::string::npos) << answer.dump();
  EXPECT_EQ(answer["versions"][0]["command"], "恢复版本 2");
  EXPECT_EQ(answer["state"]["sheets"], json::array({"分班表1", "统计表1", "数据表"}));
  // The restore itself is undone by restoring the version it kept.
  ASSERT_EQ(PostJson("/api/restore", R"({"book":"示例.xlsx","version":3})")->status, 200);
  EXPECT_EQ(ExampleBytes(), cleaned);
  ASSERT_EQ(PostJson("/api/restore", R"({"book":"示例.xlsx","version":1})")->status, 200);
  EXPECT_EQ(ExampleBytes(), listed);

  // The host workbook has its versions too: the option change is one.
  PostJson("/api/option", R"({"control":"txtFenBan","value":"4"})");
  json hostVersions = json::parse(client_->Get("/api/versions?book=fenban.xlsx", Token())->body)["versions"];
  ASSERT_FALSE(hostVersions.empty());
  EXPECT_EQ(hostVersions[0]["command"], "修改选项");
  ASSERT_EQ(PostJson("/api/restore", R"({"book":"fenban.xlsx"})")->status, 200);
  EXPECT_EQ(json::parse(client_->Get("/api/state", Token())->body)["options"]["txtFenBan"], 10);
  EXPECT_TRUE(fs::exists(example));
}

TEST_F(WebAppTest, RestoresThatWouldLoseWorkOrNameNoVersionAreRefused) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  ASSERT_EQ(Command("/api/divide")->status, 200);
  EXPECT_EQ(client_->Get("/api/versions?book=示例.xlsx")->status, 401) << "behind the token as every call";
  EXPECT_EQ(client_->Post("/api/restore", R"({"book":"示例.xlsx"})", "application/json")->status, 401);
  struct Case {
    std::string body;
    int status;
    std::string text;
  };
  const std::vector<Case> cases = {
      {R"({"book":"示例.xlsx","version":9})", 400, "没有版本 9"},
      {R"({"book":"示例.xlsx","version":"1"})", 400, "版本编号应是正整数"},
      {R"({"book":"示例.xlsx","version":0})", 400, "版本编号应是正整数"},
      {R"({"book":"../fenban.xlsx"})", 404, "数据文件夹里没有"},
      {R"({"book":"help.doc"})", 404, "数据文件夹里没有"},
  };
  auto before = Snapshot(host_);
  for (const Case& test : cases) {
    auto result = PostJson("/api/restore", test.body);
    EXPECT_EQ(result->status, test.status) << test.body << " " << result->body;
    EXPECT_NE(ErrorOf(result)["text"].get<std::string>().find(test.text), std::string::npos) << result->body;
  }
  EXPECT_EQ(Snapshot(host_), before);

  // Open in a spreadsheet program.
  std::ofstream(host_ / "数据" / ".~lock.示例.xlsx#") << "someone,here";
  before = Snapshot(host_);
  auto open = PostJson("/api/restore", R"({"book":"示例.xlsx"})");
  EXPECT_EQ(open->status, 409) << open->body;
  EXPECT_EQ(ErrorOf(open)["title"], "文件正在使用");
  EXPECT_EQ(Snapshot(host_), before);
  fs::remove(host_ / "数据" / ".~lock.示例.xlsx#");

  // Moves not yet saved would be written over the restored file later.
  auto view = json::parse(client_->Get("/api/view?sheet=分班表1", Token())->body);
  const std::string id = view["division"]["classes"][0]["students"][0]["id"].get<std::string>();
  ASSERT_EQ(Command("/api/move", {{"sheet", "分班表1"}, {"student", id}, {"from", "1"}, {"to", "2"}})->status, 200);
  before = Snapshot(host_);
  auto pending = PostJson("/api/restore", R"({"book":"示例.xlsx"})");
  EXPECT_EQ(pending->status, 409) << pending->body;
  EXPECT_NE(ErrorOf(pending)["text"].get<std::string>().find("有尚未保存的调班"), std::string::npos);
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, MovesAreLiveUndoableAndSavedAsTheStatisticsCommandSavesThem) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"3"})");
  auto divide = Command("/api/divide");
  ASSERT_EQ(json::parse(divide->body)["sheet"], "分班表1");
  auto view = json::parse(client_->Get("/api/view?sheet=分班表1", Token())->body);
  json firstClass = view["division"]["classes"][0];
  std::string id = firstClass["students"][0]["id"].get<std::string>();
  std::string name = firstClass["students"][0]["cells"][2].get<std::string>();  // 序号, 考号, 姓名
  auto onDisk = Snapshot(host_);

  auto moved = Command("/api/move", {{"sheet", "分班表1"}, {"student", id}, {"from", "1"}, {"to", "2"}});
  ASSERT_EQ(moved->status, 200) << moved->body;
  json live = json::parse(moved->body)["view"];
  EXPECT_EQ(live["pending"]["moves"], 1);
  EXPECT_EQ(live["division"]["classes"][0]["students"].size(), firstClass["students"].size() - 1);
  // 总人数 was even (20 each); now one class has 19 and one 21.
  json countRow;
  for (const json& r : live["statistics"]["rows"]) {
    if (r["maxDiff"].get<bool>()) {
      countRow = r;
      break;
    }
  }
  EXPECT_EQ(countRow["cells"][1]["text"], "2");
  EXPECT_EQ(countRow["cells"][1]["before"], "0");
  EXPECT_EQ(countRow["cells"][1]["change"], "worse");
  EXPECT_EQ(Snapshot(host_), onDisk);  // nothing written yet

  // Another command must not lose the moves.
  EXPECT_EQ(Command("/api/divide")->status, 409);

  auto undone = json::parse(Command("/api/undo")->body)["view"];
  EXPECT_EQ(undone["pending"]["moves"], 0);
  int changedAfterUndo = 0;
  EXPECT_EQ(MaxDiffTexts(undone, &changedAfterUndo), MaxDiffTexts(view));
  EXPECT_EQ(changedAfterUndo, 0);
  auto redone = json::parse(Command("/api/redo")->body)["view"];
  EXPECT_EQ(redone["pending"]["moves"], 1);

  auto saved = Command("/api/save");
  ASSERT_EQ(saved->status, 200) << saved->body;
  auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
  host::Worksheet* division = book->FindSheet("分班表1");
  ASSERT_NE(division, nullptr);
  bool found = false;
  for (int32_t r = 3; r <= division->UsedRect().row2; ++r) {
    if (division->CellValue(r, 4).ToText() == name) found = division->CellValue(r, 1) == host::Value(2.0);
  }
  EXPECT_TRUE(found) << name << " is in class 2 on disk";
  host::Worksheet* statistics = book->FindSheet("统计表1");
  ASSERT_NE(statistics, nullptr);
  EXPECT_EQ(ReadMaxDiffRows(*statistics)[0][0], 2.0);
  EXPECT_TRUE(json::parse(client_->Get("/api/state", Token())->body)["pending"].is_null());
}

TEST_F(WebAppTest, StatisticsKeepTheDivisionsClassesWhenTheClassCountBoxDiffers) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"3"})");
  ASSERT_EQ(json::parse(Command("/api/divide")->body)["sheet"], "分班表1");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"5"})");
  // The first class count table's "最大差" row under 3 classes: title, header, 3 classes.
  auto countTableEnd = [this] {
    auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
    host::Worksheet* statistics = book->FindSheet("统计表1");
    return statistics == nullptr ? host::Value() : statistics->CellValue(6, 1);
  };

  // Before, the 统计 button wrote classes 4 and 5 empty, and saved them.
  json rebuilt = json::parse(Command("/api/stats", {{"sheet", "分班表1"}})->body);
  ASSERT_TRUE(rebuilt["ok"].get<bool>()) << rebuilt.dump();
  ASSERT_EQ(rebuilt["boxes"].size(), 1u);
  EXPECT_EQ(rebuilt["boxes"][0]["style"], host::kMsgInformation);
  EXPECT_NE(rebuilt["boxes"][0]["text"].get<std::string>().find("分班表1 有 3 个班"), std::string::npos);
  EXPECT_EQ(countTableEnd(), host::Value("最大差"));

  // The live figures of a move, saved, are those of the same 3 classes.
  auto view = json::parse(client_->Get("/api/view?sheet=分班表1", Token())->body);
  const std::string id = view["division"]["classes"][0]["students"][0]["id"].get<std::string>();
  ASSERT_EQ(Command("/api/move", {{"sheet", "分班表1"}, {"student", id}, {"from", "1"}, {"to", "2"}})->status, 200);
  ASSERT_EQ(Command("/api/save")->status, 200);
  EXPECT_EQ(countTableEnd(), host::Value("最大差"));
}

}  // namespace
}  // namespace fenban::web
