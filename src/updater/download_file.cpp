// Downloads with progress: the transfer on the worker, the download line on the window.
#include <charconv>

#include "common/language.h"
#include "common/size_format.h"
#include "transfer/package_transfer.h"
#include "updater/files_thread.h"
#include "updater/updater_texts.h"

namespace {

// The update list is read to at most this size: a list of 100,000 entries takes about 6 MB, and
// an answer that goes on without end must not fill the game folder's disk.
constexpr uint64_t kLargestList = uint64_t{64} << 20;

int64_t ParseInt64(const std::string& text) {
  int64_t value = 0;
  auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && stop == text.data() + text.size() ? value : 0;
}

// Hands what a transfer on the worker's own thread does to the given steps.
class WorkerTransfer : public TransferObserver {
 public:
  WorkerTransfer(std::function<void()> began, std::function<void(uint64_t)> arrived,
                 std::optional<platform::InternetFailure>& not_connected)
      : began_(std::move(began)), arrived_(std::move(arrived)), not_connected_(not_connected) {}
  void Began() override { began_(); }
  void NotConnected(const platform::InternetFailure& failure) override { not_connected_ = failure; }
  void StartedOver() override { arrived_(0); }
  bool Arrived(platform::File&, const char*, size_t, uint64_t received) override {
    arrived_(received);
    return true;
  }

 private:
  std::function<void()> began_;
  std::function<void(uint64_t)> arrived_;
  std::optional<platform::InternetFailure>& not_connected_;
};

}  // namespace

TransferSettings GFilesThread::TransferSettingsOf() const {
  return TransferSettings{.receive_timeout_ms = system_.receive_timeout_ms, .pause = system_.pause};
}

bool GFilesThread::DownloadFile(const std::string& URL, const std::string& LocalName, bool ShowProgress) {
  LTemp = 0;
  download_not_connected_.reset();
  WorkerTransfer progress([this] { FDownloadStartTick = system_.tick_count(); },
                          [this, ShowProgress](uint64_t received) {
                            LTemp = static_cast<uint32_t>(received);
                            RateBytes = received;
                            if (ShowProgress) Synchronize(&GFilesThread::ShowDownloadProgress);
                          },
                          download_not_connected_);
  TransferSettings settings = TransferSettingsOf();
  settings.largest = kLargestList;
  const TransferOutcome outcome = TransferFile(URL, LocalName, nullptr, settings, progress);
  LTemp = 0;
  RateBytes = 0;
  Synchronize(&GFilesThread::ShowDownloadProgress);
  return outcome == TransferOutcome::Complete;
}

// The rate is the average since the transfer began, over every connection that fetches for
// the pass; the list's own download (empty Aux) moves the bar but leaves the text alone.
void GFilesThread::ShowDownloadProgress() {
  int64_t done = LTemp;
  const int64_t total = ParseInt64(Aux);
  if (total > 0 && done > total) done = total;
  view_.SetFileProgress(static_cast<int32_t>(done));
  const uint32_t elapsed = system_.tick_count() - FDownloadStartTick;
  const double rate =
      elapsed > 0 && done > 0 && RateBytes > 0 ? static_cast<double>(RateBytes) / (elapsed / 1000.0) : 0.0;
  if (Aux.empty()) return;
  std::string sizes = FormatSize(done) + " / " + FormatSize(total);
  if (rate > 0) sizes += " (" + FormatSpeed(rate) + ")";
  view_.SetDetailText(PickText(updater_texts::Downloading(FileInDown, sizes)));
}
