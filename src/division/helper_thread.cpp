#include "division/helper_thread.h"

#include <atomic>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__linux__)
#include <sched.h>
#endif
#endif

namespace fenban::division {
namespace {
// Jobs follow one another within microseconds while a search hands them
// over, and waking a sleeping thread can take longer than that: both sides
// look for a while before they sleep.
template <typename Condition>
void SpinWhile(Condition condition) {
  for (int spin = 0; spin < 20'000 && condition(); ++spin) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
}
}  // namespace

#if defined(_WIN32)

int HardwareThreads() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

struct HelperThread::Impl {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE done = CONDITION_VARIABLE_INIT;
  std::function<void()> job;
  bool busy = false;
  bool stop = false;
  std::atomic<bool> busyNow{false};  // `busy`, for looking without the lock
  HANDLE thread = nullptr;

  static DWORD WINAPI Main(LPVOID self) {
    static_cast<Impl*>(self)->Loop();
    return 0;
  }
  void Loop() {
    AcquireSRWLockExclusive(&lock);
    for (;;) {
      if (!busy && !stop) {
        ReleaseSRWLockExclusive(&lock);
        SpinWhile([this] { return !busyNow.load(std::memory_order_acquire); });
        AcquireSRWLockExclusive(&lock);
      }
      while (!stop && !busy) SleepConditionVariableSRW(&wake, &lock, INFINITE, 0);
      if (!busy) break;
      std::function<void()> work = std::move(job);
      ReleaseSRWLockExclusive(&lock);
      work();
      AcquireSRWLockExclusive(&lock);
      busy = false;
      busyNow.store(false, std::memory_order_release);
      WakeConditionVariable(&done);
    }
    ReleaseSRWLockExclusive(&lock);
  }
};

HelperThread::HelperThread() : impl_(std::make_unique<Impl>()) {
  impl_->thread = CreateThread(nullptr, 0, &Impl::Main, impl_.get(), 0, nullptr);
}

HelperThread::~HelperThread() {
  AcquireSRWLockExclusive(&impl_->lock);
  impl_->stop = true;
  ReleaseSRWLockExclusive(&impl_->lock);
  WakeConditionVariable(&impl_->wake);
  if (impl_->thread != nullptr) {
    WaitForSingleObject(impl_->thread, INFINITE);
    CloseHandle(impl_->thread);
  }
}

void HelperThread::Start(std::function<void()> job) {
  if (impl_->thread == nullptr) {  // no thread could be made: the job runs here
    job();
    return;
  }
  AcquireSRWLockExclusive(&impl_->lock);
  impl_->job = std::move(job);
  impl_->busy = true;
  impl_->busyNow.store(true, std::memory_order_release);
  ReleaseSRWLockExclusive(&impl_->lock);
  WakeConditionVariable(&impl_->wake);
}

void HelperThread::Wait() {
  SpinWhile([this] { return impl_->busyNow.load(std::memory_order_acquire); });
  AcquireSRWLockExclusive(&impl_->lock);
  while (impl_->busy) SleepConditionVariableSRW(&impl_->done, &impl_->lock, INFINITE, 0);
  ReleaseSRWLockExclusive(&impl_->lock);
}

#else

int HardwareThreads() {
#if defined(__linux__)
  // The processors this process may run on (taskset, containers), not all
  // the machine has: a helper that shares one processor with its caller
  // only slows it down.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof(set), &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  const unsigned count = std::thread::hardware_concurrency();
  return count > 0 ? static_cast<int>(count) : 1;
}

struct HelperThread::Impl {
  std::mutex mutex;
  std::condition_variable wake, done;
  std::function<void()> job;
  bool busy = false;
  bool stop = false;
  std::atomic<bool> busyNow{false};  // `busy`, for looking without the lock
  std::thread thread;

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (!busy && !stop) {
        lock.unlock();
        SpinWhile([this] { return !busyNow.load(std::memory_order_acquire); });
        lock.lock();
      }
      wake.wait(lock, [this] { return stop || busy; });
      if (!busy) return;
      std::function<void()> work = std::move(job);
      lock.unlock();
      work();
      lock.lock();
      busy = false;
      busyNow.store(false, std::memory_order_release);
      done.notify_one();
    }
  }
};

HelperThread::HelperThread() : impl_(std::make_unique<Impl>()) {
  try {
    impl_->thread = std::thread([impl = impl_.get()] { impl->Loop(); });
  } catch (const std::system_error&) {
    // No thread could be made: the jobs run on the caller's.
  }
}

HelperThread::~HelperThread() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stop = true;
  }
  impl_->wake.notify_one();
  if (impl_->thread.joinable()) impl_->thread.join();
}

void HelperThread::Start(std::function<void()> job) {
  if (!impl_->thread.joinable()) {
    job();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->job = std::move(job);
    impl_->busy = true;
    impl_->busyNow.store(true, std::memory_order_release);
  }
  impl_->wake.notify_one();
}

void HelperThread::Wait() {
  SpinWhile([this] { return impl_->busyNow.load(std::memory_order_acquire); });
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->done.wait(lock, [this] { return !impl_->busy; });
}

#endif

}  // namespace fenban::division
