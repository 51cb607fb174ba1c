#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Plain GET requests through the system's internet client (WinINet; libcurl on POSIX), with
// the system's proxy settings. Each response owns its own session.
namespace platform {

// Why a request could not be opened, as far as the system's client tells.
struct InternetFailure {
  enum class Kind {
    Connection,            // refused, unreachable, name not found, timed out, cut off
    CertificateExpired,    // the server's certificate is outside its dates
    CertificateWrongName,  // the certificate is for another host name
    CertificateUntrusted,  // issued by no authority the system trusts (self-signed, unknown CA)
    CertificateOther,      // revoked, malformed or otherwise refused
  };
  Kind kind = Kind::Connection;
  // The system's own number: WinINet's error code (12029, 12037, ...); libcurl's on POSIX.
  unsigned long code = 0;
};

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
  // With a validator: asks for the body from byte range_from on ("Range: bytes=N-"), but only
  // while the resource still has that validator ("If-Range"); otherwise the server sends the
  // whole body with 200.
  uint64_t range_from = 0;
  std::string if_range{};
  // When it turns true, a read that waits for data gives up within about a tenth of a second
  // and fails, as the libcurl stand-in's wait for the answer does too.
  const std::atomic<bool>* cancelled = nullptr;
  // When given, receives why Open gave nothing (not for a cancelled request).
  InternetFailure* failure = nullptr;
};

class UrlResponse {
 public:
  // Sends the request and waits for the answer's headers. Nothing when the address cannot
  // be opened (malformed, name not resolved, no connection).
  static std::unique_ptr<UrlResponse> Open(const std::string& url, const UrlRequest& request);
  virtual ~UrlResponse() = default;

  // The HTTP status code; 0 when the protocol has none.
  virtual int Status() const = 0;
  // The announced length of the body, when the server announced one; of the part sent, for a
  // partial answer (206).
  virtual std::optional<uint64_t> ContentLength() const = 0;
  // What identifies this version of the resource for If-Range: its ETag, else its
  // Last-Modified date, as the server wrote it; empty when it sent neither.
  virtual std::string Validator() const = 0;
  // For a partial answer: the offset of its first byte ("Content-Range: bytes N-M/T").
  virtual std::optional<uint64_t> RangeStart() const = 0;
  // Reads the next bytes of the body into buffer: true with bytes_read > 0 while data comes,
  // true with 0 at the end, false on a transfer error. A dropped connection can look like a
  // normal end: compare what arrived with ContentLength().
  virtual bool Read(void* buffer, size_t size, size_t& bytes_read) = 0;
};

// Lets the process keep at least this many connections to one server at once; the system's
// client may allow fewer by default (WinINet: 2), which would queue requests made in parallel.
void AllowConnectionsPerServer(unsigned count);

// Removes the system internet cache's entry for the address, if there is one.
void RemoveUrlFromCache(const std::string& url);

}  // namespace platform
