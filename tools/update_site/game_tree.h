#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update_site/exclusions.h"

// Package sizes in the list are 32-bit and the launcher shows them on signed bars.
constexpr uint64_t kLargestListedSize = 2147483647;

// One file of the game folder that will be published.
struct GameFile {
  std::string source;     // relative to the game folder as found, "/" between directories
  std::string list_path;  // as the list names it: "\" between directories, UTF-8
  uint64_t size = 0;
  int64_t mtime = 0;      // the file system's modification time, in its own ticks
};

// A file the launcher could not take, and why.
struct Refusal {
  std::string path;
  std::string reason;
};

struct GameTree {
  std::vector<GameFile> files;      // in the list's order
  std::vector<Refusal> refusals;    // by path
  size_t excluded = 0;              // files and folders left out by the exclusions
};

// Walks the game folder. `skip` (a folder inside it, such as the site itself) is left out.
// Folders that cannot be read are refusals too: a list built without them would be incomplete.
GameTree ScanGameFolder(const std::filesystem::path& game_dir, const Exclusions& exclusions,
                        const std::optional<std::filesystem::path>& skip = std::nullopt);

// The list's name for a file of the game folder: "\" between directories, and the launcher's
// own file at the top, in whatever case it was found, exactly "Launcher.exe" (the launcher only
// replaces itself for that exact name).
std::string ListPathFor(std::string_view source);
// Where the site keeps the package of a listed file: "/" between directories, ".rar" appended.
std::string PackagePathFor(std::string_view list_path);
// The form in which two paths compare equal when Windows takes them for one file (ASCII letters
// only: other letters are left as they are).
std::string CaseFolded(std::string_view path);
// The list's 8-bit form of a path (the launcher reads the list in the ANSI code page).
std::string ListBytes(std::string_view list_path);
