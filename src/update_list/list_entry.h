#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One line of the "Download" section: fields separated by "|" and counted from the end of the
// line (empty fields do not count; fields before the path are ignored).
struct ListEntry {
  std::string path;      // relative to the game folder, "\" between directories
  std::string checksum;  // CRC-32 as the list writes it
  std::string size;      // the package's size in bytes, decimal
};

// Nothing when the line has fewer than three non-empty fields.
std::optional<ListEntry> SplitEntry(std::string_view line);

// Package sizes are 32-bit and shown on signed bars: a decimal number from 0 to 2147483647
// with nothing else around it.
std::optional<uint32_t> ParseEntrySize(std::string_view text);

// True when the path can only name a file inside the game folder: relative, without a drive
// letter, UNC prefix or alternate data stream, without "." or ".." or empty components, without
// characters Windows refuses in names or components it would silently alter (a trailing dot
// or space), and without reserved device names such as CON or COM1 (with or without an
// extension). "\" and "/" both separate directories, as they do on Windows.
bool IsSafeGamePath(std::string_view path);
