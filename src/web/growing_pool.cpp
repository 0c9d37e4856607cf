#include "web/growing_pool.h"

namespace fenban::web {

GrowingPool::GrowingPool(size_t least, size_t most) : most_(most) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < least; ++i) threads_.emplace_back([this] { Work(); });
}

GrowingPool::~GrowingPool() { shutdown(); }

void GrowingPool::enqueue(std::function<void()> job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return;
  jobs_.push_back(std::move(job));
  // Every waiting job needs a free thread; the new one takes it at once.
  if (idle_ < jobs_.size() && threads_.size() < most_) threads_.emplace_back([this] { Work(); });
  ready_.notify_one();
}

void GrowingPool::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  ready_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

size_t GrowingPool::ThreadCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return threads_.size();
}

void GrowingPool::Work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++idle_;
      ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;  // stopping, with nothing left to do
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace fenban::web
