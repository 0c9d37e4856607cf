// The page's files (HTML, CSS, JavaScript), compiled into the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenban::web {

struct PageFile {
  std::string_view name;   // file name under src/web/page/, such as "app.js"
  std::string_view bytes;
};

// Every page file, by name (generated at build time).
const std::vector<PageFile>& PageFiles();

// The file of that name, or nullptr.
const PageFile* FindPageFile(std::string_view name);

// The Content-Type of a page file, told by its extension.
std::string PageContentType(std::string_view name);

}  // namespace fenban::web
