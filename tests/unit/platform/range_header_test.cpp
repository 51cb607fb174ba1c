#include "platform/range_header.h"

#include <gtest/gtest.h>

TEST(RangeHeaderTest, ResumesOnlyWithAnOffsetAndAValidator) {
  EXPECT_EQ(platform::ResumeHeaders(1000, "\"abc\""), "Range: bytes=1000-\r\nIf-Range: \"abc\"\r\n");
  EXPECT_EQ(platform::ResumeHeaders(0, "\"abc\""), "");
  EXPECT_EQ(platform::ResumeHeaders(1000, ""), "");
}

TEST(RangeHeaderTest, TheStartOfAContentRange) {
  struct Case {
    const char* value;
    std::optional<uint64_t> start;
  };
  const Case cases[] = {
      {"bytes 1000-4999/5000", 1000}, {" bytes 0-0/1", 0}, {"bytes 5000000000-5000000001/*", 5000000000},
      {"bytes */5000", std::nullopt}, {"bytes 10", std::nullopt}, {"items 1-2/3", std::nullopt}, {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::ParseContentRangeStart(c.value), c.start) << c.value;
}
