#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "update_site/site_source.h"

struct SiteProblem {
  std::string path;  // the listed path, or "mu.update" for the list itself
  std::string problem;
};

struct VerifyReport {
  size_t entries = 0;
  uint64_t package_bytes = 0;
  std::vector<SiteProblem> problems;  // in list order
};

// Reads the list as the launcher does and checks every entry and its package: the entry can be
// taken apart, its path is one the launcher accepts, its checksum is written the way the
// launcher compares it; the package is there, is one complete bzip2 stream with nothing after
// it, has the listed size, and unpacks to content with the listed CRC-32 (compared as numbers).
// Packages are streamed: memory does not grow with their size. `jobs` packages are checked at once.
VerifyReport VerifySite(const SiteSource& site, unsigned jobs);

// The problems as a table, then a summary line.
std::string FormatVerifyReport(const VerifyReport& report);
