#include "remote/kept_config.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errors.h"
#include "platform/posix/test_hooks.h"
#include "remote_test_files.h"

namespace {

bool SameTime(const platform::LocalTime& a, const platform::LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
         a.second == b.second;
}

TEST(KeptConfig, ADocumentComesBackAsItWasKept) {
  remote_test::TempFolder folder;
  EXPECT_FALSE(ReadKeptConfig(folder.Path()).kept);
  EXPECT_FALSE(ReadKeptConfig(folder.Path()).damaged) << "no file is not a damaged one";
  const KeptConfig kept{.document = "{\"config\":{\"Title\":\"A\xC3\x83\xC2\xA7\\\"\"}}\r\n\t",
                        .taken = {2026, 12, 11, 7, 5, 9}};
  KeepConfigDocument(folder.Path(), kept);
  KeptConfigRead read = ReadKeptConfig(folder.Path());
  ASSERT_TRUE(read.kept);
  EXPECT_EQ(read.kept->document, kept.document);
  EXPECT_TRUE(SameTime(read.kept->taken, kept.taken));
}

// A document that cannot be written whole (here: the disk is full) leaves the one kept before
// as it was, and no temporary file.
TEST(KeptConfig, AWriteThatFailsKeepsTheDocumentBefore) {
  remote_test::TempFolder folder;
  KeepConfigDocument(folder.Path(), {.document = "{\"old\":1}", .taken = {2026, 1, 2, 3, 4, 5}});
  platform::posix_files::SimulateFreeSpace(100);
  EXPECT_THROW(KeepConfigDocument(folder.Path(), {.document = std::string(1000, ' ') + "{}", .taken = {}}),
               platform::SystemError);
  platform::posix_files::SimulateFreeSpace(std::nullopt);
  KeptConfigRead read = ReadKeptConfig(folder.Path());
  ASSERT_TRUE(read.kept);
  EXPECT_EQ(read.kept->document, "{\"old\":1}");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "LastConfig.json.tmp"));
}

TEST(KeptConfig, FilesItDidNotWriteAreDamaged) {
  const char* const texts[] = {"", "{", "[]", "{\"document\":\"{}\"}", "{\"document\":1,\"taken\":{}}",
                               "{\"document\":\"{}\",\"taken\":{\"year\":\"2026\"}}"};
  for (const char* text : texts) {
    remote_test::TempFolder folder;
    remote_test::WriteFile(folder.Path() + "LastConfig.json", text);
    KeptConfigRead read = ReadKeptConfig(folder.Path());
    EXPECT_TRUE(read.damaged) << text;
    EXPECT_FALSE(read.kept) << text;
  }
}

}  // namespace
