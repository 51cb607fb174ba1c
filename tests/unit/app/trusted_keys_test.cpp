#include "app/trusted_keys.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
const std::string kA = "ed25519:" + std::string(64, 'a');
const std::string kB = "ed25519:" + std::string(62, '0') + "1f";
}  // namespace

TEST(TrustedKeysTest, TheBuildsListOfKeys) {
  EXPECT_TRUE(ParseTrustedKeys("").empty());
  EXPECT_EQ(ParseTrustedKeys(kA), std::vector<PublicKey>{*ParsePublicKey(kA)});
  EXPECT_EQ(ParseTrustedKeys(kA + "," + kB), (std::vector<PublicKey>{*ParsePublicKey(kA), *ParsePublicKey(kB)}));
  EXPECT_EQ(ParseTrustedKeys(kA + ";" + kB).size(), 2u);
}

// A launcher never runs trusting fewer keys than its operator gave it.
TEST(TrustedKeysTest, AnythingElseIsRefused) {
  for (const std::string& text : {kA + ",", "," + kA, kA + ",," + kB, kA.substr(0, 40), kA + " ", std::string("x")}) {
    EXPECT_THROW(ParseTrustedKeys(text), std::invalid_argument) << text;
  }
}
