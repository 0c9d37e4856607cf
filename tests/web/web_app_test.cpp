// The server in this process, on a free port of 127.0.0.1, over a host
// folder with a 60-student example list: who is let in, what uploads are
// refused, and that refused or failed requests answer with a JSON error and
// leave every file as it was.
#include "web/web_app.h"

#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/cli_test_support.h"
#include "cli/host_folder.h"
#include "cli/terminal_services.h"
#include "web/file_rules.h"
#include "web/web_error.h"

namespace fenban::web {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

// Every file under a folder with its bytes, to tell that nothing changed.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = clitest::ReadFile(entry.path());
  }
  return files;
}

// The shown texts of every "最大差" row of a view's statistics, and how many
// of its cells are marked as changed.
std::vector<std::vector<std::string>> MaxDiffTexts(const json& view, int* changed = nullptr) {
  std::vector<std::vector<std::string>> rows;
  for (const json& row : view["statistics"]["rows"]) {
    if (!row["maxDiff"].get<bool>()) continue;
    rows.emplace_back();
    for (const json& cell : row["cells"]) {
      rows.back().push_back(cell["text"].get<std::string>());
      if (changed != nullptr && cell.contains("change")) ++*changed;
    }
  }
  return rows;
}

class WebAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    cli::TerminalServices services(out, err, std::nullopt);
    cli::InitOptions options;
    options.folder = temp_.Path() / "host";
    options.exampleStudents = 60;
    options.exampleSeed = 3;
    cli::InitHostFolder(options, services, out);
    host_ = options.folder;
    workspace_ = std::make_unique<Workspace>(host_);
    app_ = std::make_unique<WebApp>(*workspace_, kToken);
    port_ = app_->Bind("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
    listener_ = std::thread([this] { app_->Listen(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(60, 0);
  }
  void TearDown() override {
    app_->Stop();
    if (listener_.joinable()) listener_.join();
  }

  httplib::Headers Token() const { return {{"X-Fenban-Token", kToken}}; }
  httplib::Result PostJson(const std::string& path, const std::string& body, httplib::Headers headers = {}) {
    if (headers.empty()) headers = Token();
    return client_->Post(path.c_str(), headers, body, "application/json");
  }
  httplib::Result Upload(const std::string& name, const std::string& bytes, httplib::Headers headers = {}) {
    if (headers.empty()) headers = Token();
    httplib::MultipartFormDataItems items = {{"file", bytes, name, "application/octet-stream"}};
    return client_->Post("/api/upload", headers, items);
  }
  static json ErrorOf(const httplib::Result& result) {
    json body = json::parse(result->body);
    EXPECT_TRUE(body.contains("error")) << result->body;
    return body["error"];
  }
  std::string ExampleBytes() const { return clitest::ReadFile(host_ / "数据" / "示例.xlsx"); }

  clitest::TempFolder temp_;
  fs::path host_;
  std::unique_ptr<Workspace> workspace_;
  std::unique_ptr<WebApp> app_;
  int port_ = 0;
  std::thread listener_;
  std::unique_ptr<httplib::Client> client_;
};

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
  for (const char* name : {"../x.xlsx", "../../x.xlsx", "sub/x.xlsx", "x.csv", ".hidden.xlsx"}) {
    auto result = Upload(name, ExampleBytes());
    ASSERT_TRUE(result) << name;
    EXPECT_EQ(result->status, 400) << name;
    EXPECT_NE(ErrorOf(result)["text"].get<std::string>().find(name), std::string::npos) << name;
  }
  auto garbage = Upload("坏.xlsx", "this is not a workbook");
  EXPECT_EQ(garbage->status, 400);
  auto existing = Upload("示例.xlsx", "PK other bytes");
  EXPECT_EQ(existing->status, 409);
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
  auto undo = PostJson("/api/undo", "{}");
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

TEST_F(WebAppTest, TheEntryTemplateButtonRebuildsTheTemplateAndSavesTheHostWorkbook) {
  auto book = files::ReadWorkbook((host_ / "fenban.xlsx").string());
  book->FindSheet("登记表")->SetCellValue(1, 1, host::Value());  // a marker lost
  files::WriteXlsx(*book, (host_ / "fenban.xlsx").string());
  json answer = json::parse(PostJson("/api/template", "{}")->body);
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
  auto divide = PostJson("/api/divide", "{}");
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

TEST_F(WebAppTest, ARefinedDivisionReportsItsFigures) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  json plain = json::parse(PostJson("/api/divide", "{}")->body);
  ASSERT_TRUE(plain["ok"].get<bool>()) << plain.dump();
  EXPECT_TRUE(plain["refinement"].empty());
  PostJson("/api/option", R"({"control":"chbYouHua","value":true})");
  json refined = json::parse(PostJson("/api/divide", "{}")->body);
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
  PostJson("/api/divide", "{}");
  PostJson("/api/option", R"({"control":"txtYouXiu","value":"5"})");
  json rebuilt = json::parse(PostJson("/api/stats", R"({"sheet":"统计表1"})")->body);
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
  json refused = json::parse(PostJson("/api/stats", R"({"sheet":"数据表"})")->body);
  EXPECT_FALSE(refused["ok"].get<bool>());
  ASSERT_EQ(refused["boxes"].size(), 1u);
  EXPECT_EQ(refused["boxes"][0]["text"], "请先选择分班表，再按 统计 按钮！");
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, AWorkbookOpenInASpreadsheetProgramIsNotWritten) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  std::ofstream(host_ / "数据" / ".~lock.示例.xlsx#") << "someone,here";
  auto before = Snapshot(host_);
  auto divide = PostJson("/api/divide", "{}");
  EXPECT_EQ(divide->status, 409);
  EXPECT_NE(ErrorOf(divide)["text"].get<std::string>().find("示例.xlsx"), std::string::npos);
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(WebAppTest, MovesAreLiveUndoableAndSavedAsTheStatisticsCommandSavesThem) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"3"})");
  auto divide = PostJson("/api/divide", "{}");
  ASSERT_EQ(json::parse(divide->body)["sheet"], "分班表1");
  auto view = json::parse(client_->Get("/api/view?sheet=分班表1", Token())->body);
  json firstClass = view["division"]["classes"][0];
  int row = firstClass["students"][0]["row"].get<int>();
  std::string name = firstClass["students"][0]["cells"][2].get<std::string>();  // 序号, 考号, 姓名
  auto onDisk = Snapshot(host_);

  auto moved = PostJson("/api/move", json({{"sheet", "分班表1"}, {"row", row}, {"to", "2"}}).dump());
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
  EXPECT_EQ(PostJson("/api/divide", "{}")->status, 409);

  auto undone = json::parse(PostJson("/api/undo", "{}")->body)["view"];
  EXPECT_EQ(undone["pending"]["moves"], 0);
  int changedAfterUndo = 0;
  EXPECT_EQ(MaxDiffTexts(undone, &changedAfterUndo), MaxDiffTexts(view));
  EXPECT_EQ(changedAfterUndo, 0);
  auto redone = json::parse(PostJson("/api/redo", "{}")->body)["view"];
  EXPECT_EQ(redone["pending"]["moves"], 1);

  auto saved = PostJson("/api/save", "{}");
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
  ASSERT_EQ(json::parse(PostJson("/api/divide", "{}")->body)["sheet"], "分班表1");
  PostJson("/api/option", R"({"control":"txtFenBan","value":"5"})");
  // The first class count table's "最大差" row under 3 classes: title, header, 3 classes.
  auto countTableEnd = [this] {
    auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
    host::Worksheet* statistics = book->FindSheet("统计表1");
    return statistics == nullptr ? host::Value() : statistics->CellValue(6, 1);
  };

  // Before, the 统计 button wrote classes 4 and 5 empty, and saved them.
  json rebuilt = json::parse(PostJson("/api/stats", R"({"sheet":"分班表1"})")->body);
  ASSERT_TRUE(rebuilt["ok"].get<bool>()) << rebuilt.dump();
  ASSERT_EQ(rebuilt["boxes"].size(), 1u);
  EXPECT_EQ(rebuilt["boxes"][0]["style"], host::kMsgInformation);
  EXPECT_NE(rebuilt["boxes"][0]["text"].get<std::string>().find("分班表1 有 3 个班"), std::string::npos);
  EXPECT_EQ(countTableEnd(), host::Value("最大差"));

  // The live figures of a move, saved, are those of the same 3 classes.
  auto view = json::parse(client_->Get("/api/view?sheet=分班表1", Token())->body);
  int row = view["division"]["classes"][0]["students"][0]["row"].get<int>();
  ASSERT_EQ(PostJson("/api/move", json({{"sheet", "分班表1"}, {"row", row}, {"to", "2"}}).dump())->status, 200);
  ASSERT_EQ(PostJson("/api/save", "{}")->status, 200);
  EXPECT_EQ(countTableEnd(), host::Value("最大差"));
}

}  // namespace
}  // namespace fenban::web
