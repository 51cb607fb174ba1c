#pragma once
// Worker threads that decode candidate blocks in the order they were given, while one other
// thread, the one that feeds the package, takes their output in that order.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bzip2/bz2_candidate.h"

class Bz2BlockPool {
 public:
  // output_budget: the most unpacked bytes held for all blocks together; the oldest block may
  // always hold two chunks more, so it never waits for blocks that wait for it.
  Bz2BlockPool(unsigned threads, size_t output_budget, size_t chunk_size);
  // Stops the workers (each notices within one chunk or one slice of input) and joins them.
  ~Bz2BlockPool();
  Bz2BlockPool(const Bz2BlockPool&) = delete;
  Bz2BlockPool& operator=(const Bz2BlockPool&) = delete;

  void Submit(Bz2Candidate candidate);
  // Blocks given and not yet taken as done.
  size_t Size() const;

  struct News {
    enum class Kind { kNothing, kOutput, kDone, kFailed } kind = Kind::kNothing;
    std::vector<char> output;
  };
  // The oldest block's next news: a chunk of output, or its end once all its output has been
  // taken (kDone drops it, kFailed leaves it); with wait, blocks until there is news.
  News TakeOldest(bool wait);
  // A chunk of output delivered, for the workers to fill again.
  void GiveBack(std::vector<char>&& chunk);

  // The most unpacked bytes held at once so far.
  uint64_t PeakBuffered() const;

 private:
  struct Task;
  void Stop();
  void Work();
  bool Hold(Task& task, std::vector<char>& chunk);
  bool Fits(const Task& task, size_t size) const;
  std::vector<char> EmptyChunk();

  const size_t output_budget_;
  const size_t chunk_size_;
  mutable std::mutex mutex_;
  std::condition_variable work_;  // workers: a task to start, room for output, or stop
  std::condition_variable news_;  // the feeding thread: output or an end of the oldest task
  std::deque<std::shared_ptr<Task>> tasks_;  // oldest first
  size_t started_ = 0;                       // the first tasks_ that a worker has taken
  std::vector<std::vector<char>> spare_chunks_;
  size_t buffered_ = 0;
  uint64_t peak_buffered_ = 0;
  bool stopping_ = false;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};
