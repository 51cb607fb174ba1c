#include "update_site/builder/update_list.h"

#include <algorithm>

#include "crc32/crc32.h"
#include "update_site/game_tree.h"

std::string FormatUpdateList(std::vector<ListLine> lines) {
  std::vector<std::pair<std::string, const ListLine*>> ordered;
  for (const ListLine& line : lines) ordered.emplace_back(ListBytes(line.path), &line);
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string text = "[Download]\r\n";
  for (const auto& [bytes, line] : ordered) {
    text += bytes + "|" + Crc32Text(line->crc) + "|" + std::to_string(line->package_size) + "\r\n";
  }
  text += "[/Download]\r\n";
  return text;
}
