#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The index of the deltas an update site publishes beside its list, read by a launcher once
// per pass. Text, UTF-8, every line ending with "\n": the first line exactly "launcher-deltas 1",
// then one line a delta, its seven fields separated by one tab each (a path may hold spaces):
//
//   launcher-deltas 1
//   delta <list path> <from CRC> <to CRC> <delta size> <result size> <location>
//
// CRCs are 8 lowercase hexadecimal digits, sizes decimal without leading zeros (at most
// 2147483647), the list path as the signed statement names it (UTF-8, "\" between folders as
// the list writes them), the location relative to the update site's folder ("/" between
// folders). No two lines share a location, nor a path with the same from CRC and to CRC.

inline constexpr const char* DeltaIndexFileName = "mu.update.deltas";
// Where the deltas live on the site.
inline constexpr const char* DeltaFolderName = "deltas";

struct DeltaEntry {
  std::string path;       // the list path of the file the delta belongs to
  uint32_t from_crc = 0;  // CRC-32 of the content the delta applies to
  uint32_t to_crc = 0;    // CRC-32 of the content it gives
  uint32_t size = 0;      // of the delta file, in bytes
  uint32_t result_size = 0;  // of the content it gives
  std::string location;   // relative to the site's folder
  bool operator==(const DeltaEntry&) const = default;
};

// Where a site built by update-site keeps a delta: "deltas/<list path with "/">.<from>-<to>.zst".
std::string DeltaLocation(std::string_view list_path, uint32_t from_crc, uint32_t to_crc);

// Raises std::invalid_argument for entries the format cannot hold (an empty path or location,
// a control character in either, a location that could leave the site's folder, a size above
// 2147483647, two lines sharing a location or a path with the same CRCs).
std::string WriteDeltaIndex(std::vector<DeltaEntry> entries);

// Nothing when the text is not a well-formed index (the same rules as WriteDeltaIndex, and the
// entries in the order WriteDeltaIndex gives them is not required).
std::optional<std::vector<DeltaEntry>> ReadDeltaIndex(std::string_view text);

// The deltas that lead a file of the given list path from from_crc to to_crc with the fewest
// bytes in all, in the order they apply, when those bytes are fewer than smaller_than; nothing
// otherwise (or when from_crc equals to_crc). A chain never passes a CRC twice; of chains with
// as few bytes, the one of fewest deltas.
std::optional<std::vector<DeltaEntry>> FindDeltaChain(const std::vector<DeltaEntry>& index, std::string_view path,
                                                      uint32_t from_crc, uint32_t to_crc, uint64_t smaller_than);
