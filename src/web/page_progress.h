// What the page shows while a command runs: the stage the command has
// reached and, while refining, its worst figure. The command's run reports
// to it; the page asks for it (GET /api/progress) while it waits, from
// another connection, so every call is guarded.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/progress.h"

namespace fenban::web {

class PageProgress final : public host::ProgressSink {
 public:
  // A command begins and ends.
  void Begin();
  void End();

  void Stage(host::WorkStage stage) override;
  void Figure(const std::string& name, double value) override;
  void Done() override;

  // {"busy": bool, "text": "优化… 总分最大差 3.2" or "", "seconds": since the command began}.
  nlohmann::json Json() const;

 private:
  mutable std::mutex mutex_;
  bool busy_ = false;
  std::chrono::steady_clock::time_point began_;
  std::optional<host::WorkStage> stage_;
  std::optional<host::ProgressFigure> figure_;
};

}  // namespace fenban::web
