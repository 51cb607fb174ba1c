#include "common/misc.h"

std::vector<std::string> SplitFromEnd(std::string_view text, std::string_view delimiters) {
  std::vector<std::string> pieces;
  size_t end = text.size();
  for (;;) {
    size_t cut = end == 0 ? std::string_view::npos : text.find_last_of(delimiters, end - 1);
    size_t start = cut == std::string_view::npos ? 0 : cut + 1;
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    if (cut == std::string_view::npos) return pieces;
    end = cut;
  }
}
