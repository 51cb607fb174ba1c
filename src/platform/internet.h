#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Plain GET requests through the system's internet client (WinINet; libcurl on POSIX), with
// the system's proxy settings. Each response owns its own session.
namespace platform {

struct UrlRequest {
  std::string agent;
  // Always ask the origin server (INTERNET_FLAG_RELOAD).
  bool reload = true;
  // Keep the answer out of the local cache (INTERNET_FLAG_NO_CACHE_WRITE).
  bool no_cache_write = false;
  // Pass the address as 8-bit text in the ANSI code page (InternetOpenUrlA).
  bool ansi_address = false;
  // A read that receives nothing for this long fails; 0 keeps the system's default.
  uint32_t receive_timeout_ms = 0;
};

class UrlResponse {
 public:
  // Sends the request and waits for the answer's headers. Nothing when the address cannot
  // be opened (malformed, name not resolved, no connection).
  static std::unique_ptr<UrlResponse> Open(const std::string& url, const UrlRequest& request);
  virtual ~UrlResponse() = default;

  // The HTTP status code; 0 when the protocol has none.
  virtual int Status() const = 0;
  // The announced length of the body, when the server announced one.
  virtual std::optional<uint64_t> ContentLength() const = 0;
  // Reads the next bytes of the body into buffer: true with bytes_read > 0 while data comes,
  // true with 0 at the end, false on a transfer error. A dropped connection can look like a
  // normal end: compare what arrived with ContentLength().
  virtual bool Read(void* buffer, size_t size, size_t& bytes_read) = 0;
};

// Removes the system internet cache's entry for the address, if there is one.
void RemoveUrlFromCache(const std::string& url);

}  // namespace platform
