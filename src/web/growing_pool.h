// The threads that serve the page's connections. The server gives each
// connection a thread for as long as it stays open, so a connection that
// sends nothing holds one until its time-out; this pool starts another
// thread whenever none is free, so that such connections never keep the
// page waiting, up to a bound that keeps a flood from exhausting the system.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace fenban::web {

class GrowingPool : public httplib::TaskQueue {
 public:
  GrowingPool(size_t least, size_t most);
  ~GrowingPool() override;

  void enqueue(std::function<void()> job) override;
  void shutdown() override;

  size_t ThreadCount();

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  size_t most_;
  bool stopping_ = false;
};

}  // namespace fenban::web
