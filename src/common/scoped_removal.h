#pragma once
#include <string>
#include <utility>

#include "platform/files.h"

// Deletes a file when the scope ends, unless told to keep it: the way a partial download or an
// unpacked file that failed its check never stays behind.
class ScopedRemoval {
 public:
  explicit ScopedRemoval(std::string path) : path_(std::move(path)) {}
  ScopedRemoval(const ScopedRemoval&) = delete;
  ScopedRemoval& operator=(const ScopedRemoval&) = delete;
  ~ScopedRemoval() {
    if (!path_.empty()) platform::RemoveFile(path_);
  }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};
