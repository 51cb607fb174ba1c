#include "updater/created_folders.h"

#include "platform/files.h"

namespace {

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

CreatedFolders::CreatedFolders(const std::string& folder) {
  for (std::string missing = folder; !missing.empty() && !platform::DirectoryExists(missing);
       missing = ParentOf(missing)) {
    created_.push_back(missing);
  }
  exists_ = created_.empty() || platform::CreateDirectories(folder);
}

// A folder that another pass or the player filled meanwhile is not empty and stays.
CreatedFolders::~CreatedFolders() {
  for (const std::string& folder : created_) {
    if (!platform::RemoveEmptyDirectory(folder)) break;
  }
}
