#include "update_list/list_entry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "common/misc.h"

std::optional<ListEntry> SplitEntry(std::string_view line) {
  std::vector<std::string> fields = SplitFromEnd(line, "|");
  if (fields.size() < 3) return std::nullopt;
  return ListEntry{fields[2], fields[1], fields[0]};
}

std::optional<uint32_t> ParseEntrySize(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, 10);
  if (text.empty() || error != std::errc() || stop != end || value > 2147483647u) return std::nullopt;
  return value;
}

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDeviceName(std::string_view component) {
  // Windows ignores an extension and trailing spaces after a device name: "nul.txt" is NUL.
  std::string base(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(), UpperAscii);
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kNames.begin(), kNames.end(), base) != kNames.end()) return true;
  if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  std::string_view number = std::string_view(base).substr(3);
  // A digit 1 to 9, or the superscripts one, two and three that Windows also reserves.
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\u00B9" ||
         number == "\u00B2" || number == "\u00B3";
}

bool IsSafeComponent(std::string_view component) {
  if (component.empty() || component == "." || component == "..") return false;
  if (component.back() == '.' || component.back() == ' ') return false;
  return !IsDeviceName(component);
}

bool HasRefusedCharacter(std::string_view path) {
  return std::any_of(path.begin(), path.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 || std::string_view(":<>\"|?*").find(c) != std::string_view::npos;
  });
}

}  // namespace

bool IsSafeGamePath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.front() == '/' || HasRefusedCharacter(path)) return false;
  size_t start = 0;
  for (;;) {
    size_t end = path.find_first_of("\\/", start);
    if (!IsSafeComponent(path.substr(start, end == std::string_view::npos ? end : end - start))) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}
