#include <gtest/gtest.h>

#include "site_fixture.h"

TEST(CommandLine, UsageErrorsExitWith2AndShowTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"publish", "a", "b"},
      {"build", "only-one"},
      {"build", "a", "b", "c"},
      {"build", "a", "b", "--jobs", "0"},
      {"build", "a", "b", "--jobs"},
      {"build", "a", "b", "--colour"},
      {"verify"},
      {"verify", "a", "--public-key", "ed25519:00"},
      {"build", "a", "b", "--expires-in", "3"},
      {"build", "a", "b", "--signing-key", "k", "--expires-in", "0"},
      {"keygen"},
      {"keygen", "a", "b"},
      {"serve", "a", "--port", "70000"},
  };
  for (const auto& args : cases) {
    std::string err;
    EXPECT_EQ(RunTool(args, nullptr, &err), 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(err.find("Usage:"), std::string::npos) << err;
  }
  std::string out;
  EXPECT_EQ(RunTool({"--help"}, &out), 0);
  EXPECT_NE(out.find("update-site build GAME_DIR SITE_DIR"), std::string::npos);
}

TEST(CommandLine, BuildSummarisesWhatItDid) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  std::string out;
  ASSERT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string(), "--jobs=2", "--exclude", "*.mp3"}, &out), 0);
  EXPECT_NE(out.find("[1/6] compressed "), std::string::npos) << out;
  EXPECT_NE(out.find("Listed 6 files in mu.update: 6 compressed"), std::string::npos) << out;
  EXPECT_NE(out.find("0 unchanged, 0 removed, 8 excluded"), std::string::npos) << out;
  EXPECT_EQ(RunTool({"build", (dir / "missing").string(), (dir / "site").string()}), 1);
}
