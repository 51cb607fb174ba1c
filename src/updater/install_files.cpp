// The installation stage: download, unpack, verify and put in place each outdated file.
#include <exception>
#include <functional>
#include <stdexcept>

#include "common/language.h"
#include "common/scoped_removal.h"
#include "crc32/crc32.h"
#include "platform/errors.h"
#include "transfer/package_address.h"
#include "transfer/package_fetcher.h"
#include "transfer/package_unpacker.h"
#include "update_list/list_entry.h"
#include "updater/files_thread.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"

namespace {

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

// A complete, verified file that could not take its name.
class PutInPlaceFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The game folder's own trouble: a file that could not be created, written, flushed or put in
// place, as on a full disk, which packages fetched ahead may have filled. Anything else an
// entry raises is the package's verdict: damaged, too large, or not matching the list.
bool IsLocalFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const platform::SystemError&) {
    return true;
  } catch (const PutInPlaceFailure&) {
    return true;
  } catch (...) {
    return false;
  }
}

// A launcher put aside by an earlier replacement may still be running (its image cannot be
// deleted, but it can be renamed): it is removed, or moved to a free name of its own.
void ClearAsideName(const std::string& aside) {
  if (!platform::FileExists(aside) || platform::RemoveFile(aside)) return;
  for (int n = 1; n <= 100; ++n) {
    std::string spare = aside + std::to_string(n);
    if (!platform::FileExists(spare) && platform::RenameFile(aside, spare)) return;
  }
  throw PutInPlaceFailure("\"" + aside + "\" is in the way");
}

}  // namespace

void GFilesThread::InstallFiles() {
  if (FilesToGet.empty()) return;
  bool failed = false;
  LTemp = static_cast<uint32_t>(FilesToGet.size() - 1);
  CSwitch = 1;
  Synchronize(&GFilesThread::SetBarRange);
  std::vector<FetchOrder> orders;
  const std::vector<PlannedEntry> entries = PlanEntries(orders, FetchDeltaIndex());
  {
    std::function<std::optional<uint64_t>()> free_space;
    if (system_.free_space) free_space = std::bind_front(system_.free_space, Dir);
    PackageFetcher fetcher(std::move(orders), FetchSettings{.connections = system_.fetch_connections,
                                                            .ahead_bytes = system_.fetch_ahead_bytes,
                                                            .transfer = TransferSettingsOf(),
                                                            .tick_count = system_.tick_count,
                                                            .free_space = std::move(free_space)});
    for (size_t i = 0; i < entries.size() && !Terminated(); ++i) {
      EntryOutcome outcome = InstallEntry(entries[i], fetcher);
      if (outcome == EntryOutcome::DownloadFailed) {
        StatusText = PickText(updater_texts::DownloadFailed());
        failed = true;
        break;
      }
      if (outcome == EntryOutcome::Failed) {
        StatusText = PickText(updater_texts::InstallFailed());
        failed = true;
      }
      LTemp = static_cast<uint32_t>(i + 1);
      Synchronize(&GFilesThread::SetTotalPosition);
    }
  }  // what was fetched for entries that will not be installed goes with the fetcher
  LTemp = 0;
  Synchronize(&GFilesThread::SetTotalPosition);
  StatusText = PickText(failed ? updater_texts::FinishedWithFailures() : updater_texts::FinishedClean());
  Synchronize(&GFilesThread::ShowFinalText);
}

// A malformed entry, or one whose path could lead outside the game folder, fails before
// anything is read, downloaded or written; a signed list vouches for every package it names,
// and one its statement leaves out is not fetched either. The others get a package to fetch,
// or deltas to fetch first and the package only if they fail.
std::vector<GFilesThread::PlannedEntry> GFilesThread::PlanEntries(std::vector<FetchOrder>& orders,
                                                                  const std::vector<DeltaEntry>& deltas) const {
  std::vector<PlannedEntry> entries;
  for (const std::string& line : FilesToGet) {
    PlannedEntry& planned = entries.emplace_back();
    std::optional<ListEntry> entry = SplitEntry(line);
    std::optional<uint32_t> size = entry ? ParseEntrySize(entry->size) : std::nullopt;
    std::optional<uint32_t> crc = entry ? ParseCrc32(entry->checksum) : std::nullopt;
    if (!size || !crc || !IsSafeGamePath(entry->path)) continue;
    planned.path = entry->path;
    planned.size = *size;
    planned.crc = *crc;
    const PackageDigest* signed_package = nullptr;
    if (statement_) {
      auto found = statement_->packages.find(entry->path);
      if (found == statement_->packages.end()) {
        planned.refusal = "Pacote recusado: " + entry->path + ".rar não consta da declaração assinada";
        continue;
      }
      signed_package = &found->second;
    }
    const uint32_t package_size = signed_package ? signed_package->size : *size;
    PlanDeltas(planned, package_size, orders, deltas);
    planned.order = orders.size();
    orders.push_back(FetchOrder{.url = PackageAddress(UUrl, entry->path),
                                .package = Dir + entry->path + ".rar",
                                .signed_package = signed_package,
                                .expected_size = package_size,
                                .unpacked_size = *size,
                                .on_demand = !planned.deltas.empty()});
  }
  return entries;
}

// Any error on the way fails the entry alone. A local failure may come from packages fetched
// ahead that took the disk's room: they are given up and the entry is tried once more alone,
// with the same steps shown, so that only what it needs itself decides its outcome.
GFilesThread::EntryOutcome GFilesThread::InstallEntry(const PlannedEntry& entry, PackageFetcher& fetcher) {
  if (!entry.refusal.empty()) Log(entry.refusal);
  if (!entry.order) return EntryOutcome::Failed;
  if (!entry.deltas.empty()) {
    const std::string status_before = StatusText;
    std::string why_not;
    switch (InstallThroughDeltas(entry, fetcher, why_not)) {
      case DeltaOutcome::Installed: return EntryOutcome::Installed;
      case DeltaOutcome::Cancelled: return EntryOutcome::DownloadFailed;
      case DeltaOutcome::UsePackage: break;
    }
    Log("Atualização de " + entry.path + " por deltas falhou (" + why_not + "); baixando o pacote completo");
    StatusText = status_before;
  }
  auto attempt = [&] {
    FileInDown = entry.path;
    Synchronize(&GFilesThread::ShowStatus);
    CSwitch = 0;
    LTemp = entry.size;
    Aux = std::to_string(entry.size);
    Synchronize(&GFilesThread::SetBarRange);
    const std::string target = Dir + entry.path;
    const std::string package = target + ".rar", unpacked = target + ".new";
    fetcher.MakeFolderOf(target);
    // Its connection is done with the package when Follow returns, even by an error.
    ScopedRemoval remove_package(package), remove_unpacked(unpacked);
    PackageUnpacker unpacker(unpacked, system_.max_unpacked_size);
    LTemp = 0;
    uint64_t package_size = 0;
    const TransferOutcome transfer = fetcher.Follow(*entry.order, unpacker, [&](uint64_t received) {
      package_size = received;
      LTemp = static_cast<uint32_t>(received);
      FDownloadStartTick = fetcher.FirstAnswerTick().value_or(FDownloadStartTick);
      RateBytes = fetcher.TotalReceived();
      Synchronize(&GFilesThread::ShowDownloadProgress);
    });
    LTemp = 0;
    Synchronize(&GFilesThread::ShowDownloadProgress);
    switch (transfer) {
      case TransferOutcome::Complete: break;
      case TransferOutcome::Failed:
        if (auto why = fetcher.ConnectionFailureOf(*entry.order)) LogNotConnected(PackageAddress(UUrl, entry.path), *why);
        return EntryOutcome::DownloadFailed;
      case TransferOutcome::Cancelled: return EntryOutcome::DownloadFailed;
      case TransferOutcome::NotTheSignedPackage:
        Log("Pacote recusado: " + entry.path + ".rar não confere com a declaração assinada");
        return EntryOutcome::Failed;
    }
    Synchronize(&GFilesThread::ShowStatus);
    Synchronize(&GFilesThread::ClearDetail);
    StatusText = PickText(updater_texts::Extracting(entry.path));
    Synchronize(&GFilesThread::ShowStatus);
    FinishUnpacking(unpacker, package_size, entry.crc);
    PutInPlace(unpacked, target, entry.path == LauncherExeName);
    return EntryOutcome::Installed;
  };
  const std::string status_before = StatusText;
  for (bool alone = false;; alone = true) {
    try {
      return attempt();
    } catch (...) {
      if (alone || !IsLocalFailure(std::current_exception()) || !fetcher.FetchedAhead(*entry.order)) {
        return EntryOutcome::Failed;
      }
    }
    fetcher.FetchAgainAlone(*entry.order);
    StatusText = status_before;
  }
}

// One rename replaces the game file, so a process ended at any moment leaves either the old
// file or the complete new one under the real name.
void GFilesThread::PutInPlace(const std::string& unpacked, const std::string& target, bool running_launcher) {
  if (running_launcher) return ReplaceRunningLauncher(unpacked, target);
  if (!platform::ReplaceFileAtomic(unpacked, target)) throw PutInPlaceFailure("\"" + target + "\" cannot be replaced");
}

// The running launcher's file cannot be overwritten but can be renamed: it moves aside to its
// name + ".old" in the game folder, and the new launcher takes "Launcher.exe". When either step
// fails, the old launcher goes back under its name and no restart follows.
void GFilesThread::ReplaceRunningLauncher(const std::string& unpacked, const std::string& target) {
  const std::string running = system_.executable_path();
  const std::string aside = Dir + FileNameOf(running) + ".old";
  ClearAsideName(aside);
  if (!platform::RenameFile(running, aside)) throw PutInPlaceFailure("The running launcher cannot be moved aside");
  if (!platform::ReplaceFileAtomic(unpacked, target)) {
    platform::RenameFile(aside, running);
    throw PutInPlaceFailure("The new launcher cannot be put in place");
  }
  SelfUpdated = true;
}
