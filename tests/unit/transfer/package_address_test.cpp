#include "transfer/package_address.h"

#include <gtest/gtest.h>

#include "platform/text.h"

// The list is read from the ANSI code page into UTF-8; the address carries that UTF-8,
// percent-encoded, so that a server storing UTF-8 file names finds the package.
TEST(PackageAddressTest, EncodesEveryOctetButUnreservedCharactersAndSeparators) {
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"Data\\Local\\Item.bmd", "Data/Local/Item.bmd"},
      {"Data/Local/Item.bmd", "Data/Local/Item.bmd"},
      {"AZaz09-._~", "AZaz09-._~"},
      {"My File.bmd", "My%20File.bmd"},
      {"100%.txt", "100%25.txt"},
      {"a#b?c+d&e=f;g.bmd", "a%23b%3Fc%2Bd%26e%3Df%3Bg.bmd"},
      {"Data\\M\xC3\xBAsica\\a\xC3\xA7\xC3\xA3o.bmd", "Data/M%C3%BAsica/a%C3%A7%C3%A3o.bmd"},
      // From the list's code-page bytes: the same address as from the UTF-8 name.
      {platform::FromAnsi("Data\\M\xFAsica\\a\xE7\xE3o.bmd"), "Data/M%C3%BAsica/a%C3%A7%C3%A3o.bmd"},
      {platform::FromAnsi("\x80 euro"), "%E2%82%AC%20euro"},
      // Bytes the code page leaves undefined, and characters it lacks, still give one address.
      {platform::FromAnsi("x\x81.bmd"), "x%C2%81.bmd"},
      {"\xD0\x96\xE6\x97\xA5.bmd", "%D0%96%E6%97%A5.bmd"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeAddressPath(c.path), c.expected) << c.path;
}

TEST(PackageAddressTest, TheUpdateLocationIsUsedAsTheOperatorWroteIt) {
  EXPECT_EQ(PackageAddress("http://127.0.0.1:8080/my%20site/", "Data\\a b.bmd"),
            "http://127.0.0.1:8080/my%20site/Data/a%20b.bmd.rar");
}
