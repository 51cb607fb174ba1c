// The check stage: which listed game files are missing or differ from the list.
#include <exception>

#include "common/language.h"
#include "crc32/crc32.h"
#include "update_list/list_entry.h"
#include "updater/delta_files.h"
#include "updater/files_thread.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"

void GFilesThread::CheckFiles(const std::vector<std::string>& List) {
  if (List.empty() || List.front() == "FAIL" || Terminated()) return;
  StatusText = PickText(updater_texts::Listing());
  Synchronize(&GFilesThread::ShowStatus);
  CSwitch = 1;
  LTemp = static_cast<uint32_t>(List.size() - 1);
  Synchronize(&GFilesThread::SetBarRange);
  for (size_t i = 0; i < List.size(); ++i) {
    LTemp = static_cast<uint32_t>(i);
    Synchronize(&GFilesThread::SetTotalPosition);
    StatusText = PickText(updater_texts::Checking());
    system_.pause(10);
    Synchronize(&GFilesThread::ShowStatus);
    if (IsOutdated(List[i])) {
      FilesToGet.push_back(List[i]);
      std::optional<ListEntry> entry = SplitEntry(List[i]);
      if (entry) FilesSize += ParseEntrySize(entry->size).value_or(0);
    }
  }
  LTemp = 0;
  Synchronize(&GFilesThread::SetTotalPosition);
  StatusText = PickText(FilesToGet.empty() ? updater_texts::AllCurrent() : updater_texts::DownloadAhead());
  Synchronize(&GFilesThread::ShowStatus);
}

// An entry that cannot be judged (malformed, or a path leading outside the game folder) is
// never read here and counts as outdated, so that the installation reports it as failed. The
// checksum text is compared exactly, as the list writes it.
bool GFilesThread::IsOutdated(const std::string& line) {
  std::optional<ListEntry> entry = SplitEntry(line);
  if (!entry || !IsSafeGamePath(entry->path)) return true;
  const std::string local = Dir + entry->path;
  // Leftovers of a pass that was ended while this entry was being installed.
  platform::RemoveFile(local + ".rar");
  platform::RemoveFile(local + ".new");
  for (size_t step = 1; step <= kLongestDeltaChain; ++step) platform::RemoveFile(DeltaFileName(local, step));
  if (!platform::FileExists(local)) return true;
  try {
    const uint32_t crc = FileCRC32(local);
    if (Crc32Text(crc) == entry->checksum) return false;
    local_crcs_[entry->path] = crc;
    return true;
  } catch (const std::exception&) {
    return true;
  }
}
