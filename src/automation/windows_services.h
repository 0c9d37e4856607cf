// The platform services on Windows: message boxes owned by the host
// application's window, the speaker beep, the user's short date, the data
// folder's listing, a clock seed, and documents opened in a new visible
// word processor ("Word.Application") or else the default program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/services.h"

namespace fenban::automation {

class WindowsServices : public host::PlatformServices {
 public:
  // `owner` is the window that owns message boxes (null: none).
  explicit WindowsServices(HWND owner) : owner_(owner) {}

  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override;
  void Beep(int32_t frequency, int32_t milliseconds) override;
  std::string ShortDate() override;
  uint64_t RandomSeed() override;
  // The folder's files with normal attributes (ordinary, read-only, archive;
  // no folders, hidden or system files) in the order the file system lists
  // them. A missing folder raises run-time error 76.
  std::vector<std::string> ListDirectory(const std::string& folder) override;
  // A new, visible "Word.Application" opens the document; without a
  // registered word processor the document's default program opens it.
  void OpenDocument(const std::string& path) override;

 private:
  HWND owner_;
};

}  // namespace fenban::automation
