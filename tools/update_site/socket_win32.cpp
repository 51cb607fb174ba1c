#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "update_site/socket.h"

namespace net {
namespace {

SOCKET Raw(intptr_t handle) { return static_cast<SOCKET>(handle); }

bool WaitFor(SOCKET socket, bool for_writing, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  int ready = select(0, for_writing ? nullptr : &set, for_writing ? &set : nullptr, nullptr, &timeout);
  return ready > 0;
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

std::string LastError() { return "Winsock error " + std::to_string(WSAGetLastError()); }

}  // namespace

NetworkUse::NetworkUse() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("cannot start Winsock");
}
NetworkUse::~NetworkUse() { WSACleanup(); }

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
  if (Valid()) closesocket(Raw(handle_));
  handle_ = -1;
}

bool Socket::Valid() const { return handle_ != -1 && Raw(handle_) != INVALID_SOCKET; }

Socket Socket::Listen(const std::string& address, uint16_t port) {
  sockaddr_in where = AddressOf(address, port);
  Socket listener(static_cast<intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
  if (!listener.Valid()) throw std::runtime_error("cannot make a socket: " + LastError());
  // Without it, a second program could take over the port while we listen.
  BOOL yes = TRUE;
  setsockopt(Raw(listener.handle_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
  if (bind(Raw(listener.handle_), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      listen(Raw(listener.handle_), 64) != 0) {
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " + LastError());
  }
  return listener;
}

Socket Socket::Connect(const std::string& address, uint16_t port) {
  sockaddr_in where = AddressOf(address, port);
  Socket connection(static_cast<intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
  if (connection.Valid() && connect(Raw(connection.handle_), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    connection.Close();
  }
  return connection;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in where{};
  int length = sizeof where;
  getsockname(Raw(handle_), reinterpret_cast<sockaddr*>(&where), &length);
  return ntohs(where.sin_port);
}

Socket Socket::Accept(int timeout_ms) const {
  if (!WaitFor(Raw(handle_), false, timeout_ms)) return Socket();
  return Socket(static_cast<intptr_t>(accept(Raw(handle_), nullptr, nullptr)));
}

long Socket::Receive(char* buffer, size_t size, int timeout_ms) const {
  if (!WaitFor(Raw(handle_), false, timeout_ms)) return kTimedOut;
  int got = recv(Raw(handle_), buffer, static_cast<int>(size), 0);
  return got > 0 ? got : 0;
}

bool Socket::SendAll(const char* data, size_t size, int timeout_ms) const {
  while (size > 0) {
    if (!WaitFor(Raw(handle_), true, timeout_ms)) return false;
    int sent = send(Raw(handle_), data, static_cast<int>(size), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace net
