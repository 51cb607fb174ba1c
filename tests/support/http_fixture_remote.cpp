#include "support/http_fixture_remote.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace {

constexpr int kPollMs = 50;
constexpr size_t kMaxRequestBytes = 64 * 1024;

// A socket bound to 127.0.0.1 on a port the system picks.
int BindLoopback(uint16_t& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    throw std::runtime_error("bind failed");
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool WaitReadable(int fd, int timeout_ms) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, timeout_ms) > 0;
}

// The request head, up to the blank line; empty when the client sent nothing in time.
std::string ReadHead(int client) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes && WaitReadable(client, 2000)) {
    ssize_t got = recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<size_t>(got));
  }
  return head;
}

std::string HeaderValue(const std::string& head, std::string name) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t start = lower.find("\r\n" + name + ":");
  if (start == std::string::npos) return {};
  start += name.size() + 3;
  size_t end = head.find("\r\n", start);
  size_t first = head.find_first_not_of(' ', start);
  return first < end ? head.substr(first, end - first) : std::string();
}

void SendAll(int client, const std::string& data) {
  for (size_t sent = 0; sent < data.size();) {
    ssize_t put = send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (put <= 0) return;
    sent += static_cast<size_t>(put);
  }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = BindLoopback(port_);
  listen(listener_, 16);
  thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

void LoopbackHttpServer::Serve(const std::string& target, Reply reply) {
  std::lock_guard lock(mutex_);
  replies_[target] = std::move(reply);
}

std::string LoopbackHttpServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

// Polls so that the destructor's stop request is seen within kPollMs.
void LoopbackHttpServer::Run() {
  while (!stop_) {
    if (!WaitReadable(listener_, kPollMs)) continue;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client);
    close(client);
  }
}

LoopbackHttpServer::Reply LoopbackHttpServer::ReplyFor(const std::string& target) const {
  std::lock_guard lock(mutex_);
  auto exact = replies_.find(target);
  if (exact != replies_.end()) return exact->second;
  auto by_path = replies_.find(target.substr(0, target.find('?')));
  if (by_path != replies_.end()) return by_path->second;
  return {404, "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>", {}};
}

void LoopbackHttpServer::Answer(int client) {
  std::string head = ReadHead(client);
  size_t first_space = head.find(' ');
  size_t second_space = head.find(' ', first_space + 1);
  if (first_space == std::string::npos || second_space == std::string::npos) return;
  Request request{head.substr(first_space + 1, second_space - first_space - 1), HeaderValue(head, "User-Agent")};
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  Reply reply = ReplyFor(request.target);
  std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\nContent-Length: " +
                         std::to_string(reply.announced_length.value_or(reply.body.size())) +
                         "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n" + reply.body;
  SendAll(client, response);
  shutdown(client, SHUT_WR);
}

std::string RefusedUrl() {
  uint16_t port = 0;
  int fd = BindLoopback(port);  // bound but never listening: connections are refused
  close(fd);
  return "http://127.0.0.1:" + std::to_string(port) + "/";
}
