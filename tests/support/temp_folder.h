#pragma once
#include <filesystem>
#include <string>

// A fresh folder for one test, made the working directory while the object lives; removed
// afterwards with everything in it.
class TempWorkingFolder {
 public:
  TempWorkingFolder();
  ~TempWorkingFolder();
  TempWorkingFolder(const TempWorkingFolder&) = delete;
  TempWorkingFolder& operator=(const TempWorkingFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  void WriteFile(const std::string& name, const std::string& content) const;
  bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};
