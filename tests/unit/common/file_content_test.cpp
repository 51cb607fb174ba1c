#include "common/file_content.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/errors.h"
#include "platform/posix/test_hooks.h"

namespace {

namespace fs = std::filesystem;

class FileContentTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("file-content-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    platform::posix_files::SimulateFreeSpace(std::nullopt);
    fs::remove_all(folder_);
  }
  std::string Path(const char* name) const { return (folder_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  fs::path folder_;
};

TEST_F(FileContentTest, TheNewContentTakesTheOldOnesPlace) {
  ReplaceFileContent(Path("record"), "1", ".tmp");
  ReplaceFileContent(Path("record"), "22", ".tmp");
  EXPECT_EQ(Read(Path("record")), "22");
  EXPECT_FALSE(fs::exists(Path("record.tmp")));
}

// A write that fails (the disk full, or a name that cannot be replaced) raises, leaves the
// content before as it was and no temporary file.
TEST_F(FileContentTest, AFailedWriteLeavesTheOldContentAndNoTemporaryFile) {
  ReplaceFileContent(Path("record"), "old", ".tmp");
  platform::posix_files::SimulateFreeSpace(10);
  EXPECT_THROW(ReplaceFileContent(Path("record"), std::string(100, 'x'), ".tmp"), platform::SystemError);
  platform::posix_files::SimulateFreeSpace(std::nullopt);
  EXPECT_EQ(Read(Path("record")), "old");
  EXPECT_FALSE(fs::exists(Path("record.tmp")));

  fs::create_directories(Path("folder/inside"));
  EXPECT_THROW(ReplaceFileContent(Path("folder"), "x", ".tmp"), platform::SystemError);
  EXPECT_TRUE(fs::is_directory(Path("folder/inside")));
  EXPECT_FALSE(fs::exists(Path("folder.tmp")));
}

}  // namespace
