#include "platform/range_header.h"

#include <charconv>

namespace platform {

std::string ResumeHeaders(uint64_t from, const std::string& validator) {
  if (from == 0 || validator.empty()) return {};
  return "Range: bytes=" + std::to_string(from) + "-\r\nIf-Range: " + validator + "\r\n";
}

std::optional<uint64_t> ParseContentRangeStart(std::string_view value) {
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  constexpr std::string_view kUnit = "bytes ";
  if (!value.starts_with(kUnit)) return std::nullopt;
  value.remove_prefix(kUnit.size());
  uint64_t start = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), start);
  if (error != std::errc() || end == value.data() || end == value.data() + value.size() || *end != '-') {
    return std::nullopt;
  }
  return start;
}

}  // namespace platform
