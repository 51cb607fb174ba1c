#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One line of the "Download" section.
struct ListLine {
  std::string path;           // UTF-8, "\" between directories
  uint32_t crc = 0;           // of the game file's content
  uint64_t package_size = 0;  // bytes
};

// The update list the launcher reads: a "[Download]" section with path|CRC|size per line, CR LF
// line endings, 8-bit text in the ANSI code page. Lines are sorted by their bytes, so the same
// files always give the same list.
std::string FormatUpdateList(std::vector<ListLine> lines);
