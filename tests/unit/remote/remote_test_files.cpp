#include "remote_test_files.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace remote_test {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("launcher-remote-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

WorkingDirectory::WorkingDirectory(const std::string& path) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() { std::filesystem::current_path(previous_); }

}  // namespace remote_test
