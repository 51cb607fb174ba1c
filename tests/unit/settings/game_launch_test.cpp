#include "settings/game_launch.h"

#include <gtest/gtest.h>

#include "common/launcher_config.h"
#include "platform/posix/test_hooks.h"
#include "support/temp_folder.h"

namespace {

class GameLaunchTest : public testing::Test {
 protected:
  void SetUp() override {
    LauncherConfig = {};
    platform::posix_system::TakeCommandLines();
    platform::posix_system::TakeMessageBoxes();
  }
  void TearDown() override { LauncherConfig = {}; }
  TempWorkingFolder folder_;
  int ended_ = 0;
  std::function<void()> end_ = [this] { ++ended_; };
};

TEST_F(GameLaunchTest, StartsTheGameWithTheServerOnItsCommandLine) {
  struct Case {
    const char* address;
    const char* port;
    const char* command_line;
  };
  folder_.WriteFile("main.exe", "MZ");
  for (Case c : {Case{"10.0.0.5", "44405", "main.exe connect /u10.0.0.5 /p44405"},
                 Case{"", "", "main.exe connect /u /p"},
                 Case{"play.example.net", "", "main.exe connect /uplay.example.net /p"}}) {
    LauncherConfig.VPS_IP = c.address;
    LauncherConfig.ConnectServerPort = c.port;
    jogarClick(end_);
    EXPECT_EQ(platform::posix_system::TakeCommandLines(), std::vector<std::string>{c.command_line});
  }
  EXPECT_EQ(ended_, 3);
  EXPECT_TRUE(platform::posix_system::TakeMessageBoxes().empty());
}

TEST_F(GameLaunchTest, SaysTheGameIsMissingAndEndsAllTheSame) {
  jogarClick(end_);
  EXPECT_EQ(platform::posix_system::TakeMessageBoxes(),
            std::vector<std::string>{"main.exe: Coloque o launcher na pasta do jogo e tente novamente"});
  EXPECT_TRUE(platform::posix_system::TakeCommandLines().empty());
  EXPECT_EQ(ended_, 1);
}

TEST_F(GameLaunchTest, AFolderNamedLikeTheGameIsNotTheGame) {
  std::filesystem::create_directory(folder_.Path() / "main.exe");
  jogarClick(end_);
  EXPECT_EQ(platform::posix_system::TakeMessageBoxes().size(), 1u);
}

}  // namespace
