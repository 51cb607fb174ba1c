#include <gtest/gtest.h>

#include "common/size_format.h"

TEST(FormatSize, ChoosesTheUnitByRange) {
  struct Case {
    int64_t bytes;
    const char* text;
  };
  const Case cases[] = {{0, "0 B"},          {1023, "1023 B"},          {-5, "-5 B"},
                        {1024, "1.0 KB"},    {1536, "1.5 KB"},          {1048575, "1024.0 KB"},
                        {1048576, "1.0 MB"}, {3355443, "3.2 MB"},       {1572864, "1.5 MB"},
                        {1280, "1.3 KB"},  // 1.25 exactly: halves round up
                        {1073741824, "1.0 GB"}, {int64_t{5} << 40, "5120.0 GB"}};
  for (const Case& c : cases) EXPECT_EQ(FormatSize(c.bytes, '.'), c.text) << c.bytes;
}

TEST(FormatSpeed, ChoosesTheUnitByRangeUpToMegabytes) {
  struct Case {
    double rate;
    const char* text;
  };
  const Case cases[] = {{0, "0.0 B/s"},          {512, "512.0 B/s"},     {1023.96, "1024.0 B/s"},
                        {1024, "1.0 KB/s"},      {524288, "512.0 KB/s"}, {1048576, "1.0 MB/s"},
                        {5.0 * (1 << 30), "5120.0 MB/s"}};
  for (const Case& c : cases) EXPECT_EQ(FormatSpeed(c.rate, '.'), c.text) << c.rate;
}

TEST(FormatSize, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(FormatSize(1536, ','), "1,5 KB");
  EXPECT_EQ(FormatSpeed(1536, ','), "1,5 KB/s");
  EXPECT_EQ(FormatSize(1536), "1.5 KB");  // the stand-in's regional settings use a point
}
