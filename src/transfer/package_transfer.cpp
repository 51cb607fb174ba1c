#include "transfer/package_transfer.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "common/scoped_removal.h"
#include "platform/internet.h"
#include "signing/sha256.h"

namespace {

constexpr size_t kReceiveBlock = 262144;
// A cut transfer is asked for again this many times, after kResumeBackoffMs times the attempt.
constexpr int kResumes = 3;
constexpr uint32_t kResumeBackoffMs = 500;

enum class Answer { Complete, Failed, Cut, Cancelled };

bool IsSuccess(int status) { return status >= 200 && status <= 299; }

// What a transfer has received so far, kept across the requests that resume it.
class Received {
 public:
  Received(std::string local_name, const PackageDigest* signed_package, uint64_t largest, TransferObserver& observer)
      : local_name_(std::move(local_name)), signed_package_(signed_package), largest_(largest), observer_(observer) {}

  uint64_t size() const { return size_; }

  // Drops what was received: the next bytes are the file's first.
  void StartOver() {
    file_.reset();
    file_.emplace(platform::File::Create(local_name_));
    digest_ = Sha256();
    if (size_ > 0) observer_.StartedOver();
    size_ = 0;
  }

  // Reads one answer's body onto what was received before. WinINet reports a dropped
  // connection as a normal end, so the bytes that arrived are compared with the announced
  // length; a body that ends short, a read error and a stall are all a cut, which the caller may
  // resume.
  Answer Read(platform::UrlResponse& response, std::optional<uint64_t> total) {
    std::vector<char> block(kReceiveBlock);
    for (;;) {
      size_t wanted = block.size();
      if (signed_package_) {
        if (size_ == signed_package_->size) break;
        wanted = static_cast<size_t>(std::min<uint64_t>(wanted, signed_package_->size - size_));
      }
      size_t got = 0;
      if (!response.Read(block.data(), wanted, got)) return Answer::Cut;
      if (got == 0) break;
      size_ += got;
      if (size_ > largest_) return Answer::Failed;
      file_->Write(block.data(), got);
      if (signed_package_) digest_.Update(block.data(), got);
      if (!observer_.Arrived(*file_, block.data(), got, size_)) return Answer::Cancelled;
    }
    if (total && *total != size_) return Answer::Cut;
    if (signed_package_ && size_ != signed_package_->size) return Answer::Cut;
    return Answer::Complete;
  }

  bool MatchesTheSignedPackage() {
    return !signed_package_ || (size_ == signed_package_->size && digest_.Final() == signed_package_->sha256);
  }

  void Close() { file_->Close(); }

 private:
  std::string local_name_;
  const PackageDigest* signed_package_;
  const uint64_t largest_;
  TransferObserver& observer_;
  std::optional<platform::File> file_;
  Sha256 digest_;
  uint64_t size_ = 0;
};

}  // namespace

// A transfer cut or stalled after a successful first answer is resumed from the bytes already
// received, up to kResumes times, with a range request that only the same version of the file
// can answer partially (If-Range with the first answer's validator). A server that answers
// with the whole file instead, or a file that changed meanwhile, starts the transfer over: the
// bytes of two versions are never joined.
TransferOutcome TransferFile(const std::string& url, const std::string& local_name, const PackageDigest* signed_package,
                             const TransferSettings& settings, TransferObserver& observer) {
  ScopedRemoval partial(local_name);
  Received body(local_name, signed_package, settings.largest, observer);
  std::string validator;
  bool began = false;
  TransferOutcome outcome = TransferOutcome::Failed;
  auto cancelled = [&] { return settings.cancelled && *settings.cancelled; };
  for (int attempt = 0; attempt <= kResumes && !cancelled(); ++attempt) {
    if (attempt > 0 && settings.pause) settings.pause(kResumeBackoffMs * attempt);
    platform::UrlRequest request{.agent = "RUDoravoRuzazar",
                                 .reload = true,
                                 .no_cache_write = true,
                                 .receive_timeout_ms = settings.receive_timeout_ms,
                                 .range_from = body.size(),
                                 .if_range = validator,
                                 .cancelled = settings.cancelled};
    platform::InternetFailure failure;
    request.failure = &failure;
    std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(url, request);
    if (!response && !cancelled()) observer.NotConnected(failure);
    if (response) platform::RemoveUrlFromCache(url);
    const int status = response ? response->Status() : 0;
    const bool resumed = status == 206 && body.size() > 0 && response->RangeStart() == body.size();
    if (!response || !IsSuccess(status) || (status == 206 && !resumed)) {
      if (attempt == 0) break;  // the first answer decides, as for any download
      continue;
    }
    if (!resumed) {
      body.StartOver();
      validator = response->Validator();
      if (!began) observer.Began();
      began = true;
    }
    std::optional<uint64_t> announced = response->ContentLength();
    const std::optional<uint64_t> total = announced ? std::optional(body.size() + *announced) : std::nullopt;
    if (total.value_or(0) > settings.largest) break;
    if (signed_package && total && *total != signed_package->size) {
      outcome = TransferOutcome::NotTheSignedPackage;
      break;
    }
    const Answer answer = body.Read(*response, total);
    if (answer == Answer::Complete) outcome = TransferOutcome::Complete;
    if (answer == Answer::Cancelled) outcome = TransferOutcome::Cancelled;
    if (answer != Answer::Cut) break;
  }
  if (outcome != TransferOutcome::Complete && cancelled()) outcome = TransferOutcome::Cancelled;
  if (outcome == TransferOutcome::Complete) {
    body.Close();
    if (!body.MatchesTheSignedPackage()) outcome = TransferOutcome::NotTheSignedPackage;
  }
  if (outcome == TransferOutcome::Complete) partial.Keep();
  return outcome;
}
