// The internet stand-in: libcurl's multi interface, so that a response is read block by
// block as WinINet's is.
#include <curl/curl.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/internet.h"
#include "platform/range_header.h"
#include "platform/text.h"

namespace platform {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

class CurlResponse : public UrlResponse {
 public:
  CurlResponse() : easy_(curl_easy_init()), multi_(curl_multi_init()) {}
  ~CurlResponse() override {
    if (added_) curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
  }

  bool Start(const std::string& url, const UrlRequest& request) {
    if (!easy_ || !multi_) return false;
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlResponse::OnData);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlResponse::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, error_text_);
    const std::string resume = ResumeHeaders(request.range_from, request.if_range);
    for (size_t start = 0; start < resume.size();) {
      const size_t end = resume.find("\r\n", start);
      headers_ = curl_slist_append(headers_, resume.substr(start, end - start).c_str());
      start = end + 2;
    }
    if (headers_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    if (request.receive_timeout_ms > 0) {
      // Fail when fewer than one byte a second arrives for the whole timeout.
      curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, static_cast<long>((request.receive_timeout_ms + 999) / 1000));
    }
    curl_multi_add_handle(multi_, easy_);
    added_ = true;
    cancelled_ = request.cancelled;
    // Wait for the headers, or the first bytes, or the end.
    while (!done_ && buffer_.empty() && Status() == 0 && !Cancelled()) Pump();
    if (Cancelled()) return false;
    const bool opened = result_ == CURLE_OK || Status() != 0 || !buffer_.empty();
    if (!opened && request.failure) *request.failure = Failure();
    return opened;
  }

  int Status() const override {
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
  }

  std::optional<uint64_t> ContentLength() const override {
    curl_off_t length = -1;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0) return std::nullopt;
    return static_cast<uint64_t>(length);
  }

  std::string Validator() const override { return etag_.empty() ? last_modified_ : etag_; }

  std::optional<uint64_t> RangeStart() const override {
    if (Status() != 206) return std::nullopt;
    return ParseContentRangeStart(content_range_);
  }

  bool Read(void* buffer, size_t size, size_t& bytes_read) override {
    bytes_read = 0;
    while (buffer_.size() - offset_ == 0 && !done_) {
      if (Cancelled()) return false;
      Pump();
    }
    size_t available = buffer_.size() - offset_;
    if (available == 0) {
      // A connection that ends early is a transfer error for curl; WinINet reports it as a
      // normal end. Keep curl's stricter answer only for errors other than that one.
      return result_ == CURLE_OK || result_ == CURLE_PARTIAL_FILE;
    }
    bytes_read = std::min(size, available);
    std::memcpy(buffer, buffer_.data() + offset_, bytes_read);
    offset_ += bytes_read;
    if (offset_ == buffer_.size()) {
      buffer_.clear();
      offset_ = 0;
      if (paused_) {
        paused_ = false;
        curl_easy_pause(easy_, CURLPAUSE_CONT);
      }
    }
    return true;
  }

 private:
  // Only the last answer's headers count: a redirect's are dropped at the next status line.
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* response = static_cast<CurlResponse*>(self);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      response->etag_.clear();
      response->last_modified_.clear();
      response->content_range_.clear();
    } else if (size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string name(line.substr(0, colon));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      if (name == "etag") response->etag_ = value;
      else if (name == "last-modified") response->last_modified_ = value;
      else if (name == "content-range") response->content_range_ = value;
    }
    return size * count;
  }

  // What arrives waits in the buffer until it is read; beyond kMostBuffered unread bytes the
  // transfer pauses, so a fast server never fills memory ahead of a slow reader, as WinINet
  // reads only what it is asked for.
  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto* response = static_cast<CurlResponse*>(self);
    if (response->buffer_.size() - response->offset_ >= kMostBuffered) {
      response->paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    response->buffer_.append(data, size * count);
    return size * count;
  }

  void Pump() {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        done_ = true;
        result_ = message->data.result;
      }
    }
    if (!done_ && running == 0) done_ = true;
    if (!done_ && buffer_.empty()) curl_multi_poll(multi_, nullptr, 0, 100, nullptr);
  }

  bool Cancelled() const { return cancelled_ && *cancelled_; }

  // libcurl says that the peer's certificate failed; OpenSSL's verification result says how,
  // and libcurl's own message when the certificate is for another host name.
  InternetFailure Failure() const {
    using Kind = InternetFailure::Kind;
    const auto code = static_cast<unsigned long>(result_);
    if (result_ != CURLE_PEER_FAILED_VERIFICATION) return {Kind::Connection, code};
    long verify_result = 0;
    curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &verify_result);
    switch (verify_result) {
      case 9:   // X509_V_ERR_CERT_NOT_YET_VALID
      case 10:  // X509_V_ERR_CERT_HAS_EXPIRED
        return {Kind::CertificateExpired, code};
      case 2:   // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT
      case 18:  // X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT
      case 19:  // X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN
      case 20:  // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY
      case 21:  // X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE
        return {Kind::CertificateUntrusted, code};
      case 62:  // X509_V_ERR_HOSTNAME_MISMATCH
        return {Kind::CertificateWrongName, code};
      default: break;
    }
    if (std::strstr(error_text_, "subject name") || std::strstr(error_text_, "host name")) {
      return {Kind::CertificateWrongName, code};
    }
    return {Kind::CertificateOther, code};
  }

  CURL* easy_;
  CURLM* multi_;
  const std::atomic<bool>* cancelled_ = nullptr;
  static constexpr size_t kMostBuffered = 262144;
  bool paused_ = false;
  bool added_ = false;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  std::string buffer_;
  size_t offset_ = 0;
  curl_slist* headers_ = nullptr;
  char error_text_[CURL_ERROR_SIZE] = {};
  std::string etag_, last_modified_, content_range_;
};

}  // namespace

std::unique_ptr<UrlResponse> UrlResponse::Open(const std::string& url, const UrlRequest& request) {
  InitCurlOnce();
  // InternetOpenUrlA receives the address in the ANSI code page; the stand-in sends those bytes.
  std::string address = request.ansi_address ? ToAnsi(url) : url;
  auto response = std::make_unique<CurlResponse>();
  if (!response->Start(address, request)) return nullptr;  // Start tells why
  return response;
}

void AllowConnectionsPerServer(unsigned) {}  // each response has its own libcurl handle and connection

void RemoveUrlFromCache(const std::string&) {}  // libcurl keeps no cache

}  // namespace platform
