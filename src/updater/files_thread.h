#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/launcher_view.h"
#include "common/window_thread.h"
#include "delta/delta_index.h"
#include "platform/files.h"
#include "platform/system.h"
#include "signing/signed_statement.h"
#include "transfer/package_fetcher.h"
#include "transfer/package_transfer.h"

class PackageUnpacker;
namespace platform {
class FolderLock;
class UrlResponse;
}

// What the worker asks of the system; tests replace the parts that would wait, read the
// clock, start programs, end the process or touch the test program's own file.
struct UpdaterSystem {
  std::function<void(uint32_t milliseconds)> pause = platform::Sleep;
  // Milliseconds, wrapping at 32 bits; also read on the window thread by the download line.
  std::function<uint32_t()> tick_count = platform::TickCount;
  std::function<bool(const std::string& ansi_command_line)> run_command_line = platform::RunCommandLine;
  std::function<void(unsigned exit_code)> exit_process = [](unsigned code) { platform::ExitProcessNow(code); };
  std::function<std::string()> executable_path = platform::ExecutablePath;
  // A transfer that receives nothing for this long fails.
  uint32_t receive_timeout_ms = 60000;
  // Game files stay below 2 GiB, as the list's sizes do: a package that unpacks to more is
  // damaged or hostile, and is stopped before it fills the disk.
  uint64_t max_unpacked_size = 0x7FFFFFFF;
  // With keys, a list is taken only with a statement signed by one of them, and every package
  // only with its signed digest. Empty: lists and packages are taken as they come.
  std::vector<PublicKey> trusted_keys;
  std::function<int64_t()> unix_time = platform::UnixTime;
  // While one entry is installed, the packages of the next ones are fetched on this many
  // connections, holding at most fetch_ahead_bytes of packages not yet installed. One
  // connection and no bytes ahead fetch one package at a time, each at its entry's turn.
  unsigned fetch_connections = kFetchConnections;
  uint64_t fetch_ahead_bytes = kFetchAheadBytes;
  // The bytes still free on the disk that holds a folder (nothing when it cannot be read):
  // packages are fetched ahead only while they leave room for the entry being installed.
  std::function<std::optional<uint64_t>(const std::string& folder)> free_space = platform::FreeSpaceOf;
  static constexpr unsigned kFetchConnections = 4;
  static constexpr uint64_t kFetchAheadBytes = uint64_t{64} << 20;
};

// The update worker: one pass that fetches the update list, checks the listed game files,
// downloads and installs the outdated ones and ends by showing the play control or by
// restarting a newly installed launcher. Its fields are written only by the worker thread;
// the hand-overs (the functions under "window thread") run on the window thread through
// WindowThread::RunSynchronized while the worker waits, and only read them.
//
// One pass at a time runs over a game folder, in any number of launcher processes.
// Files are named relative to the working directory, the game folder. While a file is being
// replaced, its package lives as path + ".rar" and the unpacked file as path + ".new"; the
// game file itself changes only by an atomic rename of a complete, verified ".new" file, and
// the next pass removes leftovers of both kinds for every listed entry. A game file that the
// site's deltas lead from its content to the listed one is rebuilt from them instead of the
// package; they live as path + ".1.delta", ".2.delta"... until the file is in place.
class GFilesThread {
 public:
  // The view and the window thread must outlive the worker.
  GFilesThread(LauncherView& view, WindowThread& window, UpdaterSystem system = {});
  ~GFilesThread();
  GFilesThread(const GFilesThread&) = delete;
  GFilesThread& operator=(const GFilesThread&) = delete;

  // --- Thread control (any thread; the worker is created suspended) ---
  // The update location; stored into UUrl before the start.
  void UpdatesUrl(const std::string& url) { UUrl = url; }
  // A worker that frees itself must have been made with new; nobody may touch it after Start.
  void SetFreeOnTerminate(bool free_on_terminate) { free_on_terminate_ = free_on_terminate; }
  // Runs Execute on a new thread.
  void Start();
  // Asks the pass to skip the check and the remaining packages; it still runs to its end.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once Execute has returned on the worker's own thread.
  bool Finished() const { return finished_; }
  // Waits for a started worker that does not free itself.
  void WaitFor();

  // --- The pass and its stages (worker thread) ---
  void Execute();
  // Fetches the update list. True only when the whole body of a successful answer arrived (as
  // many bytes as announced, at most 64 MiB); otherwise nothing of the transfer stays at
  // LocalName. A local file that cannot be created or written raises.
  bool DownloadFile(const std::string& URL, const std::string& LocalName, bool ShowProgress);
  // Appends the outdated lines of the "Download" section to FilesToGet.
  void CheckFiles(const std::vector<std::string>& List);
  void InstallFiles();

  // --- Hand-overs (window thread) ---
  void ShowStatus();
  void HidePlay();
  void SetBarRange();
  void SetTotalPosition();
  void SetFilePosition();
  void ClearDetail();
  void ShowDownloadProgress();
  void ShowFinalText();
  void FinishUpdate();

  // --- Fields ---
  void* FEvent = nullptr;  // nothing waits on the worker; stays empty
  // What the next progress hand-over shows: a bar position or maximum, or bytes received.
  uint32_t LTemp = 0;
  // The expected package size as decimal text; empty until the first package.
  std::string Aux;
  std::string FileInDown;
  std::string USelfParam;  // "FAIL" skips the list processing; nothing sets it
  std::vector<std::string> FilesToGet;
  uint32_t FilesSize = 0;  // sum of the outdated entries' sizes, modulo 2^32
  // Which bar SetBarRange drives: 0 the file bar, 1 the total bar, other values none.
  int32_t CSwitch = 0;
  std::string UUrl;
  std::string Dir;  // the working directory and "\"
  uint32_t FDownloadStartTick = 0;
  // Bytes received since FDownloadStartTick, on every connection fetching for the pass: what
  // the rate is counted from.
  uint64_t RateBytes = 0;

 private:
  enum class EntryOutcome { Installed, Failed, DownloadFailed };
  enum class DeltaOutcome { Installed, UsePackage, Cancelled };
  // One delta of an entry's chain and its place among the fetcher's orders.
  struct DeltaStep {
    DeltaEntry delta;
    size_t order = 0;
  };
  // An entry of the installation stage as read before any package is fetched.
  struct PlannedEntry {
    std::string path;
    uint32_t size = 0;
    uint32_t crc = 0;
    std::string refusal;           // why it fails before any transfer; logged when not empty
    std::optional<size_t> order;   // its package's place among the fetcher's orders
    // The deltas that lead the game file's content to the listed one, in the order they
    // apply; the package is then fetched only if they fail. Empty: the package alone.
    std::vector<DeltaStep> deltas;
  };
  // A chain longer than this costs more requests than it saves; so many versions are never kept.
  static constexpr size_t kLongestDeltaChain = 8;

  // How often a pass that waits for another checks whether it was told to stop.
  static constexpr uint32_t kFolderWaitSliceMs = 250;

  void Synchronize(void (GFilesThread::*handover)());
  std::unique_ptr<platform::FolderLock> WaitForTheGameFolder();
  void RunThread();
  void RunPass();
  bool IsOutdated(const std::string& line);
  std::vector<PlannedEntry> PlanEntries(std::vector<FetchOrder>& orders, const std::vector<DeltaEntry>& deltas) const;
  EntryOutcome InstallEntry(const PlannedEntry& entry, PackageFetcher& fetcher);
  // The deltas the site publishes for this pass's outdated files: none when no outdated file
  // is at hand to start from, or when the site has no index (or, signed, none it vouches for).
  std::vector<DeltaEntry> FetchDeltaIndex();
  // Gives the planned entry the cheapest chain of deltas from its game file, when there is one
  // smaller than its package, with an order for each delta.
  void PlanDeltas(PlannedEntry& planned, uint32_t package_size, std::vector<FetchOrder>& orders,
                  const std::vector<DeltaEntry>& deltas) const;
  // Fetches the entry's deltas, applies them to its game file and puts the result in place;
  // anything on the way that fails gives UsePackage, with the reason in why_not.
  DeltaOutcome InstallThroughDeltas(const PlannedEntry& entry, PackageFetcher& fetcher, std::string& why_not);
  void PutInPlace(const std::string& unpacked, const std::string& target, bool running_launcher);
  void ReplaceRunningLauncher(const std::string& unpacked, const std::string& target);
  TransferSettings TransferSettingsOf() const;
  // Unpacks what the download left to unpack, with the file bar following the package, and
  // checks the CRC-32 of the whole; raises when the package is damaged or does not match.
  void FinishUnpacking(PackageUnpacker& unpacker, uint64_t package_size, uint32_t expected_crc);
  // With trusted keys: fetches and checks the list's statement; false, with the refusal shown
  // and logged, when the list must not be used.
  bool AcceptSignedList(const std::string& list_path);
  void Refuse(const std::string& reason);
  // Logs why a request to the update site could not be opened.
  void LogNotConnected(const std::string& url, const platform::InternetFailure& failure);
  // Appends a line to the activity log through the window thread, which owns the log.
  void Log(const std::string& message);
  void WriteLogEntry();
  std::string AcceptedVersionPath() const;
  // The folder of the launcher's own files, with its trailing separator.
  std::string LauncherFolder() const;

  LauncherView& view_;
  WindowThread& window_;
  UpdaterSystem system_;
  std::optional<SignedStatement> statement_;  // the accepted statement of this pass's list
  // The CRC-32 of each outdated game file that exists, by its list path: where deltas start.
  std::map<std::string, uint32_t> local_crcs_;
  std::string log_entry_;                     // read by WriteLogEntry on the window thread
  // Why DownloadFile's last request could not be opened, if it could not.
  std::optional<platform::InternetFailure> download_not_connected_;
  std::thread thread_;
  bool free_on_terminate_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
};
