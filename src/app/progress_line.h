// Long work on the terminal: one line on standard error, rewritten in place
// ("\r"), that says the stage and the seconds it has taken ("分班… 3 秒",
// "优化… 总分最大差 3.2 · 12 秒"). Nothing is shown for a run that ends
// within the first second, and nothing at all unless standard error is a
// terminal: piped output never carries the line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

#include "app/progress_state.h"

namespace fenban::app {

class ProgressLine final : public ProgressState {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // `terminal`: whether err is a terminal. With `ticking`, a thread redraws
  // the line a few times a second; without it the caller calls Tick.
  ProgressLine(std::ostream& err, bool terminal, bool ticking = true, Clock clock = std::chrono::steady_clock::now);
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The work is over: the line goes.
  void Done() override;
  // Draws the line when the run has taken a second and it says something new.
  void Tick();
  // Takes the line away, before other text is printed (it comes back at the next tick).
  void Clear();

 private:
  void ClearLocked();

  std::ostream* err_;
  const bool terminal_;
  Clock clock_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::string shown_;  // the text on the line, "" when none
  bool stopping_ = false;
  std::condition_variable wake_;
  std::thread ticker_;
};

}  // namespace fenban::app
