#pragma once
#include <mutex>
#include <string>
#include <vector>

// Creates the missing folders on the way to game files and remembers the ones it made. When it
// goes, those that stayed empty are removed, the deepest first: entries that failed leave no
// folder of their own behind, while a folder that received a file stays. Folders that existed
// before are never touched. Safe to use from several threads at once.
class CreatedFolders {
 public:
  CreatedFolders() = default;
  CreatedFolders(const CreatedFolders&) = delete;
  CreatedFolders& operator=(const CreatedFolders&) = delete;
  ~CreatedFolders();
  // Makes the folder that will hold the file: a full path whose first existing parent is the
  // game folder or below it. True when the folder exists afterwards.
  bool MakeFolderOf(const std::string& file);
  // Removes the folders it made that are empty now, the deepest first, and forgets them.
  void RemoveEmpty();

 private:
  std::mutex mutex_;
  std::vector<std::string> created_;
};
