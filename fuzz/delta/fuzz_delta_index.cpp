// The delta index reader on arbitrary bytes. What it accepts writes back and reads the same
// again; a chain found in it starts and ends where asked, links step to step, stays with one
// file, passes no CRC twice and costs less than the bound. The last four bytes of the text choose
// the chain asked for and its bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "delta/delta_index.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckChain(const std::vector<DeltaEntry>& index, const DeltaEntry& first, uint32_t to_crc, uint64_t bound) {
  const std::optional<std::vector<DeltaEntry>> chain = FindDeltaChain(index, first.path, first.from_crc, to_crc, bound);
  if (!chain) return;
  Require(!chain->empty() && chain->front().from_crc == first.from_crc && chain->back().to_crc == to_crc);
  std::set<uint32_t> passed{first.from_crc};
  uint64_t bytes = 0;
  for (size_t i = 0; i < chain->size(); ++i) {
    const DeltaEntry& step = (*chain)[i];
    Require(step.path == first.path);
    Require(i == 0 || (*chain)[i - 1].to_crc == step.from_crc);
    Require(passed.insert(step.to_crc).second);
    bytes += step.size;
  }
  Require(bytes < bound);
  // No single delta of the index that leads there directly is cheaper.
  for (const DeltaEntry& entry : index) {
    if (entry.path == first.path && entry.from_crc == first.from_crc && entry.to_crc == to_crc) {
      Require(entry.size >= bytes);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  uint32_t choice = 0;
  if (input.size() >= 4) {
    for (char c : input.substr(input.size() - 4)) choice = choice << 8 | static_cast<uint8_t>(c);
  }
  const std::optional<std::vector<DeltaEntry>> index = ReadDeltaIndex(input);
  if (!index) return 0;
  const std::string written = WriteDeltaIndex(*index);
  const std::optional<std::vector<DeltaEntry>> again = ReadDeltaIndex(written);
  Require(again && again->size() == index->size() && WriteDeltaIndex(*again) == written);
  for (const DeltaEntry& entry : *index) {
    Require(std::find(again->begin(), again->end(), entry) != again->end());
  }
  if (!index->empty()) {
    const DeltaEntry& first = (*index)[choice % index->size()];
    const DeltaEntry& target = (*index)[(choice >> 8) % index->size()];
    CheckChain(*index, first, target.to_crc, (choice >> 16) * uint64_t{1000});
    CheckChain(*index, first, target.to_crc, UINT64_MAX);
  }
  return 0;
}
