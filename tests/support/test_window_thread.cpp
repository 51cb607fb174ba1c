#include "support/test_window_thread.h"

#include <chrono>
#include <utility>

TestWindowThread::TestWindowThread() : window_thread_(std::this_thread::get_id()) {}

void TestWindowThread::RunSynchronized(const std::function<void()>& routine) {
  if (std::this_thread::get_id() == window_thread_) return routine();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_ == nullptr; });
  pending_ = &routine;
  pending_done_ = false;
  changed_.notify_all();
  changed_.wait(lock, [this] { return pending_done_; });
  pending_ = nullptr;
  std::exception_ptr error = std::exchange(pending_error_, nullptr);
  changed_.notify_all();
  if (error) std::rethrow_exception(error);
}

// Runs the pending routine, if there is one, with the lock released meanwhile.
bool TestWindowThread::ServeOne(std::unique_lock<std::mutex>& lock) {
  if (!pending_ || pending_done_) return false;
  const std::function<void()>* routine = pending_;
  lock.unlock();
  std::exception_ptr error;
  try {
    (*routine)();
  } catch (...) {
    error = std::current_exception();
  }
  lock.lock();
  pending_error_ = error;
  pending_done_ = true;
  ++served_;
  changed_.notify_all();
  return true;
}

void TestWindowThread::PumpUntil(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  while (!done()) {
    if (!ServeOne(lock)) changed_.wait_for(lock, std::chrono::milliseconds(5));
  }
}

void TestWindowThread::RunWorker(const std::function<void()>& body) {
  bool finished = false;
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      body();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(mutex_);
    finished = true;
    changed_.notify_all();
  });
  PumpUntil([&] { return finished; });
  worker.join();
  if (error) std::rethrow_exception(error);
}
