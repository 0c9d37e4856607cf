#include "app/guide.h"

#include <stdexcept>

namespace fenban::app {

const GuideFile* FindGuideFile(std::string_view name, const std::vector<GuideFile>& files) {
  for (const GuideFile& file : files) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

std::string_view GuideMarkdown() {
  const GuideFile* guide = FindGuideFile("教师指南.md");
  if (guide == nullptr) throw std::logic_error("the teacher's guide was not compiled in");
  return guide->bytes;
}

std::optional<PictureSize> PngSize(std::string_view bytes) {
  // The signature, then the IHDR chunk: length, "IHDR", width and height as
  // big-endian 32-bit numbers.
  constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.substr(0, 8) != kSignature || bytes.substr(12, 4) != "IHDR") return std::nullopt;
  auto number = [&](size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
  };
  return PictureSize{number(16), number(20)};
}

}  // namespace fenban::app
