#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

std::string HeaderValue(const std::string& headers, const std::string& name) {
  std::string lower = headers;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = lower.find("\r\n" + name + ":");
  if (at == std::string::npos) return "";
  size_t start = headers.find_first_not_of(' ', at + name.size() + 3);
  return headers.substr(start, headers.find("\r\n", start) - start);
}

std::string ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

HttpTestServer::HttpTestServer(std::chrono::seconds lifetime)
    : deadline_(std::chrono::steady_clock::now() + lifetime) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) close(listener_);
    throw std::runtime_error("The test server cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

std::string HttpTestServer::BaseUrl() const { return Url("/"); }

std::string HttpTestServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpTestServer::Serve(const std::string& path, std::string body, int status) {
  std::lock_guard lock(mutex_);
  resources_[path] = Resource{std::move(body), {}, false, status};
}

void HttpTestServer::ServeFile(const std::string& path, const std::filesystem::path& file) {
  std::lock_guard lock(mutex_);
  resources_[path] = Resource{{}, file, true};
}

void HttpTestServer::SetFault(const std::string& path, const HttpFault& fault) {
  std::lock_guard lock(mutex_);
  faults_[path] = fault;
}

std::vector<HttpRequestSeen> HttpTestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void HttpTestServer::Run() {
  while (!stop_ && std::chrono::steady_clock::now() < deadline_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 10) <= 0) continue;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client);
    shutdown(client, SHUT_WR);
    close(client);
  }
}

void HttpTestServer::Answer(int client) {
  std::string request;
  char chunk[4096];
  while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
    pollfd readable{client, POLLIN, 0};
    if (poll(&readable, 1, 50) <= 0) continue;
    ssize_t got = recv(client, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    request.append(chunk, static_cast<size_t>(got));
  }
  size_t path_start = request.find(' ') + 1;
  std::string path = request.substr(path_start, request.find(' ', path_start) - path_start);
  Resource resource;
  HttpFault fault;
  bool found = false;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back({path, HeaderValue(request, "user-agent"), request});
    for (const std::string& key : {path, path.substr(0, path.find('?'))}) {
      if (auto it = resources_.find(key); !found && it != resources_.end()) resource = it->second, found = true;
      if (auto it = faults_.find(key); it != faults_.end()) fault = it->second;
    }
  }
  int status = fault.status ? fault.status : found ? resource.status : 404;
  if (fault.status || !found) {
    resource = Resource{"<html><body>" + std::to_string(status) + " " + ReasonOf(status) + "</body></html>", {}, false};
  }
  int64_t size = resource.from_file ? static_cast<int64_t>(std::filesystem::file_size(resource.file))
                                    : static_cast<int64_t>(resource.body.size());
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) + "\r\n";
  if (!fault.no_length) head += "Content-Length: " + std::to_string(size + fault.extra_length) + "\r\n";
  head += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
  if (!SendAll(client, head.data(), head.size())) return;
  int64_t limit = fault.status || !found ? size : fault.cut_after >= 0 ? fault.cut_after : fault.stall_after >= 0 ? fault.stall_after : size;
  if (!SendBody(client, resource, limit)) return;
  if (found && !fault.status && fault.stall_after >= 0) Stall(client, fault.stall_ms);
}

bool HttpTestServer::SendBody(int client, const Resource& resource, int64_t limit) {
  if (!resource.from_file) {
    return SendAll(client, resource.body.data(), std::min<size_t>(resource.body.size(), static_cast<size_t>(limit)));
  }
  std::ifstream in(resource.file, std::ios::binary);
  std::vector<char> block(262144);
  while (limit > 0 && in) {
    in.read(block.data(), static_cast<std::streamsize>(std::min<int64_t>(limit, static_cast<int64_t>(block.size()))));
    auto got = static_cast<size_t>(in.gcount());
    if (got == 0 || !SendAll(client, block.data(), got)) return false;
    limit -= static_cast<int64_t>(got);
  }
  return true;
}

bool HttpTestServer::SendAll(int client, const char* data, size_t size) {
  while (size > 0) {
    if (stop_) return false;
    pollfd writable{client, POLLOUT, 0};
    if (poll(&writable, 1, 50) <= 0) continue;
    ssize_t put = send(client, data, size, MSG_NOSIGNAL);
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Ends early when the client gives up and closes its side.
void HttpTestServer::Stall(int client, int milliseconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  char byte;
  while (!stop_ && std::chrono::steady_clock::now() < until) {
    pollfd readable{client, POLLIN, 0};
    if (poll(&readable, 1, 20) > 0 && recv(client, &byte, 1, 0) <= 0) return;
  }
}

std::string RefusedUrl() {
  // Bound but never listening: connections are refused.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}
