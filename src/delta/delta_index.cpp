#include "delta/delta_index.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <queue>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

namespace {

constexpr std::string_view kHeaderLine = "launcher-deltas 1";
constexpr std::string_view kDeltaKeyword = "delta";
constexpr size_t kDeltaFields = 7;
// Sizes are 32-bit in the list and on the bars.
constexpr uint32_t kLargestSize = 2147483647;

std::string CrcText(uint32_t crc) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, crc >>= 4) text[i] = kDigits[crc & 0xF];
  return text;
}

bool ParseCrcText(std::string_view text, uint32_t& crc) {
  if (text.size() != 8) return false;
  const bool lowercase_digits = std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  });
  return lowercase_digits && std::from_chars(text.data(), text.data() + text.size(), crc, 16).ec == std::errc();
}

// A size in its one accepted form: what std::to_string writes, at most kLargestSize.
bool ParseSize(std::string_view text, uint32_t& size) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && std::to_string(size) == text &&
         size <= kLargestSize;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 32 || c == 0x7F; });
}

// A location stays inside the site's folder: relative, "/" between non-empty folder names that are
// neither "." nor "..", and nothing a web server or Windows reads as a root, a drive or a host
// ("\", ":").
bool IsSiteRelative(std::string_view location) {
  if (location.empty() || HasControlCharacter(location) || location.find_first_of("\\:") != std::string_view::npos) {
    return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(location.find('/', start), location.size());
    const std::string_view name = location.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") return false;
    if (end == location.size()) return true;
    start = end + 1;
  }
}

bool IsValidEntry(const DeltaEntry& entry) {
  return !entry.path.empty() && !HasControlCharacter(entry.path) && IsSiteRelative(entry.location) &&
         entry.size <= kLargestSize && entry.result_size <= kLargestSize;
}

// The fields of one line, split at every tab.
std::vector<std::string_view> FieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<DeltaEntry> ParseDeltaLine(std::string_view line) {
  const std::vector<std::string_view> fields = FieldsOf(line);
  if (fields.size() != kDeltaFields || fields[0] != kDeltaKeyword) return std::nullopt;
  DeltaEntry entry;
  entry.path = fields[1];
  entry.location = fields[6];
  if (!ParseCrcText(fields[2], entry.from_crc) || !ParseCrcText(fields[3], entry.to_crc) ||
      !ParseSize(fields[4], entry.size) || !ParseSize(fields[5], entry.result_size) || !IsValidEntry(entry)) {
    return std::nullopt;
  }
  return entry;
}

// Whether no two entries share a location, nor a path with the same from and to CRCs.
bool AreDistinct(const std::vector<DeltaEntry>& entries) {
  std::set<std::string_view> locations;
  std::set<std::tuple<std::string_view, uint32_t, uint32_t>> steps;
  for (const DeltaEntry& entry : entries) {
    if (!locations.insert(entry.location).second) return false;
    if (!steps.emplace(entry.path, entry.from_crc, entry.to_crc).second) return false;
  }
  return true;
}

}  // namespace

std::string DeltaLocation(std::string_view list_path, uint32_t from_crc, uint32_t to_crc) {
  std::string location = std::string(DeltaFolderName) + "/";
  for (char c : list_path) location += c == '\\' ? '/' : c;
  return location + "." + CrcText(from_crc) + "-" + CrcText(to_crc) + ".zst";
}

// Sorted by path and CRCs, so that the same deltas always give the same bytes.
std::string WriteDeltaIndex(std::vector<DeltaEntry> entries) {
  for (const DeltaEntry& entry : entries) {
    if (!IsValidEntry(entry)) {
      throw std::invalid_argument("the delta index cannot hold the delta \"" + entry.location + "\" of \"" +
                                  entry.path + "\"");
    }
  }
  if (!AreDistinct(entries)) throw std::invalid_argument("two deltas share a location, or a path and both CRCs");
  std::sort(entries.begin(), entries.end(), [](const DeltaEntry& a, const DeltaEntry& b) {
    return std::tie(a.path, a.from_crc, a.to_crc) < std::tie(b.path, b.from_crc, b.to_crc);
  });
  std::string text = std::string(kHeaderLine) + "\n";
  for (const DeltaEntry& entry : entries) {
    text += std::string(kDeltaKeyword) + "\t" + entry.path + "\t" + CrcText(entry.from_crc) + "\t" +
            CrcText(entry.to_crc) + "\t" + std::to_string(entry.size) + "\t" + std::to_string(entry.result_size) +
            "\t" + entry.location + "\n";
  }
  return text;
}

std::optional<std::vector<DeltaEntry>> ReadDeltaIndex(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  text.remove_suffix(1);
  std::vector<DeltaEntry> entries;
  bool header = true;
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    if (header) {
      if (line != kHeaderLine) return std::nullopt;
      header = false;
    } else if (std::optional<DeltaEntry> entry = ParseDeltaLine(line)) {
      entries.push_back(std::move(*entry));
    } else {
      return std::nullopt;
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  if (!AreDistinct(entries)) return std::nullopt;
  return entries;
}

// Dijkstra's search over the file's CRCs, each delta a step costing its size. Ties go to the
// chain of fewer deltas, so every step costs something and a chain never comes back to a CRC.
std::optional<std::vector<DeltaEntry>> FindDeltaChain(const std::vector<DeltaEntry>& index, std::string_view path,
                                                      uint32_t from_crc, uint32_t to_crc, uint64_t smaller_than) {
  if (from_crc == to_crc) return std::nullopt;
  std::unordered_multimap<uint32_t, const DeltaEntry*> steps_from;
  for (const DeltaEntry& entry : index) {
    if (entry.path == path) steps_from.emplace(entry.from_crc, &entry);
  }

  using Cost = std::pair<uint64_t, size_t>;  // bytes, deltas
  struct Reached {
    Cost cost;
    const DeltaEntry* last = nullptr;  // the step that reached it; none for the start
  };
  std::unordered_map<uint32_t, Reached> reached{{from_crc, Reached{{0, 0}, nullptr}}};
  using Candidate = std::pair<Cost, uint32_t>;
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> queue;
  queue.push({{0, 0}, from_crc});
  while (!queue.empty()) {
    const auto [cost, crc] = queue.top();
    queue.pop();
    if (cost != reached.at(crc).cost) continue;  // a cheaper way came first
    if (crc == to_crc) break;
    const auto [first, last] = steps_from.equal_range(crc);
    for (auto step = first; step != last; ++step) {
      const DeltaEntry& entry = *step->second;
      const Cost next{cost.first + entry.size, cost.second + 1};
      if (next.first >= smaller_than) continue;
      auto [known, added] = reached.try_emplace(entry.to_crc, Reached{next, &entry});
      if (!added) {
        if (known->second.cost <= next) continue;
        known->second = Reached{next, &entry};
      }
      queue.push({next, entry.to_crc});
    }
  }

  const auto target = reached.find(to_crc);
  if (target == reached.end()) return std::nullopt;
  std::vector<DeltaEntry> chain;
  for (const DeltaEntry* step = target->second.last; step != nullptr; step = reached.at(step->from_crc).last) {
    chain.push_back(*step);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}
