#include "bzip2/bz2_block_pool.h"

#include <algorithm>

namespace {
// Chunks kept for reuse: fresh memory costs a page fault every 4 KiB.
constexpr size_t kSpareChunks = 4;
}  // namespace

struct Bz2BlockPool::Task {
  explicit Task(Bz2Candidate c) : candidate(std::move(c)) {}
  Bz2Candidate candidate;  // read by its worker alone, and released once decoded
  enum class State { kWaiting, kRunning, kDone, kFailed } state = State::kWaiting;
  std::deque<std::vector<char>> chunks;
  size_t buffered = 0;
};

Bz2BlockPool::Bz2BlockPool(unsigned threads, size_t output_budget, size_t chunk_size)
    : output_budget_(output_budget), chunk_size_(chunk_size) {
  threads_.reserve(threads);
  try {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop();
    throw;
  }
}

Bz2BlockPool::~Bz2BlockPool() { Stop(); }

void Bz2BlockPool::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void Bz2BlockPool::Submit(Bz2Candidate candidate) {
  auto task = std::make_shared<Task>(std::move(candidate));
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  work_.notify_one();
}

size_t Bz2BlockPool::Size() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

// Tasks start in order, so the oldest task is always running or done whenever a worker is
// free: no task waits for output room that only a task not yet started could make.
void Bz2BlockPool::Work() {
  Bz2MemoryCache memory;
  for (;;) {
    std::shared_ptr<Task> task;
    {
      std::unique_lock lock(mutex_);
      work_.wait(lock, [&] { return stopping_ || started_ < tasks_.size(); });
      if (stopping_) return;
      task = tasks_[started_++];
      task->state = Task::State::kRunning;
    }
    bool decoded = false;
    try {
      decoded = DecodeBz2Candidate(task->candidate, EmptyChunk(),
                                   [&](std::vector<char>& chunk) { return Hold(*task, chunk); }, memory, stop_);
    } catch (...) {
      decoded = false;  // out of memory: the block counts as not decoded, and is decoded again in order
    }
    task->candidate = Bz2Candidate();
    {
      std::lock_guard lock(mutex_);
      task->state = decoded ? Task::State::kDone : Task::State::kFailed;
    }
    news_.notify_one();
  }
}

bool Bz2BlockPool::Fits(const Task& task, size_t size) const {
  const bool oldest = !tasks_.empty() && tasks_.front().get() == &task;
  return buffered_ + size <= output_budget_ || (oldest && task.buffered < 2 * chunk_size_);
}

bool Bz2BlockPool::Hold(Task& task, std::vector<char>& chunk) {
  {
    std::unique_lock lock(mutex_);
    work_.wait(lock, [&] { return stopping_ || Fits(task, chunk.capacity()); });
    if (stopping_) return false;
    buffered_ += chunk.capacity();
    task.buffered += chunk.capacity();
    peak_buffered_ = std::max<uint64_t>(peak_buffered_, buffered_);
    task.chunks.push_back(std::move(chunk));
  }
  news_.notify_one();
  chunk = EmptyChunk();
  return true;
}

std::vector<char> Bz2BlockPool::EmptyChunk() {
  {
    std::lock_guard lock(mutex_);
    if (!spare_chunks_.empty()) {
      std::vector<char> chunk = std::move(spare_chunks_.back());
      spare_chunks_.pop_back();
      chunk.resize(chunk_size_);
      return chunk;
    }
  }
  return std::vector<char>(chunk_size_);
}

void Bz2BlockPool::GiveBack(std::vector<char>&& chunk) {
  std::lock_guard lock(mutex_);
  if (spare_chunks_.size() < kSpareChunks && chunk.capacity() == chunk_size_) spare_chunks_.push_back(std::move(chunk));
}

Bz2BlockPool::News Bz2BlockPool::TakeOldest(bool wait) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (tasks_.empty()) return {};
    Task& oldest = *tasks_.front();
    if (!oldest.chunks.empty()) {
      News news{News::Kind::kOutput, std::move(oldest.chunks.front())};
      oldest.chunks.pop_front();
      buffered_ -= news.output.capacity();
      oldest.buffered -= news.output.capacity();
      lock.unlock();
      work_.notify_all();
      return news;
    }
    if (oldest.state == Task::State::kDone) {
      tasks_.pop_front();
      --started_;
      lock.unlock();
      work_.notify_all();  // another task is now the oldest, with its own allowance
      return {News::Kind::kDone, {}};
    }
    if (oldest.state == Task::State::kFailed) return {News::Kind::kFailed, {}};
    if (!wait) return {};
    news_.wait(lock);
  }
}

uint64_t Bz2BlockPool::PeakBuffered() const {
  std::lock_guard lock(mutex_);
  return peak_buffered_;
}
