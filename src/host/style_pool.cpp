#include "host/style_pool.h"

#include <functional>

namespace fenban::host {

namespace {

void Mix(size_t& seed, size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); }

size_t HashStyle(const CellStyle& style) {
  size_t seed = 0;
  Mix(seed, std::hash<double>()(style.fontSize));
  Mix(seed, style.bold ? 1 : 0);
  Mix(seed, std::hash<int32_t>()(style.fontColor));
  Mix(seed, std::hash<int32_t>()(style.fillColorIndex));
  for (int32_t border : style.borders) Mix(seed, std::hash<int32_t>()(border));
  Mix(seed, std::hash<int32_t>()(style.horizontalAlignment));
  Mix(seed, std::hash<int32_t>()(style.verticalAlignment));
  Mix(seed, style.wrapText ? 1 : 0);
  Mix(seed, std::hash<std::string>()(style.numberFormat));
  return seed;
}

}  // namespace

StylePool::StylePool() {
  styles_.emplace_back();
  byHash_[HashStyle(styles_.front())].push_back(0);
}

uint32_t StylePool::Intern(const CellStyle& style) {
  auto& bucket = byHash_[HashStyle(style)];
  for (uint32_t index : bucket) {
    if (styles_[index] == style) return index;
  }
  const auto index = static_cast<uint32_t>(styles_.size());
  styles_.push_back(style);
  bucket.push_back(index);
  return index;
}

}  // namespace fenban::host
