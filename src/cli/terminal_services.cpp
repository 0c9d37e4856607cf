#include "cli/terminal_services.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>

#include "cli/english_gloss.h"

namespace fenban::cli {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

TerminalServices::TerminalServices(std::ostream& out, std::ostream& err, std::optional<uint64_t> seed, bool bell)
    : DesktopServices(seed), out_(&out), err_(&err), bellRings_(bell) {}

std::string BoxTextForTerminal(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      line += ' ';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

void TerminalServices::ShowBox(const app::MessageBox& box) {
  const std::string english = EnglishGloss(box.text);
  *err_ << box.title << ": " << BoxTextForTerminal(box.text) << (english.empty() ? "" : " (" + english + ")")
        << '\n';
  err_->flush();
}

void TerminalServices::Beep(int32_t /*frequency*/, int32_t /*milliseconds*/) {
  // The terminal's own bell; nothing when standard error goes to a file or a pipe.
  if (bellRings_) *err_ << '\a' << std::flush;
}

void TerminalServices::ShowDocument(const std::string& path) {
  if (app::OpenWithDesktop(path)) {
    *out_ << "已打开 opened: " << path << '\n';
    return;
  }
  *out_ << "帮助文档 help document: " << path << '\n';
}

size_t TerminalWidth() {
  constexpr size_t kFallback = 80;
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long value = std::strtol(columns, &end, 10);
    if (end != columns && *end == '\0' && value >= 20 && value <= 1000) return static_cast<size_t>(value);
  }
  winsize size{};
  if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) {
    return size.ws_col;
  }
  return kFallback;
}

}  // namespace fenban::cli
