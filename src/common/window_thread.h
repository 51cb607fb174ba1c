#pragma once
#include <functional>

// The synchronous hand-over from the update worker to the window thread: the routine runs on
// the window thread while the caller waits for it to finish. On Windows a message sent to the
// main window; in native tests a small event loop.
class WindowThread {
 public:
  virtual ~WindowThread() = default;
  virtual void RunSynchronized(const std::function<void()>& routine) = 0;
};
