#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 (a port the system picks) for native tests of the web
// retrieval: it answers the targets it was given, everything else with a 404 page, one
// connection at a time, and stops with its destructor.
class LoopbackHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    // A Content-Length above the body's size: the connection then ends with the body cut short.
    std::optional<size_t> announced_length;
  };
  struct Request {
    std::string target;  // path and query, as sent
    std::string user_agent;
  };

  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // A target with a query matches exactly; one without matches its path whatever the query.
  void Serve(const std::string& target, Reply reply);
  // "http://127.0.0.1:port", without a trailing slash.
  std::string Base() const;
  std::string Url(const std::string& target) const { return Base() + target; }
  std::vector<Request> Requests() const;

 private:
  void Run();
  void Answer(int client);
  Reply ReplyFor(const std::string& target) const;

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// An address on 127.0.0.1 where nothing listens: opening it is refused at once.
std::string RefusedUrl();
