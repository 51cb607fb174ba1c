#include "transfer/package_fetcher.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <map>
#include <stdexcept>

#include "platform/files.h"
#include "platform/internet.h"

namespace {

constexpr size_t kCatchUpBlock = 262144;
// What a connection may queue for the worker to unpack before it waits for the worker.
constexpr size_t kQueuedBytes = size_t{1} << 20;
// The disk's free space is read again once this much more arrived.
constexpr uint64_t kFreeSpaceRereadBytes = uint64_t{1} << 20;

// Game folders ignore the letter case of names.
std::string FoldedName(std::string path) {
  for (char& c : path) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace

// Bytes of the package handed from its connection to the worker; empty: the transfer started
// over, and what was unpacked so far is to be dropped.
using Piece = std::vector<char>;

struct PackageFetcher::Job {
  enum class State { Waiting, Running, Done };
  State state = State::Waiting;
  uint64_t received = 0;
  TransferOutcome outcome = TransferOutcome::Failed;
  bool followed = false;  // its turn has come: what arrives is queued for the worker
  std::deque<Piece> queue;
  size_t queued_bytes = 0;
  uint64_t handed = 0;  // how much of the package went to the queue
  bool taken = false;  // the complete package belongs to the worker
  std::exception_ptr error;  // what the connection raised: a local file it could not write
  std::optional<platform::InternetFailure> not_connected;  // why its last request could not be opened
  std::optional<size_t> same_package_before;  // an earlier order that writes the same file
  bool started_ahead = false;  // it began before its turn
};

// Runs on the connection's thread: counts what arrives, holds a package ahead that outgrew
// its room until its turn or room comes, and hands the package whose turn it is to the worker,
// who unpacks it: the unpacker and its memory stay on the worker's thread.
class PackageFetcher::JobObserver : public TransferObserver {
 public:
  JobObserver(PackageFetcher& fetcher, size_t index) : fetcher_(fetcher), index_(index), job_(fetcher.jobs_[index]) {}

  void Began() override {
    std::lock_guard lock(fetcher_.mutex_);
    if (!fetcher_.first_answer_tick_ && fetcher_.settings_.tick_count) {
      fetcher_.first_answer_tick_ = fetcher_.settings_.tick_count();
    }
  }

  void StartedOver() override {
    std::lock_guard lock(fetcher_.mutex_);
    job_.received = 0;
    if (job_.handed == 0) return;
    job_.handed = 0;
    job_.queue.clear();
    job_.queued_bytes = 0;
    job_.queue.emplace_back();
    fetcher_.changed_.notify_all();
  }

  void NotConnected(const platform::InternetFailure& failure) override {
    std::lock_guard lock(fetcher_.mutex_);
    job_.not_connected = failure;
  }

  bool Arrived(platform::File& file, const char* data, size_t size, uint64_t received) override {
    std::unique_lock lock(fetcher_.mutex_);
    fetcher_.total_received_ += size;
    job_.received = received;
    fetcher_.changed_.notify_all();
    fetcher_.changed_.wait(lock, [&] { return fetcher_.cancelled_ || fetcher_.MayGoOn(index_); });
    if (fetcher_.cancelled_) return false;
    if (!job_.followed) return true;
    // Its turn came while it was arriving: what is on disk goes first.
    if (job_.handed < received - size) {
      std::vector<char> block(kCatchUpBlock);
      file.Seek(static_cast<int64_t>(job_.handed));
      while (job_.handed < received - size) {
        lock.unlock();
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(block.size(), received - size - job_.handed));
        const size_t got = file.Read(block.data(), wanted);
        if (got == 0) throw std::runtime_error("The package is shorter than what was received");
        lock.lock();
        if (!Hand(lock, block.data(), got)) return false;
      }
      file.Seek(static_cast<int64_t>(received));
    }
    return Hand(lock, data, size);
  }

 private:
  // Queues bytes for the worker, waiting while it has enough to do. False when cancelled.
  bool Hand(std::unique_lock<std::mutex>& lock, const char* data, size_t size) {
    fetcher_.changed_.wait(lock, [&] { return fetcher_.cancelled_ || job_.queued_bytes < kQueuedBytes; });
    if (fetcher_.cancelled_) return false;
    job_.queue.emplace_back(data, data + size);
    job_.queued_bytes += size;
    job_.handed += size;
    fetcher_.changed_.notify_all();
    return true;
  }

  PackageFetcher& fetcher_;
  const size_t index_;
  Job& job_;
};

PackageFetcher::PackageFetcher(std::vector<FetchOrder> orders, FetchSettings settings)
    : orders_(std::move(orders)), settings_(std::move(settings)), jobs_(orders_.size()) {
  settings_.transfer.cancelled = &stopping_;
  // A list may name one file twice: its second package waits until the first was installed,
  // so that two connections never write one file.
  std::map<std::string, size_t> last_with_name;
  for (size_t i = 0; i < orders_.size(); ++i) {
    auto [previous, first] = last_with_name.try_emplace(FoldedName(orders_[i].package), i);
    if (!first) {
      jobs_[i].same_package_before = previous->second;
      previous->second = i;
    }
  }
  const size_t connections = std::min<size_t>(std::max(settings_.connections, 1u), orders_.size());
  if (connections > 1) platform::AllowConnectionsPerServer(static_cast<unsigned>(connections));
  for (size_t i = 0; i < connections; ++i) connections_.emplace_back([this] { Run(); });
}

PackageFetcher::~PackageFetcher() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    cancelled_ = true;
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& connection : connections_) connection.join();
  for (std::thread& transfer : on_demand_) transfer.join();
  RemoveUntakenPackages(0);
}  // then the folders made for what was not installed

// The transfers stop as at the fetcher's end, but the connections stay for what is fetched
// again; nothing starts while the packages and folders go.
void PackageFetcher::FetchAgainAlone(size_t index) {
  std::unique_lock lock(mutex_);
  cancelled_ = true;
  stopping_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] {
    return std::none_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.state == Job::State::Running; });
  });
  RemoveUntakenPackages(index);
  folders_.RemoveEmpty();
  for (size_t i = index; i < jobs_.size(); ++i) {
    Job fresh;
    fresh.same_package_before = jobs_[i].same_package_before;
    jobs_[i] = std::move(fresh);
  }
  head_ = next_ = index;
  ahead_from_ = index + 1;
  cancelled_ = false;
  stopping_ = false;
  changed_.notify_all();
}

bool PackageFetcher::FetchedAhead(size_t index) const {
  std::lock_guard lock(mutex_);
  return jobs_[index].started_ahead || next_ > index + 1;
}

void PackageFetcher::RemoveUntakenPackages(size_t from) {
  for (size_t i = from; i < jobs_.size(); ++i) {
    if (jobs_[i].outcome == TransferOutcome::Complete && !jobs_[i].taken) platform::RemoveFile(orders_[i].package);
  }
}

bool PackageFetcher::MakeFolderOf(const std::string& file) { return folders_.MakeFolderOf(file); }

void PackageFetcher::Run() {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] {
        while (next_ < orders_.size() && orders_[next_].on_demand) ++next_;
        return closing_ || (!cancelled_ && next_ < orders_.size() && MayStart(next_));
      });
      if (closing_) return;
      index = next_++;
      jobs_[index].state = Job::State::Running;
      jobs_[index].started_ahead = index > head_;
    }
    Fetch(index);
  }
}

void PackageFetcher::Fetch(size_t index) {
  const FetchOrder& order = orders_[index];
  Job& job = jobs_[index];
  TransferOutcome outcome = TransferOutcome::Failed;
  std::exception_ptr error;
  try {
    JobObserver observer(*this, index);
    MakeFolderOf(order.package);
    TransferSettings transfer = settings_.transfer;
    if (order.largest) transfer.largest = std::min(transfer.largest, order.largest);
    outcome = TransferFile(order.url, order.package, order.signed_package, transfer, observer);
  } catch (...) {
    error = std::current_exception();
  }
  {
    std::lock_guard lock(mutex_);
    job.outcome = outcome;
    job.error = error;
    job.state = Job::State::Done;
  }
  changed_.notify_all();
}

// The order whose turn it is always starts; one ahead of it only when its expected size fits
// beside what is already held ahead and the disk has room for it.
bool PackageFetcher::MayStart(size_t index) const {
  if (jobs_[index].same_package_before && *jobs_[index].same_package_before >= head_) return false;
  if (index <= head_) return true;
  return head_ >= ahead_from_ && HeldAhead() + orders_[index].expected_size <= settings_.ahead_bytes &&
         LeavesRoomFor(index);
}

// A package fetched ahead that fills the disk makes an earlier entry fail, one that would
// have installed without it. So it starts only while the disk keeps room for it, for what the
// entry being installed will still write (the rest of its package and its whole unpacked
// file) and the other packages arriving ahead will still write, and the margin. A disk that
// cannot tell its free space is not looked at.
bool PackageFetcher::LeavesRoomFor(size_t index) const {
  const std::optional<uint64_t> free = FreeSpace();
  if (!free) return true;
  uint64_t needed = kFreeSpaceMargin + orders_[index].expected_size + orders_[head_].unpacked_size;
  for (size_t i = head_; i < next_; ++i) needed += StillToArrive(i);
  return needed <= *free;
}

// The free space as last read, less what arrived since: every idle connection looks at it
// whenever a block arrives anywhere, and a system call each time would cost more than the
// blocks. It is read again when the turn moves on, which installs a file and removes its
// package, and after every megabyte received.
std::optional<uint64_t> PackageFetcher::FreeSpace() const {
  if (!settings_.free_space) return std::nullopt;
  if (!disk_reading_ || disk_reading_->head != head_ ||
      total_received_ - disk_reading_->received >= kFreeSpaceRereadBytes) {
    disk_reading_ = DiskReading{.free = settings_.free_space(), .head = head_, .received = total_received_};
  }
  if (!disk_reading_->free) return std::nullopt;
  const uint64_t since = total_received_ - disk_reading_->received;
  return *disk_reading_->free - std::min(*disk_reading_->free, since);
}

uint64_t PackageFetcher::StillToArrive(size_t index) const {
  if (jobs_[index].state == Job::State::Done || Pending(index)) return 0;
  return orders_[index].expected_size - std::min(orders_[index].expected_size, jobs_[index].received);
}

// A package ahead of its turn that outgrows its expected size waits while the bound is passed.
bool PackageFetcher::MayGoOn(size_t index) const { return index <= head_ || HeldAhead() <= settings_.ahead_bytes; }

uint64_t PackageFetcher::HeldAhead() const {
  uint64_t held = 0;
  for (size_t i = head_ + 1; i < next_; ++i) {
    if (!Pending(i)) held += std::max(orders_[i].expected_size, jobs_[i].received);
  }
  return held;
}

// An order on demand that nobody followed: passed over, it holds and awaits nothing.
bool PackageFetcher::Pending(size_t index) const {
  return orders_[index].on_demand && jobs_[index].state == Job::State::Waiting;
}

TransferOutcome PackageFetcher::Follow(size_t index, PackageSink& sink,
                                       const std::function<void(uint64_t received)>& progress) {
  Job& job = jobs_[index];
  std::unique_lock lock(mutex_);
  head_ = index;
  job.followed = true;
  if (Pending(index)) {
    // Wanted after all: it runs on a connection of its own, its turn having come.
    job.state = Job::State::Running;
    next_ = std::max(next_, index + 1);
    on_demand_.emplace_back([this, index] { Fetch(index); });
  }
  changed_.notify_all();
  uint64_t shown = 0;
  for (;;) {
    changed_.wait(lock, [&] {
      return job.state == Job::State::Done || !job.queue.empty() || (job.state == Job::State::Running && job.received != shown);
    });
    const bool done = job.state == Job::State::Done;
    const uint64_t received = job.received;
    std::deque<Piece> pieces = std::move(job.queue);
    job.queue.clear();
    job.queued_bytes = 0;
    changed_.notify_all();
    lock.unlock();
    for (const Piece& piece : pieces) {
      if (piece.empty()) sink.StartOver();
      else sink.Feed(piece.data(), piece.size());
    }
    if (received != shown) {
      shown = received;
      if (progress) progress(shown);
    }
    lock.lock();
    if (done) break;
  }
  const TransferOutcome outcome = job.outcome;
  const uint64_t received = job.received, handed = job.handed;
  job.taken = outcome == TransferOutcome::Complete;
  lock.unlock();
  if (job.error) std::rethrow_exception(job.error);
  // Fetched before its turn, or done before its connection saw the turn come.
  if (job.taken && handed < received) {
    platform::File package = platform::File::OpenRead(orders_[index].package);
    std::vector<char> block(kCatchUpBlock);
    package.Seek(static_cast<int64_t>(handed));
    for (uint64_t at = handed; at < received;) {
      const size_t got = package.Read(block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), received - at)));
      if (got == 0) throw std::runtime_error("The package is shorter than what was received");
      sink.Feed(block.data(), got);
      at += got;
    }
  }
  return outcome;
}

uint64_t PackageFetcher::TotalReceived() const {
  std::lock_guard lock(mutex_);
  return total_received_;
}

std::optional<uint32_t> PackageFetcher::FirstAnswerTick() const {
  std::lock_guard lock(mutex_);
  return first_answer_tick_;
}

std::optional<platform::InternetFailure> PackageFetcher::ConnectionFailureOf(size_t index) const {
  std::lock_guard lock(mutex_);
  return jobs_[index].not_connected;
}
