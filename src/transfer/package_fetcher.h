#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "signing/signed_statement.h"
#include "transfer/created_folders.h"
#include "transfer/package_sink.h"
#include "transfer/package_transfer.h"


// One package to fetch, for one entry of the list.
struct FetchOrder {
  std::string url;
  std::string package;  // where it is written; its folder is created when missing
  const PackageDigest* signed_package = nullptr;
  // What the package is expected to take on disk while it waits for its turn.
  uint64_t expected_size = 0;
  // What the file it unpacks to takes on disk until it is put in place.
  uint64_t unpacked_size = 0;
  // A larger answer fails (0: the transfer settings' bound).
  uint64_t largest = 0;
  // Fetched only if the worker follows it, never ahead: the whole package of an entry that
  // comes through deltas, wanted only when they fail.
  bool on_demand = false;
};

struct FetchSettings {
  unsigned connections = 4;
  // Packages fetched for entries whose turn has not come hold at most this many bytes.
  uint64_t ahead_bytes = uint64_t{64} << 20;
  TransferSettings transfer;
  std::function<uint32_t()> tick_count;
  // The bytes still free on the disk the packages are written to; nothing when unknown.
  std::function<std::optional<uint64_t>()> free_space;
};

// Fetches the packages of a run of entries in list order, on a few connections at once, ahead
// of the entry being installed: on a distant server each package otherwise costs a round trip
// of an idle line. The worker takes the packages strictly in order with Follow, and only the
// package it follows is unpacked, as it arrives. A package ahead of its turn never takes the
// disk room that the entry being installed still needs. Destroying the fetcher stops what is
// still being fetched and removes every package nobody took, with the folders made for them
// that stayed empty, so entries that will not be installed leave nothing behind.
class PackageFetcher {
 public:
  // Free bytes that packages fetched ahead always leave on the disk, beside what the entry
  // being installed and the packages still arriving will write.
  static constexpr uint64_t kFreeSpaceMargin = uint64_t{16} << 20;

  PackageFetcher(std::vector<FetchOrder> orders, FetchSettings settings);
  ~PackageFetcher();
  PackageFetcher(const PackageFetcher&) = delete;
  PackageFetcher& operator=(const PackageFetcher&) = delete;

  // The turn of orders[index] has come (index grows from call to call, or stays after
  // FetchAgainAlone; orders on demand that are not wanted are passed over). Feeds its package
  // to sink as it arrives, calls progress(bytes received) on the calling thread whenever more
  // arrived (the last call gives the whole package's size), and returns how the transfer ended. A complete package then
  // belongs to the caller, who removes it. Raises what the transfer raised: a package file
  // that could not be created or written.
  TransferOutcome Follow(size_t index, PackageSink& sink,
                         const std::function<void(uint64_t received)>& progress);

  // Whether fetching ahead touched the turn of orders[index]: its package began before its
  // turn, or a later order's package began.
  bool FetchedAhead(size_t index) const;
  // After the turn of orders[index] failed: gives up its package and every later one (their
  // transfers stop, their packages and the folders made for them that stayed empty go) and
  // fetches them again from index, as if nothing had been fetched ahead. Nothing after index
  // starts before the worker follows a later order.
  void FetchAgainAlone(size_t index);

  // Creates the file's folder and its missing parents; the ones made for the pass's files are
  // removed with the fetcher when they stayed empty. True when the folder exists.
  bool MakeFolderOf(const std::string& file);

  // Why the last request for orders[index] could not be opened, if one could not.
  std::optional<platform::InternetFailure> ConnectionFailureOf(size_t index) const;

  // Bytes received on all connections, and the tick count of the first answer: the real rate.
  uint64_t TotalReceived() const;
  std::optional<uint32_t> FirstAnswerTick() const;

 private:
  struct Job;
  class JobObserver;
  struct DiskReading {
    std::optional<uint64_t> free;
    size_t head = 0;        // head_ when it was read
    uint64_t received = 0;  // total_received_ when it was read
  };

  void Run();
  void Fetch(size_t index);
  bool MayStart(size_t index) const;
  bool LeavesRoomFor(size_t index) const;
  std::optional<uint64_t> FreeSpace() const;
  uint64_t StillToArrive(size_t index) const;
  uint64_t HeldAhead() const;
  bool MayGoOn(size_t index) const;
  bool Pending(size_t index) const;
  void RemoveUntakenPackages(size_t from);

  const std::vector<FetchOrder> orders_;
  FetchSettings settings_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job> jobs_;
  size_t head_ = 0;  // the order whose turn it is
  size_t next_ = 0;  // the next order to start
  size_t ahead_from_ = 0;  // orders start ahead of their turn only while head_ is here or beyond
  bool closing_ = false;  // the connections end
  bool cancelled_ = false;  // the transfers under way end
  std::atomic<bool> stopping_{false};  // cancelled_, for the transfers' waits
  uint64_t total_received_ = 0;
  std::optional<uint32_t> first_answer_tick_;
  mutable std::optional<DiskReading> disk_reading_;
  CreatedFolders folders_;
  std::vector<std::thread> connections_;  // last: they end before what they use goes
  std::vector<std::thread> on_demand_;     // the orders on demand that were followed
};
