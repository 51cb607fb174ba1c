#include <gtest/gtest.h>

#include "common/misc.h"

TEST(SplitFromEnd, GivesTheNonEmptyPiecesLastFirst) {
  struct Case {
    std::string text, delimiters;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"a|b|c", "|", {"c", "b", "a"}},
      {"a||c|", "|", {"c", "a"}},
      {"|a", "|", {"a"}},
      {"abc", "|", {"abc"}},
      {"", "|", {}},
      {"|||", "|", {}},
      {"x|Data\\a.bmp|0012AB|500", "|", {"500", "0012AB", "Data\\a.bmp", "x"}},
      {"a;b,c", ",;", {"c", "b", "a"}},  // every character of the delimiters splits
      {"a|b", "", {"a|b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitFromEnd(c.text, c.delimiters), c.pieces) << c.text;
}
