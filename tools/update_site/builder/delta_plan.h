#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "delta/delta_index.h"

// A listed file as the new list names it.
struct ListedVersion {
  uint32_t crc = 0;           // of its content
  uint64_t package_size = 0;  // what a player fetches without deltas
};

// Which of the candidate deltas (those of the last index still in the site and those this build
// made) the new index keeps. The versions of a file are the contents its deltas link by their
// CRCs, so the history needs no record of its own: a delta stays while
//  - its file is still listed and it does not start from the file's current content,
//  - its start is at most `max_versions` deltas before the current content, and
//  - the cheapest chain that starts with it and ends at the current content, never passing a
//    CRC twice, takes fewer bytes than the file's package (else the package is the better fetch).
// A chain broken by a version that got no delta (too large, or its delta not smaller than its
// package) leaves every older delta of the file without a way to the current content.
// The result is sorted by list path, then location.
std::vector<DeltaEntry> KeptDeltas(const std::vector<DeltaEntry>& candidates,
                                   const std::map<std::string, ListedVersion>& listed, unsigned max_versions);
