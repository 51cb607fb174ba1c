#include "update_site/server/background_server.h"

#include <stdexcept>

namespace {

// The port can be bound again at once after an earlier server closed its connections (they
// wait out TIME_WAIT on it), but never while another program listens there. cpp-httplib sets
// only SO_REUSEPORT on Linux, which allows neither the first nor refuses the second; on Windows
// it already sets SO_REUSEADDR with SO_EXCLUSIVEADDRUSE, which does both.
void ReusableAddress(socket_t socket) {
  int yes = 1;
#ifdef _WIN32
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof(yes));
  setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof(yes));
#else
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
#endif
}

}  // namespace

BackgroundServer::BackgroundServer(httplib::Server& server, const std::string& address, uint16_t port, Deadline deadline)
    : server_(server) {
  server_.set_socket_options(ReusableAddress);
  const int bound = port == 0 ? server_.bind_to_any_port(address) : (server_.bind_to_port(address, port) ? port : -1);
  if (bound <= 0) throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
  port_ = static_cast<uint16_t>(bound);
  listener_ = std::jthread([this] {
    server_.listen_after_bind();
    std::lock_guard lock(mutex_);
    listening_ended_ = true;
    changed_.notify_all();
  });
  stopper_ = std::jthread([this, deadline] { StopWhenTold(deadline); });
}

BackgroundServer::~BackgroundServer() {
  Stop();
  stopper_.join();
  listener_.join();
}

void BackgroundServer::Stop() {
  std::lock_guard lock(mutex_);
  stop_requested_ = true;
  changed_.notify_all();
}

bool BackgroundServer::Stopping() {
  std::lock_guard lock(mutex_);
  return stop_requested_;
}

bool BackgroundServer::WaitStopped(std::chrono::milliseconds most) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, most, [this] { return listening_ended_; });
}

// httplib's stop() acts only on a server already in its accept loop, and must be called once.
void BackgroundServer::StopWhenTold(Deadline deadline) {
  std::unique_lock lock(mutex_);
  auto told = [this] { return stop_requested_ || listening_ended_; };
  if (deadline) {
    changed_.wait_until(lock, *deadline, told);
  } else {
    changed_.wait(lock, told);
  }
  stop_requested_ = true;
  while (!listening_ended_) {
    if (server_.is_running()) {
      lock.unlock();
      server_.stop();
      return;
    }
    changed_.wait_for(lock, std::chrono::milliseconds(10));
  }
}
