#pragma once
#include <string>
#include <vector>

// Creates the missing folders on the way to a game file, and removes them again when the scope
// ends without Keep() and they stayed empty: an entry that fails leaves no folder of its own
// behind. Folders that existed before are never touched.
class CreatedFolders {
 public:
  // folder: a full path whose first existing parent is the game folder or below it.
  explicit CreatedFolders(const std::string& folder);
  CreatedFolders(const CreatedFolders&) = delete;
  CreatedFolders& operator=(const CreatedFolders&) = delete;
  ~CreatedFolders();
  // True when the folder exists now.
  bool Exists() const { return exists_; }
  void Keep() { created_.clear(); }

 private:
  std::vector<std::string> created_;  // the deepest first
  bool exists_ = false;
};
