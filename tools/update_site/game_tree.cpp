#include "update_site/game_tree.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "common/fixed_names.h"
#include "platform/text.h"
#include "update_list/list_entry.h"
#include "update_site/utf8_path.h"

namespace fs = std::filesystem;

namespace {

// Why the launcher could not take the file; empty when it can.
std::string RefusalReason(const GameFile& file) {
  if (!IsSafeGamePath(file.list_path)) {
    return "the launcher refuses this path: Windows does not allow the name (a character such as < > : \" | ? * "
           "or a control character, a name ending in a dot or a space, or a device name such as CON, NUL, COM1)";
  }
  if (platform::FromAnsi(ListBytes(file.list_path)) != file.list_path) {
    return "the name cannot be written in the update list's 8-bit code page (Windows-1252)";
  }
  if (file.size > kLargestListedSize) {
    return "the file is " + std::to_string(file.size) +
           " bytes: files of 2 GiB (2147483648 bytes) or more cannot be published, because the update list's sizes "
           "are 32-bit";
  }
  return "";
}

void AddFile(const fs::directory_entry& entry, const std::string& source, GameTree& tree) {
  std::error_code error;
  GameFile file;
  file.source = source;
  file.list_path = ListPathFor(source);
  file.size = entry.file_size(error);
  if (!error) file.mtime = static_cast<int64_t>(entry.last_write_time(error).time_since_epoch().count());
  if (error) {
    tree.refusals.push_back({source, "cannot be read: " + error.message()});
    return;
  }
  std::string reason = RefusalReason(file);
  if (!reason.empty()) {
    tree.refusals.push_back({source, reason});
  } else {
    tree.files.push_back(std::move(file));
  }
}

// Windows keeps one file for names that differ only in letter case; the launcher would write
// both entries over the same file.
void RefuseCaseTwins(GameTree& tree) {
  std::map<std::string, std::string> first_by_name;
  std::vector<GameFile> kept;
  for (GameFile& file : tree.files) {
    auto [it, fresh] = first_by_name.emplace(CaseFolded(file.list_path), file.source);
    if (fresh) {
      kept.push_back(std::move(file));
    } else {
      tree.refusals.push_back(
          {file.source, "differs only in letter case from \"" + it->second + "\": on Windows both are the same file"});
    }
  }
  tree.files = std::move(kept);
}

}  // namespace

std::string ListPathFor(std::string_view source) {
  std::string path(source);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (CaseFolded(path) == CaseFolded(LauncherExeName)) path = LauncherExeName;
  return path;
}

std::string PackagePathFor(std::string_view list_path) {
  std::string path(list_path);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path + ".rar";
}

std::string CaseFolded(std::string_view path) {
  std::string folded(path);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string ListBytes(std::string_view list_path) { return platform::ToAnsi(list_path); }

GameTree ScanGameFolder(const fs::path& game_dir, const Exclusions& exclusions, const std::optional<fs::path>& skip) {
  GameTree tree;
  std::error_code error;
  fs::recursive_directory_iterator it(game_dir, fs::directory_options::none, error), end;
  if (error) {
    tree.refusals.push_back({Utf8(game_dir), "cannot be read: " + error.message()});
    return tree;
  }
  for (; it != end; it.increment(error)) {
    if (error) {
      tree.refusals.push_back({GenericUtf8(it->path().lexically_relative(game_dir)), "cannot be read: " + error.message()});
      break;
    }
    const fs::directory_entry& entry = *it;
    std::string source = GenericUtf8(entry.path().lexically_relative(game_dir));
    std::error_code kind_error;
    // Links to folders are not followed: they could lead out of the game folder or round in a circle.
    bool is_folder = entry.is_directory(kind_error) && !entry.is_symlink(kind_error);
    if (is_folder && ((skip && fs::equivalent(entry.path(), *skip, kind_error)) || exclusions.Excludes(source, true))) {
      ++tree.excluded;
      it.disable_recursion_pending();
    } else if (is_folder) {
      continue;
    } else if (exclusions.Excludes(source, false)) {
      ++tree.excluded;
    } else if (entry.is_regular_file(kind_error)) {
      AddFile(entry, source, tree);
    } else {
      tree.refusals.push_back({source, "is neither a file nor a folder (a link to a folder, a device or a pipe)"});
    }
  }
  std::sort(tree.files.begin(), tree.files.end(),
            [](const GameFile& a, const GameFile& b) { return ListBytes(a.list_path) < ListBytes(b.list_path); });
  RefuseCaseTwins(tree);
  std::sort(tree.refusals.begin(), tree.refusals.end(), [](const Refusal& a, const Refusal& b) { return a.path < b.path; });
  return tree;
}
