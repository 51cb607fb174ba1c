#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The little of TCP the development server needs, over POSIX sockets or Winsock.
namespace net {

// Keeps the system's socket library started while it lives (Winsock needs it; POSIX does not).
class NetworkUse {
 public:
  NetworkUse();
  ~NetworkUse();
  NetworkUse(const NetworkUse&) = delete;
  NetworkUse& operator=(const NetworkUse&) = delete;
};

// One socket, closed by its destructor. Move-only.
class Socket {
 public:
  // Receive's answer when nothing arrived in time.
  static constexpr long kTimedOut = -1;

  Socket() = default;
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Listens on an IPv4 address ("127.0.0.1"); port 0 picks a free one. Raises std::runtime_error.
  static Socket Listen(const std::string& address, uint16_t port);
  // Connects to an IPv4 address; an invalid socket when that fails.
  static Socket Connect(const std::string& address, uint16_t port);

  bool Valid() const;
  uint16_t LocalPort() const;
  // Waits up to timeout_ms for a connection; an invalid socket when none came.
  Socket Accept(int timeout_ms) const;
  // Waits up to timeout_ms for data: the number of bytes received, 0 when the peer closed or
  // the connection failed, kTimedOut when nothing came.
  long Receive(char* buffer, size_t size, int timeout_ms) const;
  // Sends everything; false when the connection failed or stalled for timeout_ms.
  bool SendAll(const char* data, size_t size, int timeout_ms) const;

 private:
  explicit Socket(intptr_t handle) : handle_(handle) {}
  void Close();
  intptr_t handle_ = -1;
};

}  // namespace net
