// What the commands need from the platform: message boxes, beep, clock,
// random seed, directory listing, document opener. Front ends supply it;
// tests use a recording implementation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/progress.h"

namespace fenban::host {

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // A modal message box; style 0 plain, 16 stop, 48 exclamation. Returns the button (1 = OK).
  virtual int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) = 0;
  virtual void Beep(int32_t frequency, int32_t milliseconds) = 0;
  // Today's date in the system's short date form (for example "2026-12-07").
  virtual std::string ShortDate() = 0;
  // A seed for the random generator: from the clock, or a fixed one.
  virtual uint64_t RandomSeed() = 0;
  // File names (no folder) of the regular, non-hidden files of a folder, in
  // listing order. A missing folder raises a run-time error.
  virtual std::vector<std::string> ListDirectory(const std::string& folder) = 0;
  // Opens a document in the platform's viewer. A missing document raises a run-time error.
  virtual void OpenDocument(const std::string& path) = 0;
  // Where long work reports its stages; none by default.
  virtual ProgressSink* Progress() { return nullptr; }
};

}  // namespace fenban::host
