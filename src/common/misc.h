#pragma once
#include <string>
#include <string_view>
#include <vector>

// Splits text at any of the delimiter characters and returns the non-empty pieces, the last
// piece first: "a||c|" with "|" gives {"c", "a"}. Update list entries are read field by field
// from their end with it.
std::vector<std::string> SplitFromEnd(std::string_view text, std::string_view delimiters);
