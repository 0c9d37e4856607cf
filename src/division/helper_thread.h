// A second thread that runs one job at a time while the caller does another,
// for searches that split their work into independent halves. Built on the
// C++ threads where the compiler has them and on the Windows API in the
// Windows server (whose compiler has no std::thread).
#pragma once

#include <functional>
#include <memory>

namespace fenban::division {

// The processors this machine offers (at least 1).
int HardwareThreads();

class HelperThread {
 public:
  HelperThread();
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Starts `job` on the helper; the caller must Wait() before the next Start.
  void Start(std::function<void()> job);
  // Returns when the job started last has finished.
  void Wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace fenban::division
