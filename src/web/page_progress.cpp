#include "web/page_progress.h"

namespace fenban::web {

void PageProgress::Begin() {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = true;
  began_ = std::chrono::steady_clock::now();
  stage_.reset();
  figure_.reset();
}

void PageProgress::End() {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = false;
  stage_.reset();
  figure_.reset();
}

void PageProgress::Stage(host::WorkStage stage) {
  std::lock_guard<std::mutex> lock(mutex_);
  stage_ = stage;
  figure_.reset();
}

void PageProgress::Figure(const std::string& name, double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  figure_ = host::ProgressFigure{name, value};
}

void PageProgress::Done() {
  std::lock_guard<std::mutex> lock(mutex_);
  stage_.reset();
  figure_.reset();
}

nlohmann::json PageProgress::Json() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const double seconds =
      busy_ ? std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count() : 0.0;
  return {{"busy", busy_},
          {"text", busy_ && stage_ ? host::ProgressText(*stage_, figure_) : ""},
          {"seconds", seconds}};
}

}  // namespace fenban::web
