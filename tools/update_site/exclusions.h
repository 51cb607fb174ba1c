#pragma once
#include <string>
#include <string_view>
#include <vector>

// Which files of a game folder are not published. Letter case does not matter, as on Windows;
// "*" stands for any run of characters within a name and "?" for one character.
//   "name", "*.ext"   a file or folder of that name anywhere in the game folder
//   "name/"           only a folder of that name, anywhere, with everything in it
//   "/name", "a/b"    a pattern with a "/" before its end is matched from the top of the folder
class Exclusions {
 public:
  // The launcher's own files and what it leaves behind; see the usage text.
  static const std::vector<std::string>& Defaults();

  explicit Exclusions(const std::vector<std::string>& patterns);

  // `path` is relative to the game folder, with "/" between directories.
  bool Excludes(std::string_view path, bool is_folder) const;

 private:
  struct Pattern {
    std::vector<std::string> parts;
    bool anchored = false;
    bool folders_only = false;
  };
  static bool Matches(const Pattern& pattern, const std::vector<std::string_view>& parts, bool is_folder);

  std::vector<Pattern> patterns_;
};

// A shell-style wildcard match of one name, ignoring the case of ASCII letters.
bool WildcardMatch(std::string_view pattern, std::string_view name);
