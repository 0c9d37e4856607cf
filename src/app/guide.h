// The teacher's guide, docs/教师指南.md, and its pictures (docs/images/*.png),
// compiled into the program: help.doc and the page's help are made from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace fenban::app {

struct GuideFile {
  std::string_view name;  // path under docs/, such as "教师指南.md" or "images/page-form.png"
  std::string_view bytes;
};

// The guide and its pictures (generated at build time by cmake/embed_files.cmake).
const std::vector<GuideFile>& GuideFiles();

// The file of that name among `files`, or nullptr.
const GuideFile* FindGuideFile(std::string_view name, const std::vector<GuideFile>& files = GuideFiles());

// The guide's markdown text.
std::string_view GuideMarkdown();

struct PictureSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// The pixel size a PNG file states in its header; nothing when the bytes are
// not a PNG file.
std::optional<PictureSize> PngSize(std::string_view bytes);

}  // namespace fenban::app
