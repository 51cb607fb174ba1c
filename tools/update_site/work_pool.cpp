#include "update_site/work_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

unsigned DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

void RunParallel(size_t count, unsigned threads, const std::function<void(size_t)>& task) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr first_error;
  std::mutex error_mutex;
  auto work = [&] {
    for (size_t index; !failed && (index = next++) < count;) {
      try {
        task(index);
      } catch (...) {
        std::lock_guard lock(error_mutex);
        if (!first_error) first_error = std::current_exception();
        failed = true;
      }
    }
  };
  std::vector<std::jthread> helpers;
  const size_t helper_count = std::min<size_t>(std::max(1u, threads), count) - (count > 0 ? 1 : 0);
  for (size_t i = 0; i < helper_count; ++i) helpers.emplace_back(work);
  work();
  helpers.clear();  // joins
  if (first_error) std::rethrow_exception(first_error);
}

TaskPool::TaskPool(unsigned threads) {
  for (unsigned i = 0; i < std::max(1u, threads); ++i) threads_.emplace_back([this] { Work(); });
}

TaskPool::~TaskPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  threads_.clear();  // joins
}

void TaskPool::Push(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
  }
  ready_.notify_one();
}

void TaskPool::Work() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
  }
}
