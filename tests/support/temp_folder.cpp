#include "support/temp_folder.h"

#include <fstream>
#include <random>

TempWorkingFolder::TempWorkingFolder() : previous_(std::filesystem::current_path()) {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("launcher-test-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
  std::filesystem::current_path(path_);
}

TempWorkingFolder::~TempWorkingFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempWorkingFolder::WriteFile(const std::string& name, const std::string& content) const {
  std::filesystem::create_directories((path_ / name).parent_path());
  std::ofstream(path_ / name, std::ios::binary) << content;
}
