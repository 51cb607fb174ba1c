#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "update_site/socket.h"

namespace net {
namespace {

bool WaitFor(int fd, short events, int timeout_ms) {
  pollfd entry{fd, events, 0};
  for (;;) {
    int ready = poll(&entry, 1, timeout_ms);
    if (ready >= 0) return ready > 0;
    if (errno != EINTR) return false;
  }
}

sockaddr_in AddressOf(const std::string& address, uint16_t port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
    throw std::runtime_error("\"" + address + "\" is not an IPv4 address");
  }
  return where;
}

}  // namespace

NetworkUse::NetworkUse() = default;
NetworkUse::~NetworkUse() = default;

Socket::~Socket() { Close(); }
Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

void Socket::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

bool Socket::Valid() const { return handle_ >= 0; }

Socket Socket::Listen(const std::string& address, uint16_t port) {
  sockaddr_in where = AddressOf(address, port);
  Socket listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener.Valid()) throw std::runtime_error(std::string("cannot make a socket: ") + std::strerror(errno));
  int yes = 1;
  setsockopt(static_cast<int>(listener.handle_), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (bind(static_cast<int>(listener.handle_), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      listen(static_cast<int>(listener.handle_), 64) != 0) {
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno));
  }
  return listener;
}

Socket Socket::Connect(const std::string& address, uint16_t port) {
  sockaddr_in where = AddressOf(address, port);
  Socket connection(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (connection.Valid() &&
      connect(static_cast<int>(connection.handle_), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    connection.Close();
  }
  return connection;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in where{};
  socklen_t length = sizeof where;
  getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&where), &length);
  return ntohs(where.sin_port);
}

Socket Socket::Accept(int timeout_ms) const {
  if (!WaitFor(static_cast<int>(handle_), POLLIN, timeout_ms)) return Socket();
  return Socket(accept4(static_cast<int>(handle_), nullptr, nullptr, SOCK_CLOEXEC));
}

long Socket::Receive(char* buffer, size_t size, int timeout_ms) const {
  if (!WaitFor(static_cast<int>(handle_), POLLIN, timeout_ms)) return kTimedOut;
  for (;;) {
    ssize_t got = recv(static_cast<int>(handle_), buffer, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return 0;
  }
}

bool Socket::SendAll(const char* data, size_t size, int timeout_ms) const {
  while (size > 0) {
    if (!WaitFor(static_cast<int>(handle_), POLLOUT, timeout_ms)) return false;
    // MSG_NOSIGNAL: a client that went away is an error here, not a SIGPIPE for the process.
    ssize_t sent = send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace net
