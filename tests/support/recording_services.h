// Platform services for tests: records message boxes, beeps and opened
// documents; fixed date, seed and directory listings.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/services.h"

namespace fenban::testing {

struct MessageRecord {
  std::string prompt;
  int32_t style;
  std::string title;
};

class RecordingServices : public host::PlatformServices {
 public:
  std::vector<MessageRecord> messages;
  std::vector<std::pair<int32_t, int32_t>> beeps;
  std::vector<std::string> openedDocuments;
  std::map<std::string, std::vector<std::string>> folders;  // folder -> listing
  std::string date = "2026-12-07";
  uint64_t seed = 12345;
  bool failOpenDocument = false;

  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override {
    messages.push_back({prompt, style, title});
    return 1;
  }
  void Beep(int32_t frequency, int32_t milliseconds) override { beeps.emplace_back(frequency, milliseconds); }
  std::string ShortDate() override { return date; }
  uint64_t RandomSeed() override { return seed; }
  std::vector<std::string> ListDirectory(const std::string& folder) override {
    auto it = folders.find(folder);
    if (it == folders.end()) host::Raise(76, "路径未找到: " + folder);
    return it->second;
  }
  void OpenDocument(const std::string& path) override {
    if (failOpenDocument) host::Raise(5174, "找不到文件: " + path);
    openedDocuments.push_back(path);
  }
};

}  // namespace fenban::testing
