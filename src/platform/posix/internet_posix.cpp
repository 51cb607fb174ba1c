// The internet stand-in: libcurl's multi interface, so that a response is read block by
// block as WinINet's is.
#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <string>

#include "platform/internet.h"
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
  }

  bool Start(const std::string& url, const UrlRequest& request) {
    if (!easy_ || !multi_) return false;
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlResponse::OnData);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    if (request.receive_timeout_ms > 0) {
      // Fail when fewer than one byte a second arrives for the whole timeout.
      curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, static_cast<long>((request.receive_timeout_ms + 999) / 1000));
    }
    curl_multi_add_handle(multi_, easy_);
    added_ = true;
    // Wait for the headers, or the first bytes, or the end.
    while (!done_ && buffer_.empty() && Status() == 0) Pump();
    return result_ == CURLE_OK || Status() != 0 || !buffer_.empty();
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

  bool Read(void* buffer, size_t size, size_t& bytes_read) override {
    bytes_read = 0;
    while (buffer_.size() - offset_ == 0 && !done_) Pump();
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
    }
    return true;
  }

 private:
  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto* response = static_cast<CurlResponse*>(self);
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

  CURL* easy_;
  CURLM* multi_;
  bool added_ = false;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  std::string buffer_;
  size_t offset_ = 0;
};

}  // namespace

std::unique_ptr<UrlResponse> UrlResponse::Open(const std::string& url, const UrlRequest& request) {
  InitCurlOnce();
  // InternetOpenUrlA receives the address in the ANSI code page; the stand-in sends those bytes.
  std::string address = request.ansi_address ? ToAnsi(url) : url;
  auto response = std::make_unique<CurlResponse>();
  if (!response->Start(address, request)) return nullptr;
  return response;
}

void RemoveUrlFromCache(const std::string&) {}  // libcurl keeps no cache

}  // namespace platform
