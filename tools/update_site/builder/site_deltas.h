#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "delta/delta_codec.h"
#include "delta/delta_index.h"
#include "signing/signed_statement.h"
#include "update_site/builder/delta_maker.h"
#include "update_site/builder/delta_plan.h"
#include "update_site/game_tree.h"
#include "update_site/site_manifest.h"

struct DeltaOptions {
  bool enabled = true;
  unsigned max_versions = 5;                  // how many versions of a file before the current one a delta may start
  uint64_t largest_file = kLargestDeltaFile;  // a larger content, old or new, gets only its package
};

struct DeltaReport {
  size_t made = 0;             // new deltas published
  uint64_t bytes_written = 0;  // of those
  size_t kept = 0;             // deltas of earlier builds published again
  size_t removed = 0;          // delta files removed from the site
  size_t not_smaller = 0;      // changed files whose delta was not smaller than their package
  std::vector<std::string> problems;  // "path: why", for changed files that got no delta
  std::string off;             // why this site gets no deltas though they were not turned off
};

// A listed file that this build wrote a new package for.
struct RepackedFile {
  const GameFile* file = nullptr;
  uint32_t crc = 0;
  uint64_t package_size = 0;
};

// The deltas of one build, published beside the packages: a new delta for every changed file,
// from its previous content (unpacked from the package this build is about to replace, with the
// CRC-32 of the previous list) to the new one, and the deltas of earlier builds that chains to
// the new contents still use. The previous index is all the history they need. A delta is
// named by its list path and CRCs, so the same pair always gets the same file.
// The order of a build: Make, the packages put in place, PutInPlace, Publish (the index), the
// statement, the list, RemoveDropped.
class SiteDeltas {
 public:
  // Reads the previous list and index. Turned off, or for a game folder that publishes a file
  // with the index's name, the site gets no deltas: RemoveDropped then removes any it has.
  SiteDeltas(std::filesystem::path site, DeltaOptions options, const std::vector<GameFile>& files);
  // Removes the deltas made and not put in place.
  ~SiteDeltas();
  SiteDeltas(const SiteDeltas&) = delete;
  SiteDeltas& operator=(const SiteDeltas&) = delete;

  // Makes the deltas of the repacked files on up to `threads` threads, largest first, while
  // the previous packages are still in place; never more at once than a budget of memory holds.
  void Make(const std::vector<RepackedFile>& repacked, const std::filesystem::path& game, const SiteManifest& previous,
            unsigned threads, std::ostream& progress_out, bool terminal);
  void PutInPlace();
  // Chooses the deltas that stay (KeptDeltas) and writes the index in one step when there are
  // any. Gives the SHA-256 and size of the index and of each delta, by location, for the
  // statement, when `with_digests` is set.
  std::map<std::string, PackageDigest> Publish(const std::map<std::string, ListedVersion>& listed, bool with_digests);
  // After the new list: removes the delta files the index does not name, and the index when
  // there is no delta. Players still on the old list lose them then, as they lose the packages
  // that were replaced.
  void RemoveDropped();

  const DeltaReport& Report() const { return report_; }

 private:
  std::filesystem::path site_;
  DeltaOptions options_;
  std::map<std::string, uint32_t> previous_crcs_;  // by list path
  std::vector<DeltaEntry> previous_index_;
  std::vector<MadeDelta> made_;
  std::set<std::string> published_;  // locations
  bool index_written_ = false;
  DeltaReport report_;
};
