#include "app/desktop_services.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include <fmt/format.h>

#include "host/constants.h"
#include "host/errors.h"

namespace fenban::app {

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

bool IsHiddenOrLockFile(const std::string& name) {
  if (name.empty() || name[0] == '.') return true;  // hidden, including ".~lock.x#"
  return name.rfind("~$", 0) == 0;
}

bool OpenWithDesktop(const std::string& target) {
  if (!HasDesktop()) return false;
  std::string opener = FindOnPath("xdg-open");
  return !opener.empty() && SpawnDetached(opener, target);
}

std::string DesktopServices::ShortDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return fmt::format("{:04d}-{:02d}-{:02d}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

uint64_t DesktopServices::RandomSeed() {
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

std::vector<std::string> DesktopServices::ListDirectory(const std::string& folder) {
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

int32_t DesktopServices::MsgBox(const std::string& prompt, int32_t style, const std::string& title) {
  // A notice leaves the command going; every other box ends it.
  if (style != host::kMsgInformation) ++boxCount_;
  boxes_.push_back({title, prompt, style});
  ShowBox(boxes_.back());
  return 1;
}

void DesktopServices::Beep(int32_t /*frequency*/, int32_t /*milliseconds*/) {}

void DesktopServices::OpenDocument(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) host::Raise(kErrFileNotFound, "文件未找到: " + path);
  opened_.push_back(path);
  ShowDocument(path);
}

}  // namespace fenban::app
