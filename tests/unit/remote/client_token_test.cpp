#include "remote/client_token.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/launcher_config.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "remote_test_files.h"

namespace {

constexpr size_t kBufferChars = 2048;

std::string Token(std::string_view file) { return platform::ReadProfileText(file, "AUTH", "ClientToken", kBufferChars); }

std::string Utf16LeWithBom(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

TEST(ProfileTextTest, ProfileRules) {
  struct Case {
    const char* rule;
    std::string file;
    std::string token;
  };
  const Case cases[] = {
      {"plain", "[AUTH]\r\nClientToken=abc123\r\n", "abc123"},
      {"blanks around value and name", "[AUTH]\n  ClientToken \t=   a b c \t\r\n", "a b c"},
      {"double quotes", "[AUTH]\nClientToken=\"quoted\"\n", "quoted"},
      {"single quotes", "[AUTH]\nClientToken= 'quoted' \n", "quoted"},
      {"one pair only", "[AUTH]\nClientToken=\"a\"b\"\n", "a\"b"},
      {"unmatched quotes stay", "[AUTH]\nClientToken=\"abc'\n", "\"abc'"},
      {"a lone quote stays", "[AUTH]\nClientToken=\"\n", "\""},
      {"empty quotes", "[AUTH]\nClientToken=\"\"\n", ""},
      {"names in other case", "[auth]\nclienttoken=lower\n", "lower"},
      {"first occurrence", "[AUTH]\nClientToken=first\nCLIENTTOKEN=second\n", "first"},
      {"web characters kept", "[AUTH]\nClientToken=a b&c=d?e#f%20\n", "a b&c=d?e#f%20"},
      {"no key", "[AUTH]\nOther=1\n", ""},
      {"no section", "ClientToken=outside\n[OTHER]\nClientToken=other\n", ""},
      {"only the first section of the name", "[AUTH]\nA=1\n[X]\n[AUTH]\nClientToken=late\n", ""},
      {"key without =", "[AUTH]\nClientToken\n", ""},
      {"comment line", "[AUTH]\n;ClientToken=commented\n", ""},
      {"indented header with trailing text", "  [AUTH] ; note\nClientToken=x\n", "x"},
      {"blanks inside brackets dropped", "[ AUTH ]\nClientToken=x\n", "x"},
      {"CR alone ends lines", "[AUTH]\rClientToken=cr\r", "cr"},
      {"header without ]", "[AUTH\nClientToken=x\n", ""},
      {"LF only, no final break, ^Z", "[AUTH]\nClientToken=end\x1A", "end"},
      {"ANSI code page", "[AUTH]\nClientToken=caf\xE9\x80\n", "caf\xC3\xA9\xE2\x82\xAC"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF[AUTH]\nClientToken=caf\xC3\xA9\n", "caf\xC3\xA9"},
      {"UTF-16LE with BOM", Utf16LeWithBom(u"[AUTH]\r\nClientToken=caf\u00E9\u20AC\r\n"), "caf\xC3\xA9\xE2\x82\xAC"},
      {"value ends at NUL", std::string("[AUTH]\nClientToken=ab\0cd\n", 25), "ab"},
      {"empty file", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Token(c.file), c.token) << c.rule;
}

TEST(ProfileTextTest, LongValuesAreCutTo2047Characters) {
  EXPECT_EQ(Token("[AUTH]\nClientToken=" + std::string(3000, 'a')), std::string(2047, 'a'));
  EXPECT_EQ(Token("[AUTH]\nClientToken=\"" + std::string(2046, 'b') + "\""), std::string(2046, 'b'));
  // As the system does it: a quoted value that only just fits loses its last character too.
  EXPECT_EQ(Token("[AUTH]\nClientToken=\"" + std::string(2047, 'b') + "\""), std::string(2046, 'b'));
  // 2046 ASCII characters and a character of two UTF-16 units: the cut splits it.
  EXPECT_EQ(Token("\xEF\xBB\xBF[AUTH]\nClientToken=" + std::string(2046, 'c') + "\xF0\x9F\x98\x80"),
            std::string(2046, 'c') + "\xEF\xBF\xBD");
}

// One test for everything beneath the test program's own folder, so that parallel test
// processes never see each other's token file.
TEST(ClientTokenTest, ReadsTheFileBeneathTheExecutableWhateverTheWorkingDirectory) {
  const std::string folder = platform::ExecutableFolder();
  ASSERT_FALSE(std::filesystem::exists(folder + "VALKO")) << "left over from another run";
  LauncherConfig.ClientToken = "earlier";
  LoadClientToken();
  EXPECT_EQ(LauncherConfig.ClientToken, "") << "no file: an empty token";
  EXPECT_FALSE(std::filesystem::exists(folder + "VALKO")) << "nothing is created";

  remote_test::WriteFile(folder + "VALKO/Launcher/Config.vlk", "[AUTH]\r\nClientToken=tok en&1\r\n");
  remote_test::TempFolder elsewhere;
  remote_test::WriteFile(elsewhere.Path() + "VALKO/Launcher/Config.vlk", "[AUTH]\r\nClientToken=wrong\r\n");
  {
    remote_test::WorkingDirectory cwd(elsewhere.Path());
    LoadClientToken();
  }
  std::filesystem::remove_all(folder + "VALKO");
  EXPECT_EQ(LauncherConfig.ClientToken, "tok en&1");
  LauncherConfig = {};
}

TEST(ClientTokenPathTest, KeepsTheDoubledSeparators) {
  EXPECT_EQ(ClientTokenPath("C:\\Game\\"), "C:\\Game\\.\\\\VALKO\\\\Launcher\\\\Config.vlk");
}

}  // namespace
