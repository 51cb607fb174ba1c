// Which deltas a build keeps: chains to the current content that beat its package, a few
// versions back at most, and nothing for files that are gone.
#include <gtest/gtest.h>

#include "update_site/builder/delta_plan.h"

namespace {

// A delta of "f" from one CRC to another, of `size` bytes; its location names the CRCs.
DeltaEntry Delta(uint32_t from, uint32_t to, uint32_t size, const std::string& path = "f") {
  return {path, from, to, size, 100, DeltaLocation(path, from, to)};
}

std::vector<std::string> Kept(const std::vector<DeltaEntry>& candidates, uint32_t current, uint64_t package,
                              unsigned max_versions) {
  std::vector<std::string> kept;
  for (const DeltaEntry& delta : KeptDeltas(candidates, {{"f", {current, package}}}, max_versions)) {
    kept.push_back(std::to_string(delta.from_crc) + ">" + std::to_string(delta.to_crc));
  }
  return kept;
}

}  // namespace

TEST(DeltaPlan, KeepsWhatChainsToTheCurrentContentStillUse) {
  struct Case {
    const char* what;
    std::vector<DeltaEntry> candidates;
    uint32_t current;
    unsigned max_versions;
    std::vector<std::string> kept;  // "from>to", by location
  };
  const Case cases[] = {
      {"a chain of versions", {Delta(1, 2, 10), Delta(2, 3, 10), Delta(3, 4, 10)}, 4, 5, {"1>2", "2>3", "3>4"}},
      {"no more versions back than asked", {Delta(1, 2, 10), Delta(2, 3, 10), Delta(3, 4, 10)}, 4, 2, {"2>3", "3>4"}},
      {"a chain as large as the package", {Delta(1, 2, 400), Delta(2, 3, 300), Delta(3, 4, 300)}, 4, 5, {"2>3", "3>4"}},
      {"a version without a delta breaks the chain", {Delta(1, 2, 10), Delta(3, 4, 10)}, 4, 5, {"3>4"}},
      {"no delta leads to the current content", {Delta(1, 2, 10), Delta(2, 3, 10)}, 4, 5, {}},
      {"back to an earlier content", {Delta(1, 2, 10), Delta(2, 1, 10)}, 1, 5, {"2>1"}},
      // 1>2 could only go on through 1 again: 1>2>1>4 is no chain.
      {"never through a CRC twice", {Delta(1, 2, 1), Delta(2, 1, 1), Delta(1, 4, 800)}, 4, 5, {"1>4", "2>1"}},
      {"the cheaper of two ways counts", {Delta(1, 2, 800), Delta(2, 4, 300), Delta(1, 3, 10), Delta(3, 2, 10)}, 4, 5,
       {"1>3", "2>4", "3>2"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Kept(c.candidates, c.current, 1000, c.max_versions), c.kept) << c.what;
  }
}

TEST(DeltaPlan, DropsTheDeltasOfFilesThatAreGone) {
  const std::vector<DeltaEntry> candidates = {Delta(1, 2, 10, "gone"), Delta(1, 2, 10, "kept")};
  std::vector<DeltaEntry> kept = KeptDeltas(candidates, {{"kept", {2, 1000}}}, 5);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].path, "kept");
}
