#include "update_site/builder/delta_plan.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <queue>
#include <tuple>

namespace {

constexpr uint64_t kUnreachable = std::numeric_limits<uint64_t>::max();

// The deltas of one file, walked backwards from its current content.
class FileDeltas {
 public:
  FileDeltas(std::vector<const DeltaEntry*> deltas, uint32_t current) : deltas_(std::move(deltas)), current_(current) {}

  // How many deltas lie between each content and the current one, at the fewest.
  std::map<uint32_t, unsigned> StepsToCurrent() const {
    std::map<uint32_t, unsigned> steps = {{current_, 0}};
    std::queue<uint32_t> reached({current_});
    for (; !reached.empty(); reached.pop()) {
      for (const DeltaEntry* delta : deltas_) {
        if (delta->to_crc == reached.front() && !steps.count(delta->from_crc)) {
          steps[delta->from_crc] = steps[delta->to_crc] + 1;
          reached.push(delta->from_crc);
        }
      }
    }
    return steps;
  }

  // The fewest bytes that lead from `start` to the current content without passing `avoided`.
  uint64_t BytesToCurrent(uint32_t start, uint32_t avoided) const {
    std::map<uint32_t, uint64_t> bytes = {{current_, 0}};
    using Reached = std::pair<uint64_t, uint32_t>;
    std::priority_queue<Reached, std::vector<Reached>, std::greater<>> queue;
    queue.push({0, current_});
    while (!queue.empty()) {
      auto [so_far, crc] = queue.top();
      queue.pop();
      if (crc == start) return so_far;
      if (so_far > bytes[crc]) continue;
      for (const DeltaEntry* delta : deltas_) {
        if (delta->to_crc != crc || delta->from_crc == avoided) continue;
        const uint64_t through = so_far + delta->size;
        auto [it, fresh] = bytes.emplace(delta->from_crc, through);
        if (fresh || through < it->second) {
          it->second = through;
          queue.push({through, delta->from_crc});
        }
      }
    }
    return kUnreachable;
  }

 private:
  std::vector<const DeltaEntry*> deltas_;
  uint32_t current_;
};

}  // namespace

std::vector<DeltaEntry> KeptDeltas(const std::vector<DeltaEntry>& candidates,
                                   const std::map<std::string, ListedVersion>& listed, unsigned max_versions) {
  std::map<std::string, std::vector<const DeltaEntry*>> by_path;
  for (const DeltaEntry& delta : candidates) by_path[delta.path].push_back(&delta);
  std::vector<DeltaEntry> kept;
  for (const auto& [path, deltas] : by_path) {
    auto version = listed.find(path);
    if (version == listed.end()) continue;
    const uint32_t current = version->second.crc;
    const FileDeltas file(deltas, current);
    const std::map<uint32_t, unsigned> steps = file.StepsToCurrent();
    for (const DeltaEntry* delta : deltas) {
      auto distance = steps.find(delta->from_crc);
      if (delta->from_crc == current || distance == steps.end() || distance->second > max_versions) continue;
      const uint64_t rest = file.BytesToCurrent(delta->to_crc, delta->from_crc);
      if (rest != kUnreachable && delta->size + rest < version->second.package_size) kept.push_back(*delta);
    }
  }
  std::sort(kept.begin(), kept.end(), [](const DeltaEntry& a, const DeltaEntry& b) {
    return std::tie(a.path, a.location) < std::tie(b.path, b.location);
  });
  return kept;
}
