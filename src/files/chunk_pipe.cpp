#include "files/chunk_pipe.h"

#include <utility>

namespace fenban::files {

ChunkPipe::ChunkPipe(size_t depth) : depth_(depth == 0 ? 1 : depth) {}

std::vector<char> ChunkPipe::Spare() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (spare_.empty()) return {};
  std::vector<char> buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

bool ChunkPipe::Put(std::vector<char> chunk) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || full_.size() < depth_; });
  if (stopped_) return false;
  full_.push_back(std::move(chunk));
  changed_.notify_all();
  return true;
}

void ChunkPipe::Finish(std::exception_ptr failure) {
  const std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  failure_ = std::move(failure);
  changed_.notify_all();
}

bool ChunkPipe::Take(std::vector<char>& chunk) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !full_.empty() || finished_; });
  if (!full_.empty()) {
    chunk = std::move(full_.front());
    full_.pop_front();
    changed_.notify_all();
    return true;
  }
  if (failure_) std::rethrow_exception(failure_);
  return false;
}

void ChunkPipe::Recycle(std::vector<char> buffer) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (spare_.size() < depth_ + 1) spare_.push_back(std::move(buffer));
}

void ChunkPipe::Stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  full_.clear();
  changed_.notify_all();
}

}  // namespace fenban::files
