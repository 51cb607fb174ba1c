#pragma once
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Runs an httplib::Server on a thread of its own from construction until Stop(), the deadline or
// destruction, whichever comes first. The server must be set up before and outlive this.
class BackgroundServer {
 public:
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;

  // Binds at once, so that Port() is known (port 0 takes a free one); raises std::runtime_error
  // when it cannot.
  BackgroundServer(httplib::Server& server, const std::string& address, uint16_t port, Deadline deadline = std::nullopt);
  ~BackgroundServer();
  BackgroundServer(const BackgroundServer&) = delete;
  BackgroundServer& operator=(const BackgroundServer&) = delete;

  uint16_t Port() const { return port_; }
  // From any thread, any number of times. Answers being sent end at their next piece.
  void Stop();
  // True from the moment the server is told to stop: handlers that wait check it.
  bool Stopping();
  // Waits until the server has stopped, or for at most `most`; true when it has stopped.
  bool WaitStopped(std::chrono::milliseconds most);

 private:
  void StopWhenTold(Deadline deadline);

  httplib::Server& server_;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_requested_ = false;
  bool listening_ended_ = false;
  std::jthread listener_;
  std::jthread stopper_;
};
