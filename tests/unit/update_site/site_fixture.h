#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);
// Deterministic bytes: `size` of them, compressible text when `text` is set, else noise.
std::string SampleBytes(size_t size, unsigned seed, bool text);
// Sets a file's time back by the given number of seconds from now.
void SetAge(const std::filesystem::path& path, int seconds);

// The published part of the small game folder, by path relative to it ("/" separators). Its
// files are an hour old, so that a second build can trust their times.
const std::map<std::string, std::string>& SmallGameFiles();
// Files the default exclusions leave out.
const std::vector<std::string>& SmallGameExcludedFiles();
void MakeSmallGame(const std::filesystem::path& game);

// Every file below the folder, by relative path, with its content.
std::map<std::string, std::string> FolderContent(const std::filesystem::path& folder);

// Runs the tool in this process; returns its exit code.
int RunTool(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr);

// The package's bzip2 stream unpacked with the launcher's own stream; raises what it raises.
std::string Unpack(const std::string& package);
