// Downloads with progress: the transfer on the worker, the download line on the window.
#include <charconv>
#include <vector>

#include "common/language.h"
#include "platform/internet.h"
#include "updater/files_thread.h"
#include "updater/scoped_removal.h"
#include "updater/size_format.h"
#include "updater/updater_texts.h"

namespace {

constexpr size_t kReceiveBlock = 262144;
// Sizes and positions are 32-bit and shown on signed bars.
constexpr uint64_t kLargestTransfer = 2147483647;

bool IsSuccess(int status) { return status >= 200 && status <= 299; }

int64_t ParseInt64(const std::string& text) {
  int64_t value = 0;
  auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && stop == text.data() + text.size() ? value : 0;
}

}  // namespace

// A failed status, a length over the limit, a read error, a stall, or a body that ends before
// its announced length is a failed download: an error page or a cut package must never pass
// for the file.
bool GFilesThread::DownloadFile(const std::string& URL, const std::string& LocalName, bool ShowProgress) {
  LTemp = 0;
  bool complete = false;
  platform::UrlRequest request{.agent = "RUDoravoRuzazar",
                               .reload = true,
                               .no_cache_write = true,
                               .receive_timeout_ms = system_.receive_timeout_ms};
  if (std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(URL, request)) {
    platform::RemoveUrlFromCache(URL);
    std::optional<uint64_t> announced = response->ContentLength();
    if (IsSuccess(response->Status()) && announced.value_or(0) <= kLargestTransfer) {
      complete = Receive(*response, LocalName, ShowProgress);
    }
  }
  LTemp = 0;
  Synchronize(&GFilesThread::ShowDownloadProgress);
  return complete;
}

// WinINet reports a dropped connection as a normal end, so the bytes that arrived are compared
// with the announced length.
bool GFilesThread::Receive(platform::UrlResponse& response, const std::string& local_name, bool show_progress) {
  ScopedRemoval partial(local_name);
  platform::File file = platform::File::Create(local_name);
  FDownloadStartTick = system_.tick_count();
  std::vector<char> block(kReceiveBlock);
  uint64_t received = 0;
  for (;;) {
    size_t got = 0;
    if (!response.Read(block.data(), block.size(), got)) return false;
    if (got == 0) break;
    received += got;
    if (received > kLargestTransfer) return false;
    file.Write(block.data(), got);
    if (show_progress) {
      LTemp += static_cast<uint32_t>(got);
      Synchronize(&GFilesThread::ShowDownloadProgress);
    }
  }
  std::optional<uint64_t> announced = response.ContentLength();
  if (announced && *announced != received) return false;
  file.Close();
  partial.Keep();
  return true;
}

// The rate is the average since the transfer began; the list's own download (empty Aux) moves
// the bar but leaves the text alone.
void GFilesThread::ShowDownloadProgress() {
  int64_t done = LTemp;
  const int64_t total = ParseInt64(Aux);
  if (total > 0 && done > total) done = total;
  view_.SetFileProgress(static_cast<int32_t>(done));
  const uint32_t elapsed = system_.tick_count() - FDownloadStartTick;
  const double rate = elapsed > 0 && done > 0 ? static_cast<double>(done) / (elapsed / 1000.0) : 0.0;
  if (Aux.empty()) return;
  std::string sizes = FormatSize(done) + " / " + FormatSize(total);
  if (rate > 0) sizes += " (" + FormatSpeed(rate) + ")";
  view_.SetDetailText(PickText(updater_texts::Downloading(FileInDown, sizes)));
}
