#include <gtest/gtest.h>

#include "update_list/list_entry.h"

TEST(ListEntry, FieldsCountFromTheEndOfTheLine) {
  for (const char* line : {"x|Data\\a.bmp|0012AB|500", "Data\\a.bmp||0012AB|500|", "Data\\a.bmp|0012AB|500"}) {
    std::optional<ListEntry> entry = SplitEntry(line);
    ASSERT_TRUE(entry) << line;
    EXPECT_EQ(entry->path, "Data\\a.bmp");
    EXPECT_EQ(entry->checksum, "0012AB");
    EXPECT_EQ(entry->size, "500");
  }
  EXPECT_FALSE(SplitEntry("0012AB|500"));
  EXPECT_FALSE(SplitEntry("a||500|"));
  EXPECT_FALSE(SplitEntry(""));
}

TEST(ListEntry, SizeIsADecimalNumberUpTo2GiB) {
  struct Case {
    const char* text;
    std::optional<uint32_t> size;
  };
  const Case cases[] = {{"0", 0u},          {"500", 500u},   {"007", 7u},        {"2147483647", 2147483647u},
                        {"2147483648", {}}, {"4294967296", {}}, {"-1", {}},       {"+5", {}},
                        {"12a", {}},        {"", {}},        {" 5", {}},         {"0x10", {}}};
  for (const Case& c : cases) EXPECT_EQ(ParseEntrySize(c.text), c.size) << c.text;
}

TEST(ListEntry, OnlyPathsInsideTheGameFolderAreSafe) {
  struct Case {
    const char* path;
    bool safe;
  };
  const Case cases[] = {
      {"main.exe", true},
      {"Data\\Local\\Item.bmd", true},
      {"Data/Local/Item.bmd", true},
      {"Launcher.exe", true},
      {"Data\\con.bmd\\x", false},
      {"..\\evil.dll", false},
      {"Data\\..\\..\\evil.dll", false},
      {"Data/../evil.dll", false},
      {"..", false},
      {".\\main.exe", false},
      {"\\Windows\\evil.dll", false},
      {"/etc/passwd", false},
      {"\\\\server\\share\\x", false},
      {"C:\\Windows\\evil.dll", false},
      {"C:evil.dll", false},
      {"main.exe:stream", false},
      {"CON", false},
      {"con.txt", false},
      {"Data\\NUL", false},
      {"Data\\aux.bmd", false},
      {"COM1", false},
      {"lpt9.log", false},
      {"COM\u00B9", false},
      {"CONOUT$", false},
      {"COM10", true},
      {"CONSOLE.txt", true},
      {"Data\\\\a.bmd", false},
      {"Data\\", false},
      {"", false},
      {"Data\\a.", false},
      {"Data\\a ", false},
      {"Data\\...", false},
      {"a?b", false},
      {"a*b", false},
      {"a<b", false},
      {"a\tb", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeGamePath(c.path), c.safe) << c.path;
}
