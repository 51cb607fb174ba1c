#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a served path does wrong on purpose.
struct HttpFault {
  int status = 0;              // answer with this status and a small error page
  int64_t cut_after = -1;      // announce the whole body, send this many bytes, close
  int64_t extra_length = 0;    // announce this many bytes more than the body, send it, close
  int64_t stall_after = -1;    // send this many bytes, then nothing for stall_ms, then close
  int stall_ms = 0;
  bool no_length = false;      // send no Content-Length; the end of the body is the close
};

struct HttpRequestSeen {
  std::string path;
  std::string user_agent;
  std::string headers;  // the whole header block as received
};

// A loopback HTTP/1.1 server for tests and benchmarks: listens on 127.0.0.1 on a free port,
// answers one connection at a time and closes each after its answer. It stops when destroyed,
// and by itself after its lifetime, whatever a test does.
class HttpTestServer {
 public:
  explicit HttpTestServer(std::chrono::seconds lifetime = std::chrono::seconds(300));
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  // "http://127.0.0.1:port/"
  std::string BaseUrl() const;
  // "http://127.0.0.1:port" + path.
  std::string Url(const std::string& path) const;
  // path as requested, starting with "/"; an unknown path answers 404. A path without a query
  // also answers requests for it with any query. A status other than 200 is sent with body.
  void Serve(const std::string& path, std::string body, int status = 200);
  // Streams the file from disk at each request, so a large body costs no memory.
  void ServeFile(const std::string& path, const std::filesystem::path& file);
  void SetFault(const std::string& path, const HttpFault& fault);
  std::vector<HttpRequestSeen> Requests() const;

 private:
  struct Resource {
    std::string body;
    std::filesystem::path file;
    bool from_file = false;
    int status = 200;
  };

  void Run();
  void Answer(int client);
  bool SendAll(int client, const char* data, size_t size);
  bool SendBody(int client, const Resource& resource, int64_t limit);
  void Stall(int client, int milliseconds);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Resource> resources_;
  std::map<std::string, HttpFault> faults_;
  std::vector<HttpRequestSeen> requests_;
  std::thread thread_;
};

// An address on 127.0.0.1 where nothing listens, with a trailing "/": opening it is refused at once.
std::string RefusedUrl();
