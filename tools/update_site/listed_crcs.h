#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The CRC-32 of every file an update list names, by its path as the launcher reads it (UTF-8,
// "\" between folders): the contents players who took that list have. Lines that cannot be
// taken apart, or whose checksum is not a number, are left out; a text that is no list gives none.
std::map<std::string, uint32_t> ListedCrcs(std::string_view list_text);
