// Downloads with progress: the transfer on the worker, the download line on the window.
#include <algorithm>
#include <charconv>
#include <vector>

#include "common/language.h"
#include "platform/internet.h"
#include "updater/files_thread.h"
#include "updater/scoped_removal.h"
#include "updater/sha256.h"
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
  return Download(URL, LocalName, ShowProgress, nullptr) == Transfer::Complete;
}

// With a signed package, an answer of another length is not that package, and nothing beyond
// its signed size is ever read.
GFilesThread::Transfer GFilesThread::Download(const std::string& url, const std::string& local_name,
                                              bool show_progress, const PackageDigest* signed_package) {
  LTemp = 0;
  Transfer outcome = Transfer::Failed;
  platform::UrlRequest request{.agent = "RUDoravoRuzazar",
                               .reload = true,
                               .no_cache_write = true,
                               .receive_timeout_ms = system_.receive_timeout_ms};
  if (std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(url, request)) {
    platform::RemoveUrlFromCache(url);
    std::optional<uint64_t> announced = response->ContentLength();
    if (!IsSuccess(response->Status()) || announced.value_or(0) > kLargestTransfer) {
      outcome = Transfer::Failed;
    } else if (signed_package && announced && *announced != signed_package->size) {
      outcome = Transfer::NotTheSignedPackage;
    } else {
      outcome = Receive(*response, local_name, show_progress, signed_package);
    }
  }
  LTemp = 0;
  Synchronize(&GFilesThread::ShowDownloadProgress);
  return outcome;
}

// WinINet reports a dropped connection as a normal end, so the bytes that arrived are compared
// with the announced length. A signed package is hashed as it arrives and read up to its
// signed size only: a server that sends more cannot make the launcher wait or write for it.
GFilesThread::Transfer GFilesThread::Receive(platform::UrlResponse& response, const std::string& local_name,
                                             bool show_progress, const PackageDigest* signed_package) {
  ScopedRemoval partial(local_name);
  platform::File file = platform::File::Create(local_name);
  FDownloadStartTick = system_.tick_count();
  std::vector<char> block(kReceiveBlock);
  Sha256 digest;
  uint64_t received = 0;
  for (;;) {
    size_t wanted = block.size();
    if (signed_package) {
      if (received == signed_package->size) break;
      wanted = static_cast<size_t>(std::min<uint64_t>(wanted, signed_package->size - received));
    }
    size_t got = 0;
    if (!response.Read(block.data(), wanted, got)) return Transfer::Failed;
    if (got == 0) break;
    received += got;
    if (received > kLargestTransfer) return Transfer::Failed;
    file.Write(block.data(), got);
    if (signed_package) digest.Update(block.data(), got);
    if (show_progress) {
      LTemp += static_cast<uint32_t>(got);
      Synchronize(&GFilesThread::ShowDownloadProgress);
    }
  }
  std::optional<uint64_t> announced = response.ContentLength();
  if (announced && *announced != received) return Transfer::Failed;
  if (signed_package && received != signed_package->size) return Transfer::Failed;
  file.Close();
  if (signed_package && digest.Final() != signed_package->sha256) return Transfer::NotTheSignedPackage;
  partial.Keep();
  return Transfer::Complete;
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
