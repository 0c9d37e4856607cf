// The platform services of the terminal program: the desktop's (clock,
// seed, data folder listing), with message boxes printed to standard error,
// the beep ringing the terminal's bell, and documents handed to the
// desktop's opener when there is one, else their path printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/desktop_services.h"

namespace fenban::cli {

bool StandardErrorIsTerminal();

class TerminalServices : public app::DesktopServices {
 public:
  // out receives notes, err the message boxes and the bell. The beep rings
  // the bell on err when `bell` is set (by default: when standard error is a
  // terminal).
  TerminalServices(std::ostream& out, std::ostream& err, std::optional<uint64_t> seed,
                   bool bell = StandardErrorIsTerminal());

  void Beep(int32_t frequency, int32_t milliseconds) override;

 protected:
  void ShowBox(const app::MessageBox& box) override;
  void ShowDocument(const std::string& path) override;

 private:
  std::ostream* out_;
  std::ostream* err_;
  bool bellRings_;  // standard error is a terminal
};

// Display columns for the summary: COLUMNS when set, else the terminal's
// width, else 80.
size_t TerminalWidth();

// A message box's text as one terminal line: "\r\n" and a lone "\r" (the
// error box's line break) become a space.
std::string BoxTextForTerminal(const std::string& text);

}  // namespace fenban::cli
