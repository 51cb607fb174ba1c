// Downloads with progress: the transfer on the worker, the download line on the window.
#include <algorithm>
#include <charconv>
#include <vector>

#include "common/language.h"
#include "platform/internet.h"
#include "updater/files_thread.h"
#include "updater/package_unpacker.h"
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

// A failed status, a length over the limit, or a body that ends before its announced length
// and cannot be resumed is a failed download: an error page or a cut package must never pass
// for the file.
bool GFilesThread::DownloadFile(const std::string& URL, const std::string& LocalName, bool ShowProgress) {
  return Download(URL, LocalName, ShowProgress, nullptr) == Transfer::Complete;
}

// A transfer cut or stalled after a successful first answer is resumed from the bytes already
// received, up to kResumes times, with a range request that only the same version of the file
// can answer partially (If-Range with the first answer's validator). A server that answers
// with the whole file instead, or a file that changed meanwhile, starts the transfer over: the
// bytes of two versions are never joined. With a signed package, an answer of another length is
// not that package, and nothing beyond its signed size is ever read.
GFilesThread::Transfer GFilesThread::Download(const std::string& url, const std::string& local_name,
                                              bool show_progress, const PackageDigest* signed_package,
                                              PackageUnpacker* unpacker) {
  LTemp = 0;
  ScopedRemoval partial(local_name);
  Received body{.signed_package = signed_package, .unpacker = unpacker, .show_progress = show_progress};
  std::string validator;
  Transfer outcome = Transfer::Failed;
  for (int attempt = 0; attempt <= kResumes; ++attempt) {
    if (attempt > 0) system_.pause(kResumeBackoffMs * attempt);
    platform::UrlRequest request{.agent = "RUDoravoRuzazar",
                                 .reload = true,
                                 .no_cache_write = true,
                                 .receive_timeout_ms = system_.receive_timeout_ms,
                                 .range_from = body.size,
                                 .if_range = validator};
    std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(url, request);
    if (response) platform::RemoveUrlFromCache(url);
    const int status = response ? response->Status() : 0;
    const bool resumed = status == 206 && body.size > 0 && response->RangeStart() == body.size;
    if (!response || !IsSuccess(status) || (status == 206 && !resumed)) {
      if (attempt == 0) break;  // the first answer decides, as for any download
      continue;
    }
    if (!resumed) {
      body.StartOver(local_name);
      validator = response->Validator();
      if (attempt == 0) FDownloadStartTick = system_.tick_count();
    }
    std::optional<uint64_t> announced = response->ContentLength();
    const std::optional<uint64_t> total = announced ? std::optional(body.size + *announced) : std::nullopt;
    if (total.value_or(0) > kLargestTransfer) break;
    if (signed_package && total && *total != signed_package->size) {
      outcome = Transfer::NotTheSignedPackage;
      break;
    }
    outcome = Receive(*response, body, total);
    if (outcome != Transfer::Cut) break;
    outcome = Transfer::Failed;
  }
  if (outcome == Transfer::Complete) {
    body.file->Close();
    if (signed_package && body.digest.Final() != signed_package->sha256) outcome = Transfer::NotTheSignedPackage;
  }
  if (outcome == Transfer::Complete) partial.Keep();
  LTemp = 0;
  Synchronize(&GFilesThread::ShowDownloadProgress);
  return outcome;
}

void GFilesThread::Received::StartOver(const std::string& local_name) {
  file.reset();
  file.emplace(platform::File::Create(local_name));
  digest = Sha256();
  size = 0;
  if (unpacker) unpacker->StartOver();
}

// Reads one answer's body onto what was received before. WinINet reports a dropped connection
// as a normal end, so the bytes that arrived are compared with the announced length; a body
// that ends short, a read error and a stall are all a cut, which the caller may resume.
GFilesThread::Transfer GFilesThread::Receive(platform::UrlResponse& response, Received& body,
                                             std::optional<uint64_t> total) {
  std::vector<char> block(kReceiveBlock);
  LTemp = static_cast<uint32_t>(body.size);
  for (;;) {
    size_t wanted = block.size();
    if (body.signed_package) {
      if (body.size == body.signed_package->size) break;
      wanted = static_cast<size_t>(std::min<uint64_t>(wanted, body.signed_package->size - body.size));
    }
    size_t got = 0;
    if (!response.Read(block.data(), wanted, got)) return Transfer::Cut;
    if (got == 0) break;
    body.size += got;
    if (body.size > kLargestTransfer) return Transfer::Failed;
    body.file->Write(block.data(), got);
    if (body.signed_package) body.digest.Update(block.data(), got);
    if (body.unpacker) body.unpacker->Feed(block.data(), got);
    if (body.show_progress) {
      LTemp += static_cast<uint32_t>(got);
      Synchronize(&GFilesThread::ShowDownloadProgress);
    }
  }
  if (total && *total != body.size) return Transfer::Cut;
  if (body.signed_package && body.size != body.signed_package->size) return Transfer::Cut;
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
