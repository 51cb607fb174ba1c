#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

// The file exists already; a private file is never written over.
class FileExists : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Creates a new file for a secret and writes `content` to it durably. On POSIX only its owner
// may read or write it (mode 0600); on Windows it gets the folder's permissions. Raises
// FileExists when the path exists, so that no secret is lost by a slip of the command line, and
// platform::SystemError when it cannot be written; a file that could not be written whole is
// removed.
void CreatePrivateFile(const std::string& path, std::string_view content);
