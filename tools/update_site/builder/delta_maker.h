#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "delta/delta_index.h"
#include "signing/sha256.h"

// A listed file whose content changed since the previous build: its previous content, as the
// site's package of it holds it until this build puts the new package in place, and its new one.
struct DeltaPair {
  std::string list_path;
  std::string previous_package;  // the file in the site
  uint32_t from_crc = 0;         // as the previous list gives it
  uint64_t previous_size = 0;    // of the previous content; 0 when not known
  std::string new_file;          // in the game folder
  uint32_t to_crc = 0;           // of the content the new package holds
  uint64_t new_size = 0;
  uint64_t package_size = 0;     // of the new package: a delta must be smaller to be of use
};

struct MadeDelta {
  std::optional<DeltaEntry> entry;  // nothing when the pair gets no delta
  std::string temporary;            // the delta, waiting to be put in place at entry->location
  Sha256Digest sha256{};
  bool not_smaller = false;         // no delta: it would not be smaller than the package
  std::string problem;              // no delta, for a reason the operator should hear of
};

// What making a delta of contents of these sizes may hold at once, for a budget of memory.
uint64_t DeltaMemoryEstimate(uint64_t previous_size, uint64_t new_size);

// Makes the pair's delta into the site, under its location with kTemporarySuffix appended, and
// applies it to the previous content before keeping it: a delta that does not give the new
// content back is never published. A content above `size_limit` gets no delta. Raises
// platform::SystemError when the delta cannot be written.
MadeDelta MakeDeltaFile(const DeltaPair& pair, const std::filesystem::path& site, uint64_t size_limit);
