// The distinct cell formats of a workbook; cells refer to them by index.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "host/style.h"

namespace fenban::host {

class StylePool {
 public:
  StylePool();  // index 0 is the default format
  // The index of a format equal to style, adding it when new.
  uint32_t Intern(const CellStyle& style);
  const CellStyle& Get(uint32_t index) const { return styles_[index]; }
  size_t Size() const { return styles_.size(); }

 private:
  std::vector<CellStyle> styles_;
  std::unordered_map<size_t, std::vector<uint32_t>> byHash_;
};

}  // namespace fenban::host
