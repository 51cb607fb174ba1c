#include <windows.h>
#include <wininet.h>

#include "platform/internet.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

class WinInetResponse : public UrlResponse {
 public:
  WinInetResponse(ScopedInternetHandle session, ScopedInternetHandle url)
      : session_(std::move(session)), url_(std::move(url)) {}
  ~WinInetResponse() override {
    url_.Reset();  // the URL handle before the session that owns it
    session_.Reset();
  }

  int Status() const override {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoW(url_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return static_cast<int>(status);
  }

  std::optional<uint64_t> ContentLength() const override {
    wchar_t text[32];
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(url_.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
    try {
      return std::stoull(std::wstring(text, size / sizeof(wchar_t)));
    } catch (...) {
      return std::nullopt;
    }
  }

  bool Read(void* buffer, size_t size, size_t& bytes_read) override {
    DWORD got = 0;
    bool ok = InternetReadFile(url_.Get(), buffer, static_cast<DWORD>(size), &got) != FALSE;
    bytes_read = ok ? got : 0;
    return ok;
  }

 private:
  ScopedInternetHandle session_;
  ScopedInternetHandle url_;
};

}  // namespace

std::unique_ptr<UrlResponse> UrlResponse::Open(const std::string& url, const UrlRequest& request) {
  ScopedInternetHandle session(InternetOpenW(Widen(request.agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return nullptr;
  if (request.receive_timeout_ms > 0) {
    DWORD timeout = request.receive_timeout_ms;
    InternetSetOptionW(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
  }
  DWORD flags = (request.reload ? INTERNET_FLAG_RELOAD : 0) | (request.no_cache_write ? INTERNET_FLAG_NO_CACHE_WRITE : 0);
  HINTERNET handle = request.ansi_address
                         ? InternetOpenUrlA(session.Get(), ToAnsi(url).c_str(), nullptr, 0, flags, 0)
                         : InternetOpenUrlW(session.Get(), Widen(url).c_str(), nullptr, 0, flags, 0);
  if (!handle) return nullptr;
  return std::make_unique<WinInetResponse>(std::move(session), ScopedInternetHandle(handle));
}

void RemoveUrlFromCache(const std::string& url) { DeleteUrlCacheEntryW(Widen(url).c_str()); }

}  // namespace platform
