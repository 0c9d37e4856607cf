#include "cli/terminal_services.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <random>
#include <system_error>

#include <fmt/format.h>

#include "cli/english_gloss.h"
#include "host/constants.h"
#include "host/errors.h"

namespace fenban::cli {

namespace fs = std::filesystem;

namespace {

// Error numbers of the file system, as the object model reports them.
constexpr int32_t kErrFileNotFound = 53;
constexpr int32_t kErrPathNotFound = 76;

bool HasDesktop() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Full path of an executable found on PATH, or "" when there is none.
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    if (!folder.empty()) {
      std::string candidate = folder + "/" + program;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return "";
}

// Starts the opener in its own session, detached from this program: the
// child forks again and exits at once, so no zombie stays behind.
bool SpawnDetached(const std::string& program, const std::string& argument) {
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    pid_t grandChild = ::fork();
    if (grandChild != 0) ::_exit(grandChild < 0 ? 1 : 0);
    int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDOUT_FILENO);
      ::dup2(devNull, STDERR_FILENO);
    }
    ::execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

TerminalServices::TerminalServices(std::ostream& out, std::ostream& err, std::optional<uint64_t> seed, bool bell)
    : out_(&out), err_(&err), givenSeed_(seed), bellRings_(bell) {}

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

bool IsHiddenOrLockFile(const std::string& name) {
  if (name.empty() || name[0] == '.') return true;  // hidden, including ".~lock.x#"
  return name.rfind("~$", 0) == 0;
}

bool OpenWithDesktop(const std::string& target) {
  if (!HasDesktop()) return false;
  std::string opener = FindOnPath("xdg-open");
  return !opener.empty() && SpawnDetached(opener, target);
}

int32_t TerminalServices::MsgBox(const std::string& prompt, int32_t style, const std::string& title) {
  // A notice leaves the command going; every other box ends it.
  if (style != host::kMsgInformation) ++boxCount_;
  const std::string english = EnglishGloss(prompt);
  *err_ << title << ": " << BoxTextForTerminal(prompt) << (english.empty() ? "" : " (" + english + ")") << '\n';
  err_->flush();
  return 1;
}

void TerminalServices::Beep(int32_t /*frequency*/, int32_t /*milliseconds*/) {
  // The terminal's own bell; nothing when standard error goes to a file or a pipe.
  if (bellRings_) *err_ << '\a' << std::flush;
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

std::string TerminalServices::ShortDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return fmt::format("{:04d}-{:02d}-{:02d}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

uint64_t TerminalServices::RandomSeed() {
  if (!usedSeed_) {
    if (givenSeed_) {
      usedSeed_ = *givenSeed_;
    } else {
      std::random_device device;
      uint64_t fromDevice = (static_cast<uint64_t>(device()) << 32) ^ device();
      auto ticks = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
      // Keep it short enough to type back in with --seed.
      usedSeed_ = (fromDevice ^ ticks) % 1000000000ULL;
    }
  }
  return *usedSeed_;
}

std::vector<std::string> TerminalServices::ListDirectory(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) host::Raise(kErrPathNotFound, "路径未找到: " + folder);
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (IsHiddenOrLockFile(name)) continue;
    names.push_back(name);
  }
  if (ec) host::Raise(kErrPathNotFound, "无法读取文件夹: " + folder);
  std::sort(names.begin(), names.end());  // byte order, so list positions stay stable
  return names;
}

void TerminalServices::OpenDocument(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) host::Raise(kErrFileNotFound, "文件未找到: " + path);
  if (OpenWithDesktop(path)) {
    *out_ << "已打开 opened: " << path << '\n';
    return;
  }
  *out_ << "帮助文档 help document: " << path << '\n';
}

}  // namespace fenban::cli
