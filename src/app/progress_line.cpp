#include "app/progress_line.h"

#include <ostream>

#include <fmt/format.h>

namespace fenban::app {

namespace {

constexpr std::chrono::milliseconds kQuietStart{1000};
constexpr std::chrono::milliseconds kRedrawEvery{200};

}  // namespace

ProgressLine::ProgressLine(std::ostream& err, bool terminal, bool ticking, Clock clock)
    : err_(&err), terminal_(terminal), clock_(std::move(clock)), start_(clock_()) {
  if (!terminal_ || !ticking) return;
  ticker_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      wake_.wait_for(lock, kRedrawEvery);
      if (stopping_) break;
      lock.unlock();
      Tick();
      lock.lock();
    }
  });
}

ProgressLine::~ProgressLine() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  Clear();
}

void ProgressLine::Done() {
  ProgressState::Done();
  Clear();
}

void ProgressLine::Tick() {
  std::lock_guard<std::mutex> lock(mutex_);
  // Read under the line's lock: a Done in between clears the line after this draws it.
  const std::string stage = Text();
  if (!terminal_ || stage.empty()) return;
  const auto elapsed = clock_() - start_;
  if (elapsed < kQuietStart) return;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  const std::string text = fmt::format("{} {} 秒", stage, seconds);
  if (text == shown_) return;
  *err_ << "\r" << text << "\x1b[K" << std::flush;
  shown_ = text;
}

void ProgressLine::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
}

void ProgressLine::ClearLocked() {
  if (shown_.empty()) return;
  *err_ << "\r\x1b[K" << std::flush;
  shown_.clear();
}

}  // namespace fenban::app
