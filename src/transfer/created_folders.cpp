#include "transfer/created_folders.h"

#include <algorithm>

#include "platform/files.h"

namespace {

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

bool CreatedFolders::MakeFolderOf(const std::string& file) {
  const std::string folder = ParentOf(file);
  std::lock_guard lock(mutex_);
  std::vector<std::string> missing;
  for (std::string path = folder; !path.empty() && !platform::DirectoryExists(path); path = ParentOf(path)) {
    missing.push_back(path);
  }
  if (missing.empty()) return true;
  const bool made = platform::CreateDirectories(folder);
  created_.insert(created_.end(), missing.begin(), missing.end());
  return made;
}

CreatedFolders::~CreatedFolders() { RemoveEmpty(); }

// A folder that another pass or the player filled meanwhile is not empty and stays. A folder's
// path is longer than its parent's, so the longest go first.
void CreatedFolders::RemoveEmpty() {
  std::lock_guard lock(mutex_);
  std::stable_sort(created_.begin(), created_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::vector<std::string> kept;
  for (const std::string& folder : created_) {
    if (!platform::RemoveEmptyDirectory(folder)) kept.push_back(folder);
  }
  created_ = std::move(kept);
}
