#pragma once
#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "update_site/http_request.h"
#include "update_site/socket.h"

struct ServeOptions {
  std::string site_dir;
  std::string config_dir;  // empty: the configuration endpoint answers 404
  std::string bind = "127.0.0.1";
  uint16_t port = 8000;
  std::optional<double> lifetime_seconds;  // none: until stopped or interrupted
};

// How a request is answered: a status, and for 200 the file to send.
struct Answer {
  int status = 404;
  std::string file;
  std::string content_type;
};

// Files of the site by their path; "/api/return.php?token=T" from the configuration folder
// (T.json when T is a plain file name and that file exists, else default.json). Never a folder
// listing, never a path that could leave the folder (such paths get 403), never the build's
// own cache or temporary files.
Answer Route(const ServeOptions& options, const HttpRequest& request);

// A small HTTP/1.1 server for trying a site out: GET and HEAD, Content-Length, keep-alive.
// Each connection has its own thread; all are joined before Run returns.
class DevServer {
 public:
  // Listens at once (so Port() is known); raises std::runtime_error when it cannot.
  explicit DevServer(ServeOptions options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  uint16_t Port() const { return port_; }
  // Serves until the lifetime ends, Stop() is called, or *interrupted becomes true. One line
  // per request goes to `log` when given.
  void Run(std::ostream* log, const std::atomic<bool>* interrupted = nullptr);
  // May be called from any thread.
  void Stop() { stopping_ = true; }

 private:
  struct Connection {
    std::jthread thread;
    std::atomic<bool> done{false};
  };

  void Serve(net::Socket client, std::ostream* log);
  bool AnswerOne(const net::Socket& client, const HttpRequest& request, std::ostream* log);
  void Log(std::ostream* log, const std::string& line);
  void ReapFinished();

  ServeOptions options_;
  net::NetworkUse network_;
  net::Socket listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex log_mutex_;
  std::list<Connection> connections_;
};
