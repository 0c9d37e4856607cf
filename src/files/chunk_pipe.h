// A bounded hand-over of byte chunks from one producer thread to one
// consumer: the producer inflates a part while the consumer parses what came
// before. A failure on either side ends both.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

namespace fenban::files {

class ChunkPipe {
 public:
  // At most `depth` chunks wait for the consumer at a time.
  explicit ChunkPipe(size_t depth);

  // Producer: a buffer to fill, one the consumer gave back when there is one.
  std::vector<char> Spare();
  // Producer: queues a chunk, waiting while the queue is full. False when the
  // consumer has stopped, so the producer should end.
  bool Put(std::vector<char> chunk);
  // Producer: no more chunks. A failure reaches the consumer after the
  // chunks queued before it.
  void Finish(std::exception_ptr failure = nullptr);

  // Consumer: the next chunk, waiting for it; false once the producer has
  // finished and every chunk was taken. Rethrows the producer's failure.
  bool Take(std::vector<char>& chunk);
  // Consumer: gives a used buffer back for the producer to fill again.
  void Recycle(std::vector<char> buffer);
  // Consumer: takes no more chunks; a waiting producer is released.
  void Stop();

 private:
  const size_t depth_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<char>> full_;
  std::vector<std::vector<char>> spare_;
  bool finished_ = false;
  bool stopped_ = false;
  std::exception_ptr failure_;
};

}  // namespace fenban::files
