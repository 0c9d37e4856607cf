#include "web/page_files.h"

namespace fenban::web {

const PageFile* FindPageFile(std::string_view name) {
  for (const PageFile& file : PageFiles()) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

std::string PageContentType(std::string_view name) {
  auto endsWith = [&](std::string_view suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
  };
  if (endsWith(".html")) return "text/html; charset=utf-8";
  if (endsWith(".css")) return "text/css; charset=utf-8";
  if (endsWith(".js")) return "text/javascript; charset=utf-8";
  if (endsWith(".svg")) return "image/svg+xml";
  return "application/octet-stream";
}

}  // namespace fenban::web
