#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/internet.h"
#include "platform/range_header.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// How soon a cancelled transfer stops waiting.
constexpr std::chrono::milliseconds kCancelSlice{100};

// The handles of one response and, when reads have a time limit, the exchange with the
// thread that sends the request and performs the reads. WinINet cannot be trusted to end a
// wait on a connection that stays open but sends nothing (Wine ignores its receive timeout for
// a read already waiting, and closing the handles does not wake it), so such a wait is left to
// its own thread: the caller gives up after the timeout or when the transfer is cancelled, and
// the thread ends, releasing the handles, whenever the call finally returns or the process ends.
struct ResponseState {
  ScopedInternetHandle session;
  ScopedInternetHandle url;
  std::mutex mutex;
  std::condition_variable changed;
  bool open_done = false;
  bool given_up = false;  // the caller stopped waiting for the answer's headers
  std::vector<char> buffer;  // the reader's own: the caller's buffer may be gone by then
  bool read_asked = false;
  bool read_done = false;
  bool read_ok = false;
  DWORD got = 0;
  bool closing = false;

  ~ResponseState() {
    url.Reset();  // the URL handle before the session that owns it
    session.Reset();
  }
};

// Sends the request; on the calling thread, or on the response's own thread while the caller
// waits for it in slices.
using OpenCall = std::function<HINTERNET(HINTERNET session)>;

void OpenThenReadWhenAsked(std::shared_ptr<ResponseState> state, OpenCall open, DWORD receive_timeout_ms) {
  HINTERNET handle = open(state->session.Get());
  // The connection exists once the request is open: give the request handle the timeout too.
  if (handle) InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive_timeout_ms, sizeof(receive_timeout_ms));
  std::unique_lock lock(state->mutex);
  state->url = ScopedInternetHandle(handle);
  state->open_done = true;
  state->changed.notify_all();
  if (state->given_up || !handle) return;
  for (;;) {
    state->changed.wait(lock, [&] { return state->read_asked || state->closing; });
    if (state->closing) return;
    state->read_asked = false;
    lock.unlock();
    DWORD got = 0;
    bool ok = InternetReadFile(state->url.Get(), state->buffer.data(), static_cast<DWORD>(state->buffer.size()),
                               &got) != FALSE;
    lock.lock();
    state->read_ok = ok;
    state->got = got;
    state->read_done = true;
    state->changed.notify_all();
  }
}

class WinInetResponse : public UrlResponse {
 public:
  // Without a reader thread: reads wait as long as WinINet does.
  WinInetResponse(std::shared_ptr<ResponseState> state)
      : state_(std::move(state)), timeout_(0), cancelled_(nullptr) {}
  // With the thread that sent the request, which does the reads from now on.
  WinInetResponse(std::shared_ptr<ResponseState> state, std::thread reader, uint32_t receive_timeout_ms,
                  const std::atomic<bool>* cancelled)
      : state_(std::move(state)), timeout_(receive_timeout_ms), cancelled_(cancelled), reader_(std::move(reader)) {}
  ~WinInetResponse() override {
    if (!reader_.joinable()) return;
    {
      std::lock_guard lock(state_->mutex);
      state_->closing = true;
    }
    state_->changed.notify_all();
    // A reader still waiting on a silent connection keeps the handles until its read returns.
    if (abandoned_) reader_.detach();
    else reader_.join();
  }

  int Status() const override {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoW(state_->url.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      return 0;
    return static_cast<int>(status);
  }

  std::optional<uint64_t> ContentLength() const override {
    try {
      std::wstring text = Header(HTTP_QUERY_CONTENT_LENGTH);
      if (text.empty()) return std::nullopt;
      return std::stoull(text);
    } catch (...) {
      return std::nullopt;
    }
  }

  std::string Validator() const override {
    std::wstring validator = Header(HTTP_QUERY_ETAG);
    if (validator.empty()) validator = Header(HTTP_QUERY_LAST_MODIFIED);
    return Narrow(validator);
  }

  std::optional<uint64_t> RangeStart() const override {
    if (Status() != 206) return std::nullopt;
    return ParseContentRangeStart(Narrow(Header(HTTP_QUERY_CONTENT_RANGE)));
  }

  // A header's value; empty when the answer has none.
  std::wstring Header(DWORD query) const {
    wchar_t text[512];
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(state_->url.Get(), query, text, &size, nullptr)) return {};
    return std::wstring(text, size / sizeof(wchar_t));
  }

  bool Read(void* buffer, size_t size, size_t& bytes_read) override {
    bytes_read = 0;
    if (abandoned_) return false;
    if (!reader_.joinable()) {
      DWORD got = 0;
      bool ok = InternetReadFile(state_->url.Get(), buffer, static_cast<DWORD>(size), &got) != FALSE;
      bytes_read = ok ? got : 0;
      return ok;
    }
    std::unique_lock lock(state_->mutex);
    state_->buffer.resize(size);
    state_->read_done = false;
    state_->read_asked = true;
    state_->changed.notify_all();
    // Waited for in slices, so that a cancelled transfer stops waiting soon.
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    while (!state_->changed.wait_for(lock, std::min<std::chrono::steady_clock::duration>(kCancelSlice, deadline - std::chrono::steady_clock::now()),
                                     [&] { return state_->read_done; })) {
      if ((cancelled_ && *cancelled_) || std::chrono::steady_clock::now() >= deadline) {
        abandoned_ = true;  // cancelled, or nothing arrived for the whole timeout
        return false;
      }
    }
    if (!state_->read_ok) return false;
    std::memcpy(buffer, state_->buffer.data(), state_->got);
    bytes_read = state_->got;
    return true;
  }

 private:
  std::shared_ptr<ResponseState> state_;
  std::chrono::milliseconds timeout_;
  const std::atomic<bool>* cancelled_;
  std::thread reader_;
  bool abandoned_ = false;
};

}  // namespace

std::unique_ptr<UrlResponse> UrlResponse::Open(const std::string& url, const UrlRequest& request) {
  auto state = std::make_shared<ResponseState>();
  state->session.Reset(InternetOpenW(Widen(request.agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!state->session) return nullptr;
  DWORD timeout = request.receive_timeout_ms;
  if (timeout > 0) InternetSetOptionW(state->session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
  const DWORD flags = (request.reload ? INTERNET_FLAG_RELOAD : 0) | (request.no_cache_write ? INTERNET_FLAG_NO_CACHE_WRITE : 0);
  const std::string headers = ResumeHeaders(request.range_from, request.if_range);
  OpenCall open;
  if (request.ansi_address) {
    open = [address = ToAnsi(url), headers, flags](HINTERNET session) {
      return InternetOpenUrlA(session, address.c_str(), headers.empty() ? nullptr : headers.c_str(),
                              static_cast<DWORD>(headers.size()), flags, 0);
    };
  } else {
    open = [address = Widen(url), wide_headers = Widen(headers), flags](HINTERNET session) {
      return InternetOpenUrlW(session, address.c_str(), wide_headers.empty() ? nullptr : wide_headers.c_str(),
                              static_cast<DWORD>(wide_headers.size()), flags, 0);
    };
  }
  if (timeout == 0) {
    state->url.Reset(open(state->session.Get()));
    if (!state->url) return nullptr;
    return std::make_unique<WinInetResponse>(std::move(state));
  }

  std::thread thread(OpenThenReadWhenAsked, state, std::move(open), timeout);
  std::unique_lock lock(state->mutex);
  // Waited for in slices, so that a cancelled transfer stops waiting for a silent server soon;
  // otherwise as long as WinINet waits.
  while (!state->changed.wait_for(lock, kCancelSlice, [&] { return state->open_done; })) {
    if (request.cancelled && *request.cancelled) {
      state->given_up = true;
      lock.unlock();
      thread.detach();  // it closes the handles once the request returns
      return nullptr;
    }
  }
  const bool opened = static_cast<bool>(state->url);
  lock.unlock();
  if (!opened) {
    thread.join();
    return nullptr;
  }
  return std::make_unique<WinInetResponse>(std::move(state), std::move(thread), timeout, request.cancelled);
}

// The limits are the process's own: they can be set only without a handle, and only raised
// here, so that a smaller request never lowers what another part of the program asked for.
void AllowConnectionsPerServer(unsigned count) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  for (DWORD option : {DWORD{INTERNET_OPTION_MAX_CONNS_PER_SERVER}, DWORD{INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}}) {
    DWORD current = 0, length = sizeof(current);
    if (InternetQueryOptionW(nullptr, option, &current, &length) && current >= count) continue;
    DWORD wanted = count;
    InternetSetOptionW(nullptr, option, &wanted, sizeof(wanted));
  }
}

void RemoveUrlFromCache(const std::string& url) { DeleteUrlCacheEntryW(Widen(url).c_str()); }

}  // namespace platform
