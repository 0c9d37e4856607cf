// The server in this process, on a free port of 127.0.0.1, over a host
// folder with an example list, for the tests of the page's calls.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/cli_test_support.h"
#include "app/host_folder.h"
#include "cli/terminal_services.h"
#include "web/web_app.h"

namespace fenban::web::webtest {

namespace fs = std::filesystem;
using nlohmann::json;

inline constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

// Every file under a folder with its bytes, to tell that nothing changed.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = clitest::ReadFile(entry.path());
  }
  return files;
}

// The shown texts of every "最大差" row of a view's statistics, and how many
// of its cells are marked as changed.
inline std::vector<std::vector<std::string>> MaxDiffTexts(const json& view, int* changed = nullptr) {
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

// A student as a division view shows it.
struct Shown {
  std::string id, label, name;
};

class WebAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    cli::TerminalServices services(out, err, std::nullopt);
    app::InitOptions options;
    options.folder = temp_.Path() / "host";
    options.exampleStudents = students_;
    options.exampleSeed = 3;
    app::InitHostFolder(options, services, out);
    host_ = options.folder;
    workspace_ = std::make_unique<Workspace>(host_);
    app_ = std::make_unique<WebApp>(*workspace_, kToken, limits_);
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
  // The versions of what the page would show now: the state's base.
  json Base() { return json::parse(client_->Get("/api/state", Token())->body)["base"]; }
  // A command as the page sends it, with the base of the state as it is now.
  httplib::Result Command(const std::string& path, json body = json::object()) {
    if (!body.contains("base")) body["base"] = Base();
    return PostJson(path, body.dump());
  }
  static json ErrorOf(const httplib::Result& result) {
    json body = json::parse(result->body);
    EXPECT_TRUE(body.contains("error")) << result->body;
    return body["error"];
  }
  json View(const std::string& sheet = "分班表1") {
    return json::parse(client_->Get(("/api/view?sheet=" + sheet).c_str(), Token())->body);
  }
  // Chooses the example list and divides it into three classes.
  void Divide(const std::string& expected = "分班表1") {
    PostJson("/api/select", R"({"book":"示例.xlsx"})");
    PostJson("/api/option", R"({"control":"txtFenBan","value":"3"})");
    json divided = json::parse(Command("/api/divide")->body);
    ASSERT_EQ(divided["sheet"], expected) << divided.dump();
  }
  // The students of a view, class by class (cells: 序号, 考号, 姓名, ...).
  static std::vector<Shown> Students(const json& view) {
    std::vector<Shown> students;
    for (const json& group : view["division"]["classes"]) {
      for (const json& student : group["students"]) {
        students.push_back({student["id"], group["label"], student["cells"][2]});
      }
    }
    return students;
  }
  static std::string ClassOf(const json& view, const std::string& name) {
    for (const Shown& student : Students(view)) {
      if (student.name == name) return student.label;
    }
    return "";
  }
  std::string ExampleBytes() const { return clitest::ReadFile(host_ / "数据" / "示例.xlsx"); }

  int students_ = 60;
  ServeLimits limits_;
  clitest::TempFolder temp_;
  fs::path host_;
  std::unique_ptr<Workspace> workspace_;
  std::unique_ptr<WebApp> app_;
  int port_ = 0;
  std::thread listener_;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace fenban::web::webtest
