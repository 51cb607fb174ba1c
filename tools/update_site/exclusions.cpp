#include "update_site/exclusions.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

template <typename Text>
std::vector<Text> SplitAtSlashes(std::string_view path) {
  std::vector<Text> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

// The token folder holds the installation's own token, the log, the list with its statement and
// index of deltas and the last configuration document are the launcher's own, and the rest are
// what an interrupted update or an editor leaves behind. "update.update" and "MuError.log" are
// deleted by the launcher at the end of every pass: published, they would be fetched again at
// every start.
const std::vector<std::string>& Exclusions::Defaults() {
  static const std::vector<std::string> defaults = {
      "/VALKO/", "/log.txt", "/mu.update", "/mu.update.sig", "/mu.update.deltas", "/mu.update.version",
      "/LastConfig.json", "/update.update", "/MuError.log", "*.old", "*.tmp", "*.new", "*.rar", "~*"};
  return defaults;
}

Exclusions::Exclusions(const std::vector<std::string>& patterns) {
  for (const std::string& text : patterns) {
    Pattern pattern;
    pattern.folders_only = !text.empty() && text.back() == '/';
    std::string_view body(text);
    if (pattern.folders_only) body.remove_suffix(1);
    pattern.anchored = body.find('/') != std::string_view::npos;
    pattern.parts = SplitAtSlashes<std::string>(body);
    if (!pattern.parts.empty()) patterns_.push_back(std::move(pattern));
  }
}

bool Exclusions::Excludes(std::string_view path, bool is_folder) const {
  std::vector<std::string_view> parts = SplitAtSlashes<std::string_view>(path);
  for (const Pattern& pattern : patterns_) {
    if (Matches(pattern, parts, is_folder)) return true;
  }
  return false;
}

// Every part but the last names a folder; so does the last when is_folder is set.
bool Exclusions::Matches(const Pattern& pattern, const std::vector<std::string_view>& parts, bool is_folder) {
  auto names_folder = [&](size_t index) { return index + 1 < parts.size() || is_folder; };
  if (!pattern.anchored) {
    for (size_t i = 0; i < parts.size(); ++i) {
      if ((!pattern.folders_only || names_folder(i)) && WildcardMatch(pattern.parts[0], parts[i])) return true;
    }
    return false;
  }
  if (parts.size() < pattern.parts.size()) return false;
  for (size_t i = 0; i < pattern.parts.size(); ++i) {
    if (!WildcardMatch(pattern.parts[i], parts[i])) return false;
  }
  return !pattern.folders_only || names_folder(pattern.parts.size() - 1);
}

// Greedy matching with one point to return to: the last "*" seen.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
