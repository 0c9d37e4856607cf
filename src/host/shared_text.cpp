#include "host/shared_text.h"

#include <utility>

namespace fenban::host {

SharedText::SharedText(std::string text) : block_(new Block{{1}, std::move(text)}) {}

const std::string& SharedText::EmptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace fenban::host
