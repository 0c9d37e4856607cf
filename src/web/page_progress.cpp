#include "web/page_progress.h"

namespace fenban::web {

void PageProgress::Begin() {
  Done();
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = true;
  began_ = std::chrono::steady_clock::now();
}

void PageProgress::End() {
  Done();
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = false;
}

nlohmann::json PageProgress::Json() const {
  const std::string text = Text();
  std::lock_guard<std::mutex> lock(mutex_);
  const double seconds =
      busy_ ? std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count() : 0.0;
  return {{"busy", busy_}, {"text", busy_ ? text : ""}, {"seconds", seconds}};
}

}  // namespace fenban::web
