// The page beside other writers: the terminal, a spreadsheet program, a
// second server and a second tab on the same folder. Every command that
// writes compares the versions the page was shown with the files as they
// are; moves name their student; one command runs at a time; and what a
// caller sends is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "app/folder_guard.h"
#include "files/package_builder.h"
#include "files/zip_archive.h"
#include "web/growing_pool.h"
#include "web/listen_address.h"
#include "web/name_text.h"
#include "web/web_test_support.h"

namespace fenban::web {
namespace {

using namespace webtest;

// Sends `request` on a fresh connection and returns what comes back within
// a few seconds, without sending anything more.
std::string RawExchange(int port, const std::string& request) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return "";
  timeval wait{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[4096];
  for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<size_t>(got));
  ::close(fd);
  return answer;
}

class PageSafetyTest : public WebAppTest {
 protected:
  httplib::Result MoveTo(const Shown& student, const std::string& to, const json& base, bool confirm = false) {
    return Command("/api/move", {{"sheet", "分班表1"}, {"student", student.id}, {"from", student.label}, {"to", to},
                                 {"base", base}, {"confirm", confirm}});
  }
  // A division made by the terminal program meanwhile.
  void TerminalDivision() {
    std::ostringstream out, err;
    app::DivideOptions options;
    options.book = "示例.xlsx";
    options.seed = 9;
    ASSERT_EQ(cli::RunDivide(host_, options, {out, err}), 0) << err.str();
  }
};

TEST_F(PageSafetyTest, ASaveAfterATerminalDivisionWritesNothingAndListsTheMoves) {
  Divide();
  json view = View();
  Shown student = Students(view)[0];
  ASSERT_EQ(MoveTo(student, student.label == "1" ? "2" : "1", view["base"])->status, 200);
  TerminalDivision();
  auto afterTerminal = Snapshot(host_);

  auto saved = Command("/api/save");
  EXPECT_EQ(saved->status, 409);
  json error = json::parse(saved->body);
  EXPECT_EQ(error["error"]["title"], "文件已被改动");
  EXPECT_NE(error["error"]["text"].get<std::string>().find("示例.xlsx"), std::string::npos);
  ASSERT_EQ(error["conflict"]["moves"].size(), 1u);
  EXPECT_NE(error["conflict"]["moves"][0].get<std::string>().find(student.name), std::string::npos);
  EXPECT_EQ(Snapshot(host_), afterTerminal) << "the terminal's division is kept";

  // Reloading forgets the moves made on the old file and shows the new one.
  json reloaded = json::parse(PostJson("/api/reload", "{}")->body);
  EXPECT_TRUE(reloaded["state"]["pending"].is_null());
  EXPECT_NE(std::find(reloaded["state"]["sheets"].begin(), reloaded["state"]["sheets"].end(), "分班表2"),
            reloaded["state"]["sheets"].end());
  EXPECT_EQ(Snapshot(host_), afterTerminal);
}

TEST_F(PageSafetyTest, CommandsOnAStaleViewAreRefusedWhateverChangedTheFiles) {
  Divide();
  const json shown = Base();
  // A spreadsheet program saves the list with one mark changed.
  auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
  book->FindSheet("数据表")->SetCellValue(2, 2, host::Value("改过的名字"));
  files::WriteXlsx(*book, (host_ / "数据" / "示例.xlsx").string());
  auto edited = Snapshot(host_);
  for (const char* path : {"/api/divide", "/api/delete", "/api/stats"}) {
    auto refused = Command(path, {{"sheet", "分班表1"}, {"base", shown}});
    EXPECT_EQ(refused->status, 409) << path;
    EXPECT_TRUE(json::parse(refused->body)["conflict"]["reload"].get<bool>()) << path;
  }
  EXPECT_EQ(Snapshot(host_), edited);

  // `fenban template` changes fenban.xlsx: the entry template button on the old view is refused.
  const json before = Base();
  std::ostringstream out, err;
  app::TemplateOptions subjects;
  subjects.subjects = std::vector<std::string>{"语文", "数学"};
  ASSERT_EQ(cli::RunTemplate(host_, subjects, {out, err}), 0) << err.str();
  auto templated = Snapshot(host_);
  auto refused = Command("/api/template", {{"base", before}});
  EXPECT_EQ(refused->status, 409);
  EXPECT_NE(json::parse(refused->body)["error"]["text"].get<std::string>().find("fenban.xlsx"), std::string::npos);
  EXPECT_EQ(Snapshot(host_), templated);
  // With the view read again, the command runs.
  EXPECT_EQ(Command("/api/template")->status, 200);
}

TEST_F(PageSafetyTest, AnotherTabsStaleDiscardOrSaveDoesNotTouchTheMoves) {
  Divide();
  json view = View();
  const json tabB = view["base"];  // a second tab shows the division before the move
  Shown student = Students(view)[0];
  json moved = json::parse(MoveTo(student, student.label == "1" ? "2" : "1", view["base"])->body);
  ASSERT_EQ(moved["view"]["pending"]["moves"], 1);
  auto discard = Command("/api/discard", {{"base", tabB}});
  EXPECT_EQ(discard->status, 409);
  EXPECT_NE(json::parse(discard->body)["error"]["text"].get<std::string>().find("另一个页面"), std::string::npos);
  EXPECT_EQ(Command("/api/save", {{"base", tabB}})->status, 409);
  EXPECT_EQ(json::parse(client_->Get("/api/state", Token())->body)["pending"]["moves"], 1);
  // The tab that saw the move may save it.
  EXPECT_EQ(Command("/api/save", {{"base", moved["view"]["base"]}})->status, 200);
}

TEST_F(PageSafetyTest, MovesOfTwoMenusFromOneViewBothMoveTheStudentsShown) {
  Divide();
  json view = View();
  std::vector<Shown> students = Students(view);
  // Two students of class 1 moved from the same view, one right after the
  // other: the first move re-sorts the sheet, the second still names its student.
  std::vector<Shown> first;
  for (const Shown& s : students) {
    if (s.label == "1") first.push_back(s);
  }
  ASSERT_GE(first.size(), 2u);
  const Shown a = first[0], b = first[1];
  ASSERT_EQ(MoveTo(a, "2", view["base"])->status, 200);
  ASSERT_EQ(MoveTo(b, "3", view["base"])->status, 200);
  json now = View();
  EXPECT_EQ(ClassOf(now, a.name), "2");
  EXPECT_EQ(ClassOf(now, b.name), "3");
  EXPECT_EQ(now["pending"]["moves"], 2);
  // A student no longer in the class the page shows is not moved.
  auto stale = MoveTo(a, "3", view["base"]);
  EXPECT_EQ(stale->status, 409);
  EXPECT_EQ(ClassOf(View(), a.name), "2");
  // Row numbers name no one.
  auto byRow = Command("/api/move", {{"sheet", "分班表1"}, {"row", 3}, {"to", "2"}});
  EXPECT_EQ(byRow->status, 400);
}

TEST_F(PageSafetyTest, PresetAndGroupMovesAreAskedAboutAndMarked) {
  // "同班" and "分开" columns beside the example's "预设班".
  auto book = files::ReadWorkbook((host_ / "数据" / "示例.xlsx").string());
  host::Worksheet& data = *book->FindSheet("数据表");
  const int32_t last = data.CurrentRegion(1, 1).col2;
  int32_t preset = 0;
  for (int32_t c = 1; c <= last; ++c) {
    if (data.CellValue(1, c) == host::Value("预设班")) preset = c;
  }
  ASSERT_GT(preset, 0);
  for (int32_t r = 2; r <= 61; ++r) data.SetCellValue(r, preset, host::Value());
  data.SetCellValue(2, preset, host::Value(1.0));
  data.SetCellValue(1, last + 1, host::Value("同班"));
  data.SetCellValue(1, last + 2, host::Value("分开"));
  data.SetCellValue(3, last + 1, host::Value("甲"));
  data.SetCellValue(4, last + 1, host::Value("甲"));
  data.SetCellValue(5, last + 2, host::Value("乙"));
  data.SetCellValue(6, last + 2, host::Value("乙"));
  const std::string presetName = data.CellValue(2, 2).ToText();
  const std::string togetherName = data.CellValue(3, 2).ToText();
  const std::string apartName = data.CellValue(5, 2).ToText(), apartOther = data.CellValue(6, 2).ToText();
  files::WriteXlsx(*book, (host_ / "数据" / "示例.xlsx").string());
  PostJson("/api/option", R"({"control":"chbYouHua","value":true})");  // the refinement keeps the groups
  Divide();
  json view = View();
  auto find = [&](const std::string& name) {
    for (const Shown& s : Students(view)) {
      if (s.name == name) return s;
    }
    return Shown{};
  };
  ASSERT_EQ(find(presetName).label, "1");

  json asked = json::parse(MoveTo(find(presetName), "2", view["base"])->body);
  ASSERT_TRUE(asked.contains("ask")) << asked.dump();
  EXPECT_FALSE(asked["ok"].get<bool>());
  EXPECT_NE(asked["ask"]["text"].get<std::string>().find("预设班是 1 班"), std::string::npos);
  EXPECT_TRUE(View()["pending"].is_null()) << "nothing moved before the answer";
  json moved = json::parse(MoveTo(find(presetName), "2", view["base"], true)->body);
  ASSERT_TRUE(moved["ok"].get<bool>()) << moved.dump();
  bool marked = false;
  for (const json& group : moved["view"]["division"]["classes"]) {
    for (const json& student : group["students"]) {
      if (student["cells"][2] == presetName) marked = student.value("warning", "").find("预设班") != std::string::npos;
    }
  }
  EXPECT_TRUE(marked);

  Shown together = find(togetherName);
  std::string away = together.label == "1" ? "2" : "1";
  json separated = json::parse(MoveTo(together, away, view["base"])->body);
  EXPECT_NE(separated.value("ask", json::object()).value("text", "").find("同班"), std::string::npos) << separated.dump();
  Shown apart = find(apartName);
  std::string other = find(apartOther).label;
  ASSERT_NE(apart.label, other);
  json joined = json::parse(MoveTo(apart, other, view["base"])->body);
  EXPECT_NE(joined.value("ask", json::object()).value("text", "").find("分开"), std::string::npos) << joined.dump();
}

TEST_F(PageSafetyTest, AFieldCorrectedByTheFormIsSaidSo) {
  PostJson("/api/select", R"({"book":"示例.xlsx"})");
  json answer = json::parse(PostJson("/api/option", R"({"control":"txtFenBan","value":"abc"})")->body);
  ASSERT_EQ(answer["state"]["options"]["txtFenBan"], 10);
  ASSERT_TRUE(answer.contains("corrected")) << answer.dump();
  EXPECT_EQ(answer["corrected"]["text"], "班级数 abc 无效，按 10 处理");
  EXPECT_NE(std::find(answer["notes"].begin(), answer["notes"].end(), "班级数 abc 无效，按 10 处理"), answer["notes"].end());
  json kept = json::parse(PostJson("/api/option", R"({"control":"txtFenBan","value":"4"})")->body);
  EXPECT_FALSE(kept.contains("corrected"));
}

TEST_F(PageSafetyTest, TheEntryTemplateWaitsForPendingMoves) {
  Divide();
  json view = View();
  Shown student = Students(view)[0];
  ASSERT_EQ(MoveTo(student, student.label == "1" ? "2" : "1", view["base"])->status, 200);
  auto before = Snapshot(host_);
  EXPECT_EQ(Command("/api/template")->status, 409);
  EXPECT_EQ(Snapshot(host_), before);
}

// A second server on the same folder: its moves are saved, and this
// server's older moves cannot overwrite them.
TEST_F(PageSafetyTest, TwoServersOnOneFolderDoNotOverwriteEachOther) {
  Divide();
  Workspace second(host_);
  json state = second.Select("示例.xlsx")["state"];
  json view = View();
  Shown mine = Students(view)[0];
  ASSERT_EQ(MoveTo(mine, mine.label == "1" ? "2" : "1", view["base"])->status, 200);
  json theirs = second.View("分班表1");
  Shown student = Students(theirs)[1];
  second.RequireCurrent(BaseOf({{"base", theirs["base"]}}), false);
  second.Move("分班表1", student.id, student.label, student.label == "3" ? "2" : "3", true);
  second.SaveMoves();
  auto saved = Snapshot(host_);
  EXPECT_EQ(Command("/api/save")->status, 409);
  EXPECT_EQ(Snapshot(host_), saved);
}

class BusyPageTest : public PageSafetyTest {
 protected:
  BusyPageTest() { limits_.folderLockWait = std::chrono::seconds(5); }
};

TEST_F(BusyPageTest, ASecondWritingCallIsRefusedWhileOneRuns) {
  Divide();
  const json base = Base();
  std::optional<app::HostFolderLock> terminal(std::in_place, host_);  // a terminal command holds the folder
  auto first = std::async(std::launch::async, [&] {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    return client.Post("/api/divide", Token(), json({{"base", base}}).dump(), "application/json");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the first waits for the folder
  auto second = Command("/api/divide", {{"base", base}});
  EXPECT_EQ(second->status, 409);
  EXPECT_EQ(json::parse(second->body)["error"]["text"], "另一个命令正在执行，请等它完成后再试。");
  terminal.reset();
  EXPECT_EQ(client_->Get("/api/state", Token())->status, 200) << "reading waits, it is not refused";
  auto answer = first.get();
  ASSERT_TRUE(answer);
  EXPECT_EQ(json::parse(answer->body)["sheet"], "分班表2") << answer->body;
}

class LockedFolderTest : public PageSafetyTest {
 protected:
  LockedFolderTest() { limits_.folderLockWait = std::chrono::milliseconds(100); }
};

TEST_F(LockedFolderTest, EveryWritingCallTakesTheFolderLock) {
  Divide();
  json view = View();
  Shown student = Students(view)[0];
  std::string to = student.label == "1" ? "2" : "1";
  ASSERT_EQ(MoveTo(student, to, view["base"])->status, 200);
  const json base = Base();
  auto before = Snapshot(host_);
  app::HostFolderLock terminal(host_);
  const std::vector<std::pair<std::string, json>> calls = {
      {"/api/option", {{"control", "txtJiGe"}, {"value", "5"}}},
      {"/api/divide", json::object()},
      {"/api/stats", {{"sheet", "分班表1"}}},
      {"/api/delete", {{"sheet", "分班表1"}}},
      {"/api/template", json::object()},
      {"/api/move", {{"sheet", "分班表1"}, {"student", Students(view)[1].id}, {"from", Students(view)[1].label}, {"to", "3"}}},
      {"/api/save", json::object()},
      {"/api/discard", json::object()},
  };
  for (auto [path, body] : calls) {
    body["base"] = base;
    auto result = PostJson(path, body.dump());
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 409) << path << ": " << result->body;
  }
  auto upload = Upload("新.xlsx", ExampleBytes());
  EXPECT_EQ(upload->status, 409);
  EXPECT_EQ(Snapshot(host_), before);
}

TEST_F(PageSafetyTest, RequestsAreBoundedAndEveryErrorIsPlainJson) {
  // A JSON call that says it is large (60 MB) is answered before its body is sent.
  std::string answer = RawExchange(port_, std::string("POST /api/select HTTP/1.1\r\nHost: 127.0.0.1:") +
                                              std::to_string(port_) + "\r\nX-Fenban-Token: " + kToken +
                                              "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: 62914560\r\n\r\n{\"book\":\"");
  EXPECT_EQ(answer.rfind("HTTP/1.1 413", 0), 0u) << answer;
  EXPECT_NE(answer.find("请求太大"), std::string::npos);
  // One that is large without saying so is refused all the same.
  auto large = PostJson("/api/select", "{\"book\":\"" + std::string(kMaxJsonBytes, 'x') + "\"}");
  ASSERT_TRUE(large);
  EXPECT_EQ(large->status, 413);
  // Text that is not UTF-8, in the address or in the body.
  auto address = client_->Get("/api/view?sheet=%FF%FE", Token());
  EXPECT_EQ(address->status, 400);
  EXPECT_NE(ErrorOf(address)["text"].get<std::string>().find("UTF-8"), std::string::npos);
  auto body = PostJson("/api/select", "{\"book\":\"\xff\xfe.xlsx\"}");
  EXPECT_EQ(body->status, 400);
  std::string text = ErrorOf(body)["text"];
  EXPECT_EQ(text.find("json"), std::string::npos) << "no exception text: " << text;
  // Nesting deep enough to exhaust a recursive parser stays inside the bound and fails plainly.
  auto deep = PostJson("/api/select", std::string(30000, '[') + std::string(30000, ']'));
  ASSERT_TRUE(deep);
  EXPECT_EQ(deep->status, 400);
}

TEST_F(PageSafetyTest, AWorkbookThatExpandsBeyondTheBoundIsRefusedOnUpload) {
  files::testing::WriteExpandingPackage((temp_.Path() / "bomb.xlsx").string(),
                                        files::ZipArchive::kMaxTotalSize + (1u << 20));
  auto refused = Upload("大.xlsx", clitest::ReadFile(temp_.Path() / "bomb.xlsx"));
  EXPECT_EQ(refused->status, 400);
  EXPECT_NE(ErrorOf(refused)["text"].get<std::string>().find("解压后超过"), std::string::npos);
  EXPECT_FALSE(fs::exists(host_ / "数据" / "大.xlsx"));
}

TEST_F(PageSafetyTest, IdleConnectionsDoNotStopThePage) {
  std::vector<int> idle;
  for (int i = 0; i < 100; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    idle.push_back(fd);  // connected, never says a word
    // (The server's queue of connections not yet taken is short; a
    // moment between them lets it take each one, as it would take a page's.)
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(1, 0);  // less than the time-outs that free an idle connection
  auto state = client.Get("/api/state", Token());
  for (int fd : idle) ::close(fd);
  ASSERT_TRUE(state);
  EXPECT_EQ(state->status, 200);
}

TEST_F(PageSafetyTest, NamesThatAreNotUtf8AreShownAndDoNotBreakTheList) {
  // A name in GBK, as a zip made on Chinese Windows leaves it, and one that is no text at all.
  const std::string gbk = "\xc3\xfb\xb5\xa5.xlsx";  // 名单.xlsx
  fs::copy_file(host_ / "数据" / "示例.xlsx", host_ / "数据" / gbk);
  fs::copy_file(host_ / "数据" / "示例.xlsx", host_ / "数据" / "\xff\xfe.xlsx");
  auto state = client_->Get("/api/state", Token());
  ASSERT_EQ(state->status, 200);
  json books = json::parse(state->body)["books"];
  EXPECT_NE(std::find(books.begin(), books.end(), "名单.xlsx"), books.end()) << books.dump();
  EXPECT_NE(std::find(books.begin(), books.end(), "示例.xlsx"), books.end());
  EXPECT_NE(std::find(books.begin(), books.end(), "\xef\xbf\xbd\xef\xbf\xbd.xlsx"), books.end());
  json chosen = json::parse(PostJson("/api/select", R"({"book":"名单.xlsx"})")->body);
  EXPECT_TRUE(chosen["ok"].get<bool>()) << chosen.dump();
  EXPECT_EQ(chosen["state"]["book"], "名单.xlsx");
  // An upload whose name is not UTF-8 gets one that is.
  auto uploaded = Upload("\xff\xfe\xe5\x90\x8d.xlsx", ExampleBytes());
  ASSERT_EQ(uploaded->status, 200) << uploaded->body;
  EXPECT_TRUE(fs::exists(host_ / "数据" / "__名.xlsx"));
}

TEST(GrowingPool, AJobNeverWaitsForABusyThread) {
  GrowingPool pool(2, 6);
  std::mutex gate;
  std::unique_lock<std::mutex> closed(gate);
  std::atomic<int> done = 0;
  for (int i = 0; i < 4; ++i) pool.enqueue([&] { std::lock_guard<std::mutex> wait(gate); ++done; });
  std::promise<void> ran;
  pool.enqueue([&] { ran.set_value(); });  // four threads are held: a fifth runs this
  EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_GE(pool.ThreadCount(), 5u);
  for (int i = 0; i < 4; ++i) pool.enqueue([&] { std::lock_guard<std::mutex> wait(gate); ++done; });
  EXPECT_LE(pool.ThreadCount(), 6u) << "no more than the most";
  closed.unlock();
  pool.shutdown();
  EXPECT_EQ(done, 8);
}

TEST(ListenAddress, EverySpellingOfTheUnspecifiedAddressIsRefused) {
  for (const char* every : {"", "0", "0.0", "0x0", "0.0.0.0", "000.000.000.000", "0000", "::", "[::]", "::0",
                            "0:0:0:0:0:0:0:0", "0000:0000::", "::ffff:0.0.0.0"}) {
    EXPECT_TRUE(IsEveryInterface(every)) << every;
  }
  for (const char* one : {"127.0.0.1", "::1", "[::1]", "localhost", "192.168.1.20", "127.1"}) {
    EXPECT_FALSE(IsEveryInterface(one)) << one;
  }
}

TEST(NameText, BytesThatAreNotUtf8AreReadAsGbkOrReplaced) {
  EXPECT_TRUE(IsUtf8("名单.xlsx"));
  EXPECT_FALSE(IsUtf8("\xc0\xaf"));          // an overlong "/"
  EXPECT_FALSE(IsUtf8("\xed\xa0\x80"));      // a surrogate
  EXPECT_EQ(ShownName("\xc3\xfb\xb5\xa5.xls"), "名单.xls");
  EXPECT_EQ(ShownName("a\xff.xlsx"), "a\xef\xbf\xbd.xlsx");
  EXPECT_EQ(Utf8Name("a\xff\xfe名.xlsx"), "a__名.xlsx");
}

}  // namespace
}  // namespace fenban::web
