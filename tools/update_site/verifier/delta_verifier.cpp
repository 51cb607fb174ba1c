#include "update_site/verifier/delta_verifier.h"

#include <zstd.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <set>

#include "common/fixed_names.h"
#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "delta/delta_index.h"
#include "signing/sha256.h"
#include "update_site/game_tree.h"
#include "update_site/listed_crcs.h"
#include "update_site/package_content.h"
#include "update_site/work_pool.h"

namespace {

// An index names a few thousand deltas in about a hundred bytes each.
constexpr size_t kLargestIndex = 64u << 20;

using Content = std::shared_ptr<const std::string>;

// One delta as `verify` found it.
struct DeltaCheck {
  const DeltaEntry* entry = nullptr;
  std::string bytes;  // as read, up to one byte beyond the index's size
  uint64_t size = 0;  // bytes read in all
  std::optional<Sha256Digest> sha256;  // once read to its end
  bool well_formed = false;
  bool applied = false;
  std::vector<std::string> problems;
};

// A site whose packages may hold the contents deltas start from, with the CRCs its list gives.
struct ContentSource {
  const SiteSource* site;
  std::map<std::string, uint32_t> crcs;
};

// Hashes and counts every byte, keeping in memory no more than one byte beyond the expected size.
void ReadDelta(const SiteSource& site, DeltaCheck& check) {
  std::string problem;
  std::unique_ptr<TStream> stream = site.Open(check.entry->location, problem);
  if (!stream) {
    check.problems.push_back(problem);
    return;
  }
  Sha256 sha256;
  std::vector<char> block(65536);
  try {
    while (size_t got = stream->Read(block.data(), block.size())) {
      sha256.Update(block.data(), got);
      check.size += got;
      const size_t kept = check.entry->size + size_t{1};
      check.bytes.append(block.data(), std::min(got, kept - std::min(check.bytes.size(), kept)));
    }
  } catch (const std::exception& error) {
    check.problems.push_back(std::string("cannot be read: ") + error.what());
    return;
  }
  check.sha256 = sha256.Final();
  if (check.size != check.entry->size) {
    check.problems.push_back("is " + std::to_string(check.size) + " bytes, the index says " +
                             std::to_string(check.entry->size));
  }
}

// What is wrong with the delta as a zstd frame, judged without the content it applies to.
std::string FrameProblem(std::string_view delta, uint32_t result_size) {
  const size_t frame = ZSTD_findFrameCompressedSize(delta.data(), delta.size());
  if (ZSTD_isError(frame)) return std::string("not one whole zstd frame (") + ZSTD_getErrorName(frame) + ")";
  if (frame != delta.size()) return std::to_string(delta.size() - frame) + " bytes follow its zstd frame";
  std::optional<uint64_t> size = DeltaResultSize(delta);
  if (!size) return "its zstd frame does not give the size of the content it leads to";
  if (*size != result_size) {
    return "leads to " + std::to_string(*size) + " bytes, the index says " + std::to_string(result_size);
  }
  return "";
}

void CheckPlace(const std::vector<DeltaEntry>& index, const std::map<std::string, uint32_t>& listed_crcs,
                DeltaCheck& check) {
  const DeltaEntry& delta = *check.entry;
  auto listed = listed_crcs.find(delta.path);
  if (listed == listed_crcs.end()) {
    check.problems.push_back("its file \"" + delta.path + "\" is not in the list");
  } else if (delta.to_crc != listed->second &&
             !FindDeltaChain(index, delta.path, delta.to_crc, listed->second, std::numeric_limits<uint64_t>::max())) {
    check.problems.push_back("no chain through it leads to the listed content (CRC-32 " + Crc32Text(listed->second) + ")");
  }
}

// The deltas of one file applied wherever their starting content is at hand; contents given by
// deltas are kept while a delta not yet applied starts from them.
class FileChains {
 public:
  FileChains(std::string path, const std::vector<ContentSource>& sources) : path_(std::move(path)), sources_(sources) {}

  void Apply(std::vector<DeltaCheck*> pending) {
    for (bool progress = true; progress;) {
      progress = false;
      for (auto it = pending.begin(); it != pending.end();) {
        Content from = ContentOf((*it)->entry->from_crc);
        if (!from) {
          ++it;
          continue;
        }
        DeltaCheck& check = **it;
        it = pending.erase(it);
        progress = true;
        Content result = ApplyOne(check, *from);
        if (result && NeededBy(pending, check.entry->to_crc)) contents_.emplace(check.entry->to_crc, result);
      }
      std::erase_if(contents_, [&](const auto& kept) { return !NeededBy(pending, kept.first); });
    }
  }

 private:
  static bool NeededBy(const std::vector<DeltaCheck*>& pending, uint32_t crc) {
    return std::any_of(pending.begin(), pending.end(),
                       [&](const DeltaCheck* check) { return check->entry->from_crc == crc; });
  }

  static Content ApplyOne(DeltaCheck& check, const std::string& from) {
    check.applied = true;
    const DeltaEntry& delta = *check.entry;
    try {
      FileContent result = ApplyDelta(from, check.bytes, delta.result_size);
      const uint32_t crc = Crc32(0, result.data(), result.size());
      if (crc == delta.to_crc) return std::make_shared<const std::string>(result.view());
      check.problems.push_back("applied to the content with CRC-32 " + Crc32Text(delta.from_crc) + ", it gives CRC-32 " +
                               Crc32Text(crc) + ", not " + Crc32Text(delta.to_crc) + " as the index says");
    } catch (const DeltaError& error) {
      check.problems.push_back("cannot be applied to the content with CRC-32 " + Crc32Text(delta.from_crc) + ": " +
                               error.what());
    }
    return nullptr;
  }

  // From a delta applied before, or from the package of a site whose list gives that CRC.
  Content ContentOf(uint32_t crc) {
    if (auto kept = contents_.find(crc); kept != contents_.end()) return kept->second;
    if (!looked_up_.insert(crc).second) return nullptr;
    for (const ContentSource& source : sources_) {
      auto listed = source.crcs.find(path_);
      if (listed == source.crcs.end() || listed->second != crc) continue;
      std::string problem;
      std::unique_ptr<TStream> package = source.site->Open(PackagePathFor(path_), problem);
      try {
        std::optional<std::string> content = package ? UnpackContent(*package, kLargestDeltaFile) : std::nullopt;
        if (content && Crc32(0, content->data(), content->size()) == crc) {
          return contents_.emplace(crc, std::make_shared<const std::string>(std::move(*content))).first->second;
        }
      } catch (const std::exception&) {
        // A damaged package is reported where its own list is checked; another site may have it.
      }
    }
    return nullptr;
  }

  std::string path_;
  const std::vector<ContentSource>& sources_;
  std::map<uint32_t, Content> contents_;
  std::set<uint32_t> looked_up_;
};

std::optional<std::vector<DeltaEntry>> ReadIndex(const SiteSource& site, std::vector<ListedPackage>& files,
                                                 VerifyReport& report) {
  std::string problem;
  std::optional<std::string> text = ReadSmallFile(site, DeltaIndexFileName, kLargestIndex, problem);
  if (!text) {
    if (problem.rfind("missing", 0) != 0) report.problems.push_back({DeltaIndexFileName, problem});
    return std::nullopt;
  }
  files.push_back({DeltaIndexFileName, text->size(), Sha256Of(*text)});
  std::optional<std::vector<DeltaEntry>> index = ReadDeltaIndex(*text);
  if (!index) report.problems.push_back({DeltaIndexFileName, "not a well-formed index of deltas"});
  return index;
}

std::vector<ContentSource> ContentSources(const SiteSource& site, const std::map<std::string, uint32_t>& listed_crcs,
                                          const std::vector<EarlierSite>& previous, VerifyReport& report) {
  std::vector<ContentSource> sources = {{&site, listed_crcs}};
  for (const EarlierSite& earlier : previous) {
    std::string problem;
    std::optional<std::string> list = ReadSmallFile(*earlier.source, ListFileName, kLargestListFile, problem);
    if (!list) {
      report.problems.push_back({earlier.name, std::string("the earlier build's ") + ListFileName + ": " + problem});
      continue;
    }
    sources.push_back({earlier.source, ListedCrcs(*list)});
  }
  return sources;
}

}  // namespace

std::vector<ListedPackage> VerifyDeltas(const SiteSource& site, const std::map<std::string, uint32_t>& listed_crcs,
                                        const std::vector<EarlierSite>& previous, unsigned jobs, VerifyReport& report) {
  std::vector<ListedPackage> files;
  std::optional<std::vector<DeltaEntry>> index = ReadIndex(site, files, report);
  if (!index) return files;
  const std::vector<ContentSource> sources = ContentSources(site, listed_crcs, previous, report);
  std::vector<DeltaCheck> checks(index->size());
  std::map<std::string, std::vector<DeltaCheck*>> by_path;
  for (size_t i = 0; i < index->size(); ++i) {
    checks[i].entry = &(*index)[i];
    by_path[(*index)[i].path].push_back(&checks[i]);
  }
  std::vector<const std::pair<const std::string, std::vector<DeltaCheck*>>*> paths;
  for (const auto& file : by_path) paths.push_back(&file);
  RunParallel(paths.size(), jobs ? jobs : DefaultJobs(), [&](size_t i) {
    std::vector<DeltaCheck*> whole;
    for (DeltaCheck* check : paths[i]->second) {
      CheckPlace(*index, listed_crcs, *check);
      ReadDelta(site, *check);
      if (!check->sha256 || check->size != check->entry->size) continue;
      const std::string problem = FrameProblem(check->bytes, check->entry->result_size);
      if (!problem.empty()) check->problems.push_back(problem);
      if (problem.empty()) whole.push_back(check);
    }
    FileChains(paths[i]->first, sources).Apply(std::move(whole));
    for (DeltaCheck* check : paths[i]->second) std::string().swap(check->bytes);
  });
  size_t unapplied = 0;
  for (const DeltaCheck& check : checks) {
    ++report.deltas;
    report.delta_bytes += check.size;
    if (check.applied) ++report.deltas_applied;
    else if (check.problems.empty()) ++unapplied;
    for (const std::string& problem : check.problems) report.problems.push_back({check.entry->location, problem});
    files.push_back({check.entry->location, check.size, check.sha256});
  }
  if (unapplied) {
    report.notes.push_back(std::to_string(unapplied) + " of " + std::to_string(checks.size()) +
                           " deltas were checked without being applied: the contents they start from are not at hand "
                           "(give --previous with a copy of an earlier build).");
  }
  return files;
}
