// The platform services a desktop front end shares: the date and the random
// seed come from the system clock (or a given seed), the data folder is
// listed in a stable order, and every message box and document to open is
// recorded, so the caller can tell what a command showed. How a box or a
// document reaches the user (printed, sent to a page) is the front end's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/services.h"

namespace fenban::app {

struct MessageBox {
  std::string title;
  std::string text;
  int32_t style = 0;
};

class DesktopServices : public host::PlatformServices {
 public:
  // A given seed is returned by every RandomSeed call; otherwise one is drawn once.
  explicit DesktopServices(std::optional<uint64_t> seed = std::nullopt) : givenSeed_(seed) {}

  // Records the box, then shows it (ShowBox). Returns 1 (OK).
  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) final;
  // Nothing by default.
  void Beep(int32_t frequency, int32_t milliseconds) override;
  std::string ShortDate() override;
  uint64_t RandomSeed() override;
  std::vector<std::string> ListDirectory(const std::string& folder) override;
  // A missing file raises "文件未找到"; otherwise records it and opens it (ShowDocument).
  void OpenDocument(const std::string& path) final;

  // Number of message boxes shown so far, notices (kMsgInformation) left out.
  int32_t BoxCount() const { return boxCount_; }
  const std::vector<MessageBox>& Boxes() const { return boxes_; }
  const std::vector<std::string>& OpenedDocuments() const { return opened_; }
  // The seed handed out, when the random generator was seeded.
  std::optional<uint64_t> UsedSeed() const { return usedSeed_; }

 protected:
  // How the front end shows a box and a document; nothing by default.
  virtual void ShowBox(const MessageBox& /*box*/) {}
  virtual void ShowDocument(const std::string& /*path*/) {}

 private:
  std::optional<uint64_t> givenSeed_;
  std::optional<uint64_t> usedSeed_;
  std::vector<MessageBox> boxes_;
  std::vector<std::string> opened_;
  int32_t boxCount_ = 0;
};

// True for names the data folder listing leaves out: hidden files (".x") and
// lock files of spreadsheet programs ("~$x", ".~lock.x#").
bool IsHiddenOrLockFile(const std::string& name);

// Hands a file or an address to the desktop's opener (xdg-open); false when
// there is no desktop or no opener, or the opener failed.
bool OpenWithDesktop(const std::string& target);

}  // namespace fenban::app
