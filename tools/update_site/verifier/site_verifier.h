#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "signing/signing_keys.h"
#include "update_site/verifier/site_source.h"

struct SiteProblem {
  std::string path;  // the listed path, or "mu.update" for the list itself
  std::string problem;
};

struct VerifyReport {
  size_t entries = 0;
  uint64_t package_bytes = 0;
  size_t deltas = 0;           // named by the index
  uint64_t delta_bytes = 0;
  size_t deltas_applied = 0;   // to the content they start from
  std::vector<SiteProblem> problems;  // in list order, then the statement's
  std::vector<std::string> notes;     // what else an operator should know, such as what was not checked
};

// How the signed statement beside the list is checked.
struct StatementOptions {
  // The site must be signed by one of these keys. None: a statement is checked without its
  // signature, and a site without one is fine.
  std::vector<PublicKey> trusted;
  std::optional<int64_t> now;  // Unix time its expiry is compared with; none: the system clock
};

// An earlier build of the site (a copy of its folder, or an address), whose packages hold
// contents that deltas start from.
struct EarlierSite {
  std::string name;  // as the operator gave it
  const SiteSource* source = nullptr;
};

// Reads the list as the launcher does and checks every entry and its package: the entry can be
// taken apart, its path is one the launcher accepts, its checksum is written the way the
// launcher compares it; the package is there, is one complete bzip2 stream with nothing after
// it, has the listed size, and unpacks to content with the listed CRC-32 (compared as numbers).
// Packages are streamed: memory does not grow with their size. `jobs` packages are checked at once.
// Then the deltas and their index, when there is one (VerifyDeltas), with the contents of
// `previous` sites at hand. Then the statement, when there is one or `statement` requires one:
// its signature, its expiry, and that it vouches for exactly this list, these packages, the
// index and the deltas.
VerifyReport VerifySite(const SiteSource& site, unsigned jobs, const StatementOptions& statement = {},
                        const std::vector<EarlierSite>& previous = {});

// The problems as a table, then the notes, then a summary line.
std::string FormatVerifyReport(const VerifyReport& report);
