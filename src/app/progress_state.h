// Where long work has come, as the front ends keep it for showing: the
// stage and, while refining, the worst figure, told by the run's thread (or
// the refinement's threads) and read from another (the terminal's ticker,
// the page's progress requests), so every call is guarded.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "host/progress.h"

namespace fenban::app {

class ProgressState : public host::ProgressSink {
 public:
  void Stage(host::WorkStage stage) override;
  void Figure(const std::string& name, double value) override;
  // The work is over: no stage until the next.
  void Done() override;

  // What a progress line says now ("优化… 总分最大差 3.2"), "" with no stage.
  std::string Text() const;

 private:
  mutable std::mutex mutex_;
  std::optional<host::WorkStage> stage_;
  std::optional<host::ProgressFigure> figure_;
};

}  // namespace fenban::app
