#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

// All the processor's cores (at least one).
unsigned DefaultJobs();

// Runs task(0) to task(count - 1) on up to `threads` threads, in index order of taking. The first
// task that raises stops the others from taking more; it is raised again once all have stopped.
void RunParallel(size_t count, unsigned threads, const std::function<void(size_t index)>& task);

// A fixed set of threads that take submitted tasks in the order given; a task's result or
// exception comes through its future. The destructor drops the tasks not yet taken (their
// futures report a broken promise) and waits for the running ones. The threads wait on a plain
// condition variable: libstdc++ 12's condition_variable_any wait with a stop token can
// deadlock when the stop comes from another thread (seen under Wine, about one build in a
// hundred hung in the pool's destructor).
class TaskPool {
 public:
  explicit TaskPool(unsigned threads);
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  template <typename Task>
  std::future<std::invoke_result_t<Task>> Submit(Task task) {
    auto packaged = std::make_shared<std::packaged_task<std::invoke_result_t<Task>()>>(std::move(task));
    auto result = packaged->get_future();
    Push([packaged] { (*packaged)(); });
    return result;
  }

 private:
  void Push(std::function<void()> task);
  void Work();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;  // under mutex_
  std::vector<std::jthread> threads_;  // last, so that they stop before the queue goes
};
