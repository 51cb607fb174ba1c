#pragma once
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "common/window_thread.h"

// The window thread of native tests: the thread that creates it. A worker's hand-over waits
// until that thread, pumping in RunWorker or PumpUntil, has run the routine; the routine's
// exception is raised again on the worker, as the real hand-over does.
class TestWindowThread : public WindowThread {
 public:
  TestWindowThread();

  void RunSynchronized(const std::function<void()>& routine) override;

  // Runs body on a new thread and serves its hand-overs here until it has ended; raises what
  // the body raised.
  void RunWorker(const std::function<void()>& body);
  // Serves hand-overs until done() holds (checked on this thread between hand-overs).
  void PumpUntil(const std::function<bool()>& done);
  int HandOvers() const { return served_; }

 private:
  bool ServeOne(std::unique_lock<std::mutex>& lock);

  std::thread::id window_thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::function<void()>* pending_ = nullptr;
  std::exception_ptr pending_error_;
  bool pending_done_ = false;
  int served_ = 0;
};
