// Data validation of a block of cells.
#pragma once

#include <cstdint>
#include <string>

#include "host/rect.h"

namespace fenban::host {

struct ValidationRule {
  Rect area;
  int32_t type = 0;        // kValidateList = 3, ...
  int32_t alertStyle = 1;  // 1 stop, 2 warning, 3 information
  int32_t op = 1;          // 1 between, ...
  std::string formula1;    // for a list: "是,否"
  std::string formula2;
  bool ignoreBlank = true;
  bool showInput = true, showError = true;
  std::string inputTitle, inputMessage, errorTitle, errorMessage;
  bool operator==(const ValidationRule&) const = default;
};

}  // namespace fenban::host
