#include "update_site/listed_crcs.h"

#include <optional>

#include "crc32/crc32.h"
#include "update_list/list_entry.h"
#include "update_list/list_file.h"

std::map<std::string, uint32_t> ListedCrcs(std::string_view list_text) {
  std::map<std::string, uint32_t> crcs;
  for (const std::string& line : ReadSection(LinesOf(list_text), "Download")) {
    std::optional<ListEntry> entry = SplitEntry(line);
    std::optional<uint32_t> crc = entry ? ParseCrc32(entry->checksum) : std::nullopt;
    if (crc) crcs.emplace(entry->path, *crc);
  }
  return crcs;
}
