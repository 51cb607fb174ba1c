#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

struct ServeOptions {
  std::string site_dir;
  std::string config_dir;  // empty: the configuration endpoint answers 404
  std::string bind = "127.0.0.1";
  uint16_t port = 8000;
  std::optional<double> lifetime_seconds;  // none: until stopped or interrupted
};

// A small HTTP/1.1 server for trying a site out, on cpp-httplib: GET and HEAD, keep-alive, one
// byte range per request with If-Range, a strong ETag and Last-Modified on files.
// Files of the site by their path; "/api/return.php?token=T" from the configuration folder
// (T.json when T is a plain file name and that file exists, else default.json). Never a folder
// listing, never a path that could leave the folder (such paths get 403), never the build's
// own cache or temporary files.
class DevServer {
 public:
  // Listens and answers at once (so Port() is known); raises std::runtime_error when it cannot.
  explicit DevServer(ServeOptions options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  uint16_t Port() const;
  // Serves until the lifetime (counted from this call) ends, Stop() is called, or *interrupted
  // becomes true. One line per request goes to `log` when given.
  void Run(std::ostream* log, const std::atomic<bool>* interrupted = nullptr);
  // May be called from any thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
