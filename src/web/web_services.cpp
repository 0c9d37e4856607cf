#include "web/web_services.h"

#include <filesystem>
#include <system_error>

#include "host/errors.h"

namespace fenban::web {

namespace {
constexpr int32_t kErrFileNotFound = 53;
}

int32_t WebServices::MsgBox(const std::string& prompt, int32_t style, const std::string& title) {
  boxes_.push_back({title, prompt, style});
  return TerminalServices::MsgBox(prompt, style, title);
}

void WebServices::OpenDocument(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) host::Raise(kErrFileNotFound, "文件未找到: " + path);
  opened_.push_back(path);
}

}  // namespace fenban::web
