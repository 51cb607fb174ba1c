#include "remote/activity_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "platform/errors.h"
#include "platform/files.h"
#include "remote_test_files.h"

namespace {

using remote_test::ReadFile;

TEST(ActivityLogTest, EntryLayout) {
  struct Case {
    platform::LocalTime time;
    platform::RegionalSettings regional;
    std::string message;
    std::string entry;
  };
  const platform::RegionalSettings plain{};
  const platform::RegionalSettings dotted{',', ".", "."};
  const Case cases[] = {
      {{2025, 12, 9, 7, 5, 3}, plain, "Retorno vazio da API.", "09/12/2025 07:05:03 - Retorno vazio da API.\r\n"},
      {{2025, 12, 9, 23, 59, 59}, dotted, "x", "09.12.2025 23.59.59 - x\r\n"},
      {{987, 1, 31, 0, 0, 0}, plain, "", "31/01/0987 00:00:00 - \r\n"},
      {{2024, 2, 29, 12, 30, 0}, plain, "line one\r\nline two", "29/02/2024 12:30:00 - line one\r\nline two\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLogEntry(c.time, c.regional, c.message), c.entry) << c.message;
}

TEST(ActivityLogTest, AppendsEntriesInTheAnsiCodePage) {
  remote_test::TempFolder folder;
  WriteLogIn(folder.Path(), "Seção \"config\" não encontrada no JSON.");
  WriteLogIn(folder.Path(), "second");
  std::string log = ReadFile(folder.Path() + "log.txt");
  std::regex layout(
      "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d - Se\xE7\xE3o \"config\" n\xE3o encontrada no JSON\\.\r\n"
      "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d - second\r\n");
  EXPECT_TRUE(std::regex_match(log, layout)) << log;
}

TEST(ActivityLogTest, AnUnwritableLogRaises) {
  remote_test::TempFolder folder;
  EXPECT_THROW(WriteLogIn(folder.Path() + "missing/", "x"), platform::SystemError);
  std::filesystem::create_directory(folder.Path() + "log.txt");  // a folder where the file belongs
  EXPECT_THROW(WriteLogIn(folder.Path(), "x"), platform::SystemError);
}

// Other tests may write the program's own log.txt at the same time: look for this entry only.
TEST(ActivityLogTest, WritesBesideTheExecutableWhateverTheWorkingDirectory) {
  const std::string entry = "written beside the executable by process " + std::to_string(getpid());
  remote_test::TempFolder elsewhere;
  {
    remote_test::WorkingDirectory cwd(elsewhere.Path());
    WriteLog(entry);
  }
  EXPECT_NE(ReadFile(platform::ExecutableFolder() + "log.txt").find(" - " + entry + "\r\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(elsewhere.Path() + "log.txt"));
}

}  // namespace
