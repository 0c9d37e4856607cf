#include "app/progress_state.h"

namespace fenban::app {

void ProgressState::Stage(host::WorkStage stage) {
  std::lock_guard<std::mutex> lock(mutex_);
  stage_ = stage;
  figure_.reset();
}

void ProgressState::Figure(const std::string& name, double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  figure_ = host::ProgressFigure{name, value};
}

void ProgressState::Done() {
  std::lock_guard<std::mutex> lock(mutex_);
  stage_.reset();
  figure_.reset();
}

std::string ProgressState::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stage_ ? host::ProgressText(*stage_, figure_) : "";
}

}  // namespace fenban::app
