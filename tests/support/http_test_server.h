#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a served path does wrong on purpose. The byte counts are of the body being sent: the
// whole resource, or the part a range asked for.
struct HttpFault {
  int status = 0;              // answer with this status and a small error page
  int64_t cut_after = -1;      // announce the whole body, send this many bytes, close
  int64_t extra_length = 0;    // announce this many bytes more than the body, send it, close
  int64_t stall_after = -1;    // send this many bytes, then nothing for stall_ms, then close
  int stall_ms = 0;
  int delay_ms = 0;            // wait this long before the answer's headers
  bool no_length = false;      // send no Content-Length; the end of the body is the close
  bool ignore_ranges = false;  // answer 200 with the whole body whatever Range asks, as servers without range support do
  int64_t bytes_per_second = 0;  // send the body no faster than this; 0: as fast as the connection takes it
  int times = -1;              // how many requests the fault applies to, from when it was set; -1: all
};

struct HttpRequestSeen {
  std::string path;       // as requested, with the query
  std::string user_agent;
  std::string headers;    // the request line and the header fields, by name rather than in the order sent
  std::string range;      // the Range header; empty when absent
  std::string if_range;   // the If-Range header; empty when absent
};

// A loopback HTTP/1.1 server for tests and benchmarks, on cpp-httplib: listens on 127.0.0.1 on a
// free port, answers on several threads and closes each connection after its answer. It stops
// when destroyed, and by itself after its lifetime, whatever a test does.
// A resource served with status 200 answers one byte range (Range "bytes=N-", "bytes=N-M",
// "bytes=-N") with 206 and Content-Range, a range that starts at or beyond its end with 416, and
// carries an ETag and a Last-Modified date; If-Range with either of them gives the range, with
// anything else the whole body with 200. Each Serve or ServeFile gives the path a new ETag
// ("\"N\"", N counting those calls on this server) and a Last-Modified one second later than
// the one before.
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
  // Replaces the path's fault, and starts counting its `times` again.
  void SetFault(const std::string& path, const HttpFault& fault);
  // Waits this long before answering any request, as a distant server's round trip would.
  void SetAnswerDelay(std::chrono::milliseconds delay);
  // Sends the bodies of all answers together no faster than this, as one line to the server
  // would carry them; 0: as fast as the connections take them.
  void SetLineRate(int64_t bytes_per_second);
  std::vector<HttpRequestSeen> Requests() const;
  // The most requests that were waiting at once for their answer to begin: with an answer
  // delay, how many connections a client kept busy together.
  int MostRequestsAtOnce() const;

 private:
  struct Resource;
  struct State;
  std::unique_ptr<State> state_;
};

// An address on 127.0.0.1 where nothing listens, with a trailing "/": opening it is refused at once.
std::string RefusedUrl();
