#include "update_site/builder/site_deltas.h"

#include <algorithm>

#include "common/fixed_names.h"
#include "platform/files.h"
#include "update_site/builder/build_progress.h"
#include "update_site/builder/memory_budget.h"
#include "update_site/builder/package_writer.h"
#include "update_site/listed_crcs.h"
#include "update_site/site_files.h"
#include "update_site/utf8_path.h"
#include "update_site/work_pool.h"

namespace fs = std::filesystem;

namespace {

// Two deltas of 64 MiB files at level 19 side by side; one larger than this runs alone.
constexpr uint64_t kMemoryBudget = uint64_t{1} << 30;

std::string TextOf(const fs::path& file) {
  const std::string path = Utf8(file);
  if (!platform::FileExists(path)) return "";
  try {
    return ReadWholeFile(path);
  } catch (const platform::SystemError&) {
    return "";
  }
}

// A delta of an earlier build stays a candidate only where this tool puts it and as large as
// its index says: one removed or replaced by hand is left out.
bool StillInPlace(const fs::path& site, const DeltaEntry& delta) {
  if (delta.location != DeltaLocation(delta.path, delta.from_crc, delta.to_crc)) return false;
  std::error_code error;
  const uint64_t size = fs::file_size(site / FsPath(delta.location), error);
  return !error && size == delta.size;
}

// Only the tool's own names under the folder of deltas are ever removed: "<name>.<8 hex
// digits>-<8 hex digits>.zst".
bool IsDeltaFileName(std::string_view name) {
  constexpr std::string_view kSuffix = ".zst";
  constexpr size_t kCrcs = 1 + 8 + 1 + 8;
  if (name.size() <= kCrcs + kSuffix.size() || !name.ends_with(kSuffix)) return false;
  const std::string_view crcs = name.substr(name.size() - kSuffix.size() - kCrcs, kCrcs);
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  return crcs[0] == '.' && crcs[9] == '-' && std::all_of(crcs.begin() + 1, crcs.begin() + 9, hex) &&
         std::all_of(crcs.begin() + 10, crcs.end(), hex);
}

void RemoveEmptyFolders(const fs::path& top) {
  std::vector<fs::path> folders;
  std::error_code error;
  for (fs::recursive_directory_iterator it(top, error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory(error)) folders.push_back(it->path());
  }
  // The deepest first, so that a folder emptied by removing its own empty folders goes too.
  std::sort(folders.begin(), folders.end(),
            [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
  folders.push_back(top);
  for (const fs::path& folder : folders) {
    if (fs::is_empty(folder, error) && !error) fs::remove(folder, error);
  }
}

bool PublishesIndexName(const std::vector<GameFile>& files) {
  return std::any_of(files.begin(), files.end(),
                     [](const GameFile& file) { return CaseFolded(file.list_path) == CaseFolded(DeltaIndexFileName); });
}

}  // namespace

SiteDeltas::SiteDeltas(fs::path site, DeltaOptions options, const std::vector<GameFile>& files)
    : site_(std::move(site)), options_(options) {
  if (options_.enabled && PublishesIndexName(files)) {
    options_.enabled = false;
    report_.off = std::string("the game folder publishes a file named ") + DeltaIndexFileName +
                  ", the name of the index of deltas: this site gets no deltas (rename the file, or exclude it)";
  }
  if (!options_.enabled) return;
  previous_crcs_ = ListedCrcs(TextOf(site_ / ListFileName));
  previous_index_ = ReadDeltaIndex(TextOf(site_ / DeltaIndexFileName)).value_or(std::vector<DeltaEntry>{});
}

SiteDeltas::~SiteDeltas() {
  for (const MadeDelta& made : made_) {
    if (!made.temporary.empty()) platform::RemoveFile(made.temporary);
  }
}

void SiteDeltas::Make(const std::vector<RepackedFile>& repacked, const fs::path& game, const SiteManifest& previous,
                      unsigned threads, std::ostream& progress_out, bool terminal) {
  if (!options_.enabled) return;
  std::vector<DeltaPair> pairs;
  uint64_t bytes = 0;
  for (const RepackedFile& file : repacked) {
    auto from = previous_crcs_.find(file.file->list_path);
    if (from == previous_crcs_.end() || from->second == file.crc || file.file->size > options_.largest_file) continue;
    DeltaPair pair;
    pair.list_path = file.file->list_path;
    pair.previous_package = Utf8(site_ / FsPath(PackagePathFor(pair.list_path)));
    pair.from_crc = from->second;
    if (auto cached = previous.find(file.file->source); cached != previous.end() && cached->second.crc == from->second) {
      pair.previous_size = cached->second.size;
    }
    pair.new_file = Utf8(game / FsPath(file.file->source));
    pair.to_crc = file.crc;
    pair.new_size = file.file->size;
    pair.package_size = file.package_size;
    if (pair.previous_size > options_.largest_file || !platform::FileExists(pair.previous_package)) continue;
    bytes += pair.new_size;
    pairs.push_back(std::move(pair));
  }
  // The largest first, so that no large one is left to run alone at the end.
  auto weight = [](const DeltaPair& pair) { return std::max(pair.previous_size, pair.new_size); };
  std::stable_sort(pairs.begin(), pairs.end(),
                   [&](const DeltaPair& a, const DeltaPair& b) { return weight(a) > weight(b); });
  made_.resize(pairs.size());
  MemoryBudget budget(kMemoryBudget);
  BuildProgress progress(progress_out, terminal, pairs.size(), bytes);
  try {
    RunParallel(pairs.size(), threads, [&](size_t i) {
      const DeltaPair& pair = pairs[i];
      const uint64_t previous_size = pair.previous_size ? pair.previous_size : pair.new_size;
      MemoryBudget::Share share(budget, DeltaMemoryEstimate(previous_size, pair.new_size));
      made_[i] = MakeDeltaFile(pair, site_, options_.largest_file);
      progress.Read(pair.new_size);
      progress.FileDone(pair.list_path, made_[i].entry ? "delta for" : "no delta for");
    });
  } catch (...) {
    progress.Finish();
    throw;
  }
  progress.Finish();
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (made_[i].not_smaller) ++report_.not_smaller;
    if (!made_[i].problem.empty()) report_.problems.push_back(pairs[i].list_path + ": " + made_[i].problem);
  }
}

void SiteDeltas::PutInPlace() {
  for (MadeDelta& made : made_) {
    if (made.temporary.empty()) continue;
    const std::string delta = Utf8(site_ / FsPath(made.entry->location));
    if (!platform::ReplaceFileAtomic(made.temporary, delta)) {
      throw platform::SystemError("Cannot put \"" + delta + "\" in place", 0);
    }
    made.temporary.clear();
  }
}

std::map<std::string, PackageDigest> SiteDeltas::Publish(const std::map<std::string, ListedVersion>& listed,
                                                         bool with_digests) {
  if (!options_.enabled) return {};
  std::map<std::string, const MadeDelta*> made_here;
  std::vector<DeltaEntry> candidates;
  for (const MadeDelta& made : made_) {
    if (!made.entry) continue;
    made_here[made.entry->location] = &made;
    candidates.push_back(*made.entry);
  }
  for (const DeltaEntry& delta : previous_index_) {
    if (!made_here.count(delta.location) && StillInPlace(site_, delta)) candidates.push_back(delta);
  }
  const std::vector<DeltaEntry> kept = KeptDeltas(candidates, listed, options_.max_versions);
  std::map<std::string, PackageDigest> digests;
  for (const DeltaEntry& delta : kept) {
    published_.insert(delta.location);
    auto here = made_here.find(delta.location);
    if (here != made_here.end()) {
      ++report_.made;
      report_.bytes_written += delta.size;
    } else {
      ++report_.kept;
    }
    if (!with_digests) continue;
    const Sha256Digest sha256 =
        here != made_here.end() ? here->second->sha256 : PackageSha256(Utf8(site_ / FsPath(delta.location)));
    digests[delta.location] = {sha256, delta.size};
  }
  if (kept.empty()) return digests;
  const std::string index = WriteDeltaIndex(kept);
  ReplaceFileContent(Utf8(site_ / DeltaIndexFileName), index);
  index_written_ = true;
  if (with_digests) digests[DeltaIndexFileName] = {Sha256Of(index), static_cast<uint32_t>(index.size())};
  return digests;
}

void SiteDeltas::RemoveDropped() {
  const fs::path folder = site_ / DeltaFolderName;
  std::vector<fs::path> dropped;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error) || !IsDeltaFileName(Utf8(it->path().filename()))) continue;
    if (!published_.count(GenericUtf8(it->path().lexically_relative(site_)))) dropped.push_back(it->path());
  }
  for (const fs::path& delta : dropped) report_.removed += platform::RemoveFile(Utf8(delta)) ? 1 : 0;
  if (fs::is_directory(folder, error)) RemoveEmptyFolders(folder);
  const std::string index = Utf8(site_ / DeltaIndexFileName);
  if (!index_written_ && platform::FileExists(index) && !platform::RemoveFile(index)) {
    throw platform::SystemError("Cannot remove \"" + index + "\"", 0);
  }
}
