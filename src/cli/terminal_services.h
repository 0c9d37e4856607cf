// The platform services of the terminal program: message boxes are printed,
// the beep rings the terminal's bell, the date and the random seed come from the system clock (or
// --seed), the data folder is listed in a stable order, and documents are
// handed to the desktop's opener when there is one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "host/services.h"

namespace fenban::cli {

bool StandardErrorIsTerminal();

class TerminalServices : public host::PlatformServices {
 public:
  // out receives notes, err the message boxes and the bell. A given seed is
  // returned by every RandomSeed call; otherwise one is drawn once.
  // The beep rings the bell on err when `bell` is set (by default: when
  // standard error is a terminal).
  TerminalServices(std::ostream& out, std::ostream& err, std::optional<uint64_t> seed,
                   bool bell = StandardErrorIsTerminal());

  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override;
  void Beep(int32_t frequency, int32_t milliseconds) override;
  std::string ShortDate() override;
  uint64_t RandomSeed() override;
  std::vector<std::string> ListDirectory(const std::string& folder) override;
  void OpenDocument(const std::string& path) override;

  // Number of message boxes shown so far, notices (kMsgInformation) left out.
  int32_t BoxCount() const { return boxCount_; }
  // The seed handed out, when the random generator was seeded.
  std::optional<uint64_t> UsedSeed() const { return usedSeed_; }

 private:
  std::ostream* out_;
  std::ostream* err_;
  std::optional<uint64_t> givenSeed_;
  std::optional<uint64_t> usedSeed_;
  int32_t boxCount_ = 0;
  bool bellRings_;  // standard error is a terminal
};

// Display columns for the summary: COLUMNS when set, else the terminal's
// width, else 80.
size_t TerminalWidth();

// A message box's text as one terminal line: "\r\n" and a lone "\r" (the
// error box's line break) become a space.
std::string BoxTextForTerminal(const std::string& text);

// True for names the data folder listing leaves out: hidden files (".x") and
// lock files of spreadsheet programs ("~$x", ".~lock.x#").
bool IsHiddenOrLockFile(const std::string& name);

// Hands a file or an address to the desktop's opener (xdg-open); false when
// there is no desktop or no opener, or the opener failed.
bool OpenWithDesktop(const std::string& target);

}  // namespace fenban::cli
