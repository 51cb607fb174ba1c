#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/internet.h"
#include "platform/range_header.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// Sends the request, on the response's own thread.
using OpenCall = std::function<HINTERNET(HINTERNET session)>;

// How soon a cancelled transfer stops waiting.
constexpr std::chrono::milliseconds kCancelSlice{100};
// How long a read gathers bytes that arrive in small pieces before it hands them over.
constexpr std::chrono::milliseconds kGatherTime{50};

// The handles of one response and the exchange with its own thread, which sends the request,
// reads the body and closes the handles.
//
// WinINet cannot be trusted to end a wait on a connection that stays open but sends nothing
// (Wine ignores its receive timeout for a read already waiting, and closing the handles does not
// wake it), so the caller waits in slices and gives up after the timeout or when the transfer is
// cancelled. Nor does closing a request whose body is still arriving return soon: Wine reads on
// to the body's end first, which for an endless answer is never. So the handles are closed by
// the response's thread, and the caller never waits for it: it ends whenever its last call
// returns, or with the process.
//
// Once the body is asked for, the thread reads ahead whatever has arrived (at most a buffer's
// worth), so a read hands over what a slow line delivered so far instead of waiting for a whole
// block: the progress moves, and a stalled transfer keeps every byte that came.
struct ResponseState {
  ScopedInternetHandle session;
  ScopedInternetHandle url;
  std::mutex mutex;
  std::condition_variable changed;
  bool open_done = false;
  bool given_up = false;  // the caller stopped waiting for the answer's headers
  DWORD open_error = 0;   // why the request could not be opened
  size_t wanted = 0;      // how much the reader may hold; 0 until the body is first asked for
  std::vector<char> arrived;  // read from the body, not yet taken by the caller
  bool ended = false;         // the body ended (read_ok) or a read failed (!read_ok)
  bool read_ok = true;
  bool closing = false;
};

// Reads the next bytes of the body that have arrived, up to `room`: false on an error; 0 bytes
// at the end.
bool ReadWhatArrived(HINTERNET url, std::vector<char>& block, size_t room, DWORD& got) {
  DWORD available = 0;
  if (!InternetQueryDataAvailable(url, &available, 0, 0)) return false;
  // Nothing available means the end; the read confirms it at once.
  const DWORD size = static_cast<DWORD>(available > 0 ? std::min<size_t>(available, room) : room);
  block.resize(size);
  got = 0;
  return InternetReadFile(url, block.data(), size, &got) != FALSE;
}

void SendReadAndClose(std::shared_ptr<ResponseState> state, OpenCall open, DWORD receive_timeout_ms) {
  HINTERNET handle = open(state->session.Get());
  const DWORD open_error = handle ? 0 : GetLastError();
  // The connection exists once the request is open: give the request handle the timeout too.
  if (handle && receive_timeout_ms > 0) {
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive_timeout_ms, sizeof(receive_timeout_ms));
  }
  std::unique_lock lock(state->mutex);
  state->url = ScopedInternetHandle(handle);
  state->open_error = open_error;
  state->open_done = true;
  state->changed.notify_all();
  std::vector<char> block;
  while (!state->given_up && handle) {
    // A block ahead of the caller's, so that the line is read while the caller works on the last.
    const auto held = [&] { return 2 * state->wanted; };
    state->changed.wait(lock, [&] { return state->closing || (!state->ended && state->arrived.size() < held()); });
    if (state->closing) break;
    const size_t room = held() - state->arrived.size();
    lock.unlock();
    DWORD got = 0;
    const bool ok = ReadWhatArrived(handle, block, room, got);
    lock.lock();
    const bool first = state->arrived.empty();
    state->arrived.insert(state->arrived.end(), block.data(), block.data() + got);
    if (!ok || got == 0) {
      state->ended = true;
      state->read_ok = ok;
    }
    // The caller waits for a whole block, or for its gathering time from the first bytes: waking
    // it for every small piece in between only costs a fast line's transfer its time.
    if (first || state->ended || state->arrived.size() >= state->wanted) state->changed.notify_all();
  }
  lock.unlock();
  state->url.Reset();  // the URL handle before the session that owns it
  state->session.Reset();
}

class WinInetResponse : public UrlResponse {
 public:
  // With the thread that sent the request, which does the reads and the close from now on.
  // A receive timeout of 0 waits as long as WinINet does.
  WinInetResponse(std::shared_ptr<ResponseState> state, std::thread thread, uint32_t receive_timeout_ms,
                  const std::atomic<bool>* cancelled)
      : state_(std::move(state)), timeout_(receive_timeout_ms), cancelled_(cancelled) {
    thread.detach();
  }
  ~WinInetResponse() override {
    std::lock_guard lock(state_->mutex);
    state_->closing = true;
    state_->changed.notify_all();
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

  // A header's value; empty when the answer has none. Asked before the body is read.
  std::wstring Header(DWORD query) const {
    wchar_t text[512];
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(state_->url.Get(), query, text, &size, nullptr)) return {};
    return std::wstring(text, size / sizeof(wchar_t));
  }

  bool Read(void* buffer, size_t size, size_t& bytes_read) override {
    bytes_read = 0;
    if (abandoned_) return false;
    std::unique_lock lock(state_->mutex);
    state_->wanted = std::max(state_->wanted, size);
    state_->changed.notify_all();
    // Waited for in slices, so that a cancelled transfer stops waiting soon. Bytes that arrived
    // are handed over once the block is full or after kGatherTime: a fast line still gives
    // whole blocks, a slow one what came in the meantime.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::optional<Clock::time_point> first_bytes;
    for (;;) {
      if (state_->ended || state_->arrived.size() >= size) break;
      const auto now = Clock::now();
      if (!state_->arrived.empty()) {
        if (!first_bytes) first_bytes = now;
        if (now - *first_bytes >= kGatherTime) break;
      } else if ((cancelled_ && *cancelled_) || (timeout_.count() > 0 && now - start >= timeout_)) {
        abandoned_ = true;  // cancelled, or nothing arrived for the whole timeout
        return false;
      }
      state_->changed.wait_for(lock, first_bytes ? kGatherTime - (now - *first_bytes) : Clock::duration(kCancelSlice));
    }
    if (state_->arrived.empty()) return state_->read_ok;
    bytes_read = std::min(size, state_->arrived.size());
    std::memcpy(buffer, state_->arrived.data(), bytes_read);
    state_->arrived.erase(state_->arrived.begin(), state_->arrived.begin() + static_cast<ptrdiff_t>(bytes_read));
    state_->changed.notify_all();
    return true;
  }

 private:
  std::shared_ptr<ResponseState> state_;
  std::chrono::milliseconds timeout_;
  const std::atomic<bool>* cancelled_;
  bool abandoned_ = false;
};

InternetFailure FailureOf(DWORD error) {
  using Kind = InternetFailure::Kind;
  switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return {Kind::CertificateExpired, error};
    case ERROR_INTERNET_SEC_CERT_CN_INVALID: return {Kind::CertificateWrongName, error};
    case ERROR_INTERNET_INVALID_CA: return {Kind::CertificateUntrusted, error};
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_NO_REV: return {Kind::CertificateOther, error};
    default: return {Kind::Connection, error};
  }
}

}  // namespace

std::unique_ptr<UrlResponse> UrlResponse::Open(const std::string& url, const UrlRequest& request) {
  auto state = std::make_shared<ResponseState>();
  state->session.Reset(InternetOpenW(Widen(request.agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!state->session) {
    if (request.failure) *request.failure = FailureOf(GetLastError());
    return nullptr;
  }
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
  std::thread thread(SendReadAndClose, state, std::move(open), timeout);
  std::unique_lock lock(state->mutex);
  // Waited for in slices, so that a cancelled transfer stops waiting for a silent server soon;
  // and no longer than the receive timeout, which Wine does not apply to the wait for the
  // answer's headers.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  while (!state->changed.wait_for(lock, kCancelSlice, [&] { return state->open_done; })) {
    const bool cancelled = request.cancelled && *request.cancelled;
    const bool timed_out = timeout > 0 && std::chrono::steady_clock::now() >= deadline;
    if (cancelled || timed_out) {
      state->given_up = true;
      lock.unlock();
      thread.detach();  // it closes the handles once the request returns
      if (timed_out && request.failure) *request.failure = FailureOf(ERROR_INTERNET_TIMEOUT);
      return nullptr;
    }
  }
  const bool opened = static_cast<bool>(state->url);
  const DWORD open_error = state->open_error;
  lock.unlock();
  if (!opened) {
    thread.join();
    if (request.failure) *request.failure = FailureOf(open_error);
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
