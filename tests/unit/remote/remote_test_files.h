#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Files for the remote tests: a fresh folder per test, and whole-file reads and writes.
namespace remote_test {

// A new empty folder below the system's temporary folder, removed by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder with its trailing separator, as platform::ExecutableFolder gives one.
  std::string Path() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// Changes the working directory for one scope.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path);
  ~WorkingDirectory();

 private:
  std::filesystem::path previous_;
};

}  // namespace remote_test
