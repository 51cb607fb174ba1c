#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "update_site/builder/site_deltas.h"
#include "update_site/game_tree.h"
#include "update_site/site_statement.h"

struct BuildOptions {
  std::string game_dir;
  std::string site_dir;
  std::vector<std::string> excludes;  // added to the defaults, or alone without them
  bool default_excludes = true;
  unsigned jobs = 0;  // 0: all cores
  // A signed build publishes a statement for the list; an unsigned one removes any statement
  // an earlier build left.
  std::optional<SigningOptions> signing;
  DeltaOptions deltas;
};

struct BuildReport {
  size_t files = 0;        // listed
  size_t compressed = 0;   // packages written by this build
  size_t kept = 0;         // packages kept from the last build
  size_t removed = 0;      // packages of files that are gone
  size_t excluded = 0;
  uint64_t bytes_read = 0;     // of game files read for compression or checking
  uint64_t bytes_written = 0;  // of packages written
  std::optional<PublishedStatement> statement;  // of a signed build
  bool statement_withdrawn = false;             // an unsigned build removed an earlier statement
  DeltaReport deltas;
};

// The game folder holds files the launcher could not take: nothing was written.
class BuildRefused : public std::runtime_error {
 public:
  explicit BuildRefused(std::vector<Refusal> refusals)
      : std::runtime_error("the game folder holds files the launcher could not take"), refusals_(std::move(refusals)) {}
  const std::vector<Refusal>& Refusals() const { return refusals_; }

 private:
  std::vector<Refusal> refusals_;
};

// Brings the site folder up to date with the game folder: a package for every file whose
// content changed, the deltas to those files from their previous contents (see SiteDeltas) and
// their index, then the signed statement (when signing), then the list "mu.update", then the
// removal of packages nobody lists and of deltas the index no longer names.
// Until the list is replaced, the launcher sees the last complete site. Raises BuildRefused,
// platform::SystemError or std::runtime_error; a failed build leaves no temporary file.
// `progress_out` gets the progress display; `terminal` chooses its form.
BuildReport BuildSite(const BuildOptions& options, std::ostream& progress_out, bool terminal);
