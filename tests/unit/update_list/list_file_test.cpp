#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/errors.h"
#include "update_list/list_file.h"

namespace {

std::vector<std::string> Section(const std::string& text, const std::string& name = "Download") {
  return ReadSection(LinesOf(text), name);
}

}  // namespace

TEST(ListFile, SectionContentFollowsTheLineRules) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* what;
    std::string text;
    Lines content;
  };
  const Case cases[] = {
      {"no section", "[Other]\na|1|2\n[/Other]\n", {"FAIL"}},
      {"empty file", "", {"FAIL"}},
      {"opening then closing", "[Download]\n[/Download]\n", {"FAIL"}},
      {"only FAIL inside", "[Download]\nFAIL\n[/Download]\n", {"FAIL"}},
      {"CR LF and LF", "[Download]\r\na|1|2\r\nb|3|4\n[/Download]\r\n", {"a|1|2", "b|3|4"}},
      {"opening line padded", "  [Download]\t\r\nx\n[/Download]", {"x"}},
      {"lower case opening", "[download]\nx\n[/download]\n", {"FAIL"}},
      {"spaces inside brackets", "[ Download ]\nx\n[/ Download ]\n", {"FAIL"}},
      {"blank and indented lines", "[Download]\n\n   \n\t\n   a|1|2  \n\x01\x1f\n[/Download]\n", {"a|1|2"}},
      {"first section only", "[Download]\na\n[/Download]\n[Download]\nb\n[/Download]\n", {"a"}},
      {"lines outside ignored", "a\n[Download]\nb\n[/Download]\nc\n", {"b"}},
      {"missing closing line ends at the end", "[Download]\na\nb", {"a", "b"}},
      {"other section inside is content", "[Download]\n[Other]\n[/Download]\n", {"[Other]"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Section(c.text), c.content) << c.what;
}

TEST(ListFile, KeyValueIsTheLastFieldOfTheFirstMatchingLine) {
  const std::string text = "[Info]\nVersion|1|7\nName||Main|\nVersion|9\n[/Info]\n";
  EXPECT_EQ(ReadKeyValue(LinesOf(text), "Info", "Version"), "7");
  EXPECT_EQ(ReadKeyValue(LinesOf(text), "Info", "Name"), "Main");
  EXPECT_EQ(ReadKeyValue(LinesOf(text), "Info", "Missing"), "");
  EXPECT_EQ(ReadKeyValue(LinesOf(text), "Nothing", "Version"), "");
}

TEST(ListFile, ReadsTheFileInTheAnsiCodePageAtEveryLookup) {
  auto path = std::filesystem::temp_directory_path() / ("list_file_test_" + std::to_string(::getpid()));
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Download]\r\nDados\\Ma\xE7\xE3.bmd|0012AB|500\r\n[/Download]\r\n[Info]\r\nKey|v\r\n[/Info]\r\n";
  }
  TListFile list(path.string());
  EXPECT_EQ(list.GetFSection("Download"), std::vector<std::string>{"Dados\\Ma\u00E7\u00E3.bmd|0012AB|500"});
  EXPECT_EQ(list.GetKeyValue("Info", "Key"), "v");
  EXPECT_EQ(list.GetFSection("Download").size(), 1u);  // a second lookup starts from the top again
  std::filesystem::remove(path);
  EXPECT_THROW(list.GetFSection("Download"), platform::SystemError);
}

TEST(ListFile, LongFilesAreReadAcrossBlocks) {
  std::string text = "[Download]\n";
  for (int i = 0; i < 5000; ++i) text += "Data\\file" + std::to_string(i) + ".bmd|0012AB|" + std::to_string(i) + "\n";
  text += "[/Download]\n";
  auto path = std::filesystem::temp_directory_path() / ("list_file_long_" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << text;
  std::vector<std::string> content = TListFile(path.string()).GetFSection("Download");
  std::filesystem::remove(path);
  ASSERT_EQ(content.size(), 5000u);
  EXPECT_EQ(content[4321], "Data\\file4321.bmd|0012AB|4321");
}
