// The update list reader with the entry splitting, on arbitrary bytes. The first byte gives
// the length of a section name taken from the following bytes, so odd names are tried too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/misc.h"
#include "crc32/crc32.h"
#include "update_list/list_entry.h"
#include "update_list/list_file.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsTrimmed(const std::string& line) {
  return !line.empty() && static_cast<unsigned char>(line.front()) > 32 && static_cast<unsigned char>(line.back()) > 32;
}

void CheckEntry(const std::string& line) {
  for (const std::string& piece : SplitFromEnd(line, "|")) Require(!piece.empty() && piece.find('|') == std::string::npos);
  std::optional<ListEntry> entry = SplitEntry(line);
  if (!entry) return;
  if (std::optional<uint32_t> size = ParseEntrySize(entry->size)) Require(*size <= 2147483647u);
  if (std::optional<uint32_t> crc = ParseCrc32(entry->checksum); crc && entry->checksum.size() <= 8) {
    // The list's own form of a number reads back as the same number.
    Require(ParseCrc32(Crc32Text(*crc)) == crc);
  }
  if (IsSafeGamePath(entry->path)) {
    // Whatever else it holds, a safe path has no way up, no root, no drive and no stream.
    Require(entry->path.find(':') == std::string::npos && entry->path.front() != '\\' && entry->path.front() != '/');
    for (const std::string& component : SplitFromEnd("\\" + entry->path + "\\", "\\/")) Require(component != "..");
    Require(entry->path.find("\\\\") == std::string::npos && entry->path.find("//") == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string name = "Download";
  if (!input.empty()) {
    size_t length = static_cast<uint8_t>(input[0]) % 12;
    input.remove_prefix(1);
    if (length > 0 && length <= input.size()) {
      name = std::string(input.substr(0, length));
      input.remove_prefix(length);
    }
  }
  for (const std::string& line : ReadSection(LinesOf(input), name)) {
    Require(IsTrimmed(line) && line.find('\n') == std::string::npos);
    CheckEntry(line);
  }
  ReadKeyValue(LinesOf(input), name, "Launcher.exe");
  return 0;
}
