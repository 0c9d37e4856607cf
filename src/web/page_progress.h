// What the page shows while a command runs: the stage the command has
// reached and, while refining, its worst figure. The command's run reports
// to it; the page asks for it (GET /api/progress) while it waits, from
// another connection, so every call is guarded.
#pragma once

#include <chrono>
#include <mutex>

#include <nlohmann/json.hpp>

#include "app/progress_state.h"

namespace fenban::web {

class PageProgress final : public app::ProgressState {
 public:
  // A command begins and ends.
  void Begin();
  void End();

  // {"busy": bool, "text": "优化… 总分最大差 3.2" or "", "seconds": since the command began}.
  nlohmann::json Json() const;

 private:
  mutable std::mutex mutex_;
  bool busy_ = false;
  std::chrono::steady_clock::time_point began_;
};

}  // namespace fenban::web
