#include "updater/updater_state.h"
#include "updater_fixture.h"

// The running launcher is the game folder's "Launcher.exe" unless a test says otherwise.
class SelfUpdateTest : public UpdaterTest {
 protected:
  void InstallAndFinish(std::vector<std::string> entries) {
    Worker().FilesToGet = std::move(entries);
    OnWorker([&] {
      Worker().InstallFiles();
      window.RunSynchronized([&] { Worker().FinishUpdate(); });
    });
  }
};

TEST_F(SelfUpdateTest, ANewLauncherIsPutInPlaceAndStarted) {
  InstallAndFinish({Publish("Launcher.exe", "the new launcher")});
  EXPECT_EQ(ReadGameFile("Launcher.exe"), "the new launcher");
  EXPECT_EQ(ReadGameFile("Launcher.exe.old"), "the running launcher");
  EXPECT_TRUE(SelfUpdated);
  EXPECT_EQ(commands, std::vector<std::string>{"Launcher.exe reload"});
  EXPECT_EQ(exits, std::vector<unsigned>{0});
  // The old launcher ends: no label changes and the play control is not shown.
  EXPECT_TRUE(view.CallsStartingWith("SetPlayVisible").empty());
  EXPECT_NE(view.State().status_text, "Bom jogo!");
}

TEST_F(SelfUpdateTest, AStaleAsideFileDoesNotBlockTheMove) {
  WriteGameFile("Launcher.exe.old", "an older launcher");
  InstallAndFinish({Publish("Launcher.exe", "the new launcher")});
  EXPECT_EQ(ReadGameFile("Launcher.exe"), "the new launcher");
  EXPECT_EQ(ReadGameFile("Launcher.exe.old"), "the running launcher");
  EXPECT_EQ(commands.size(), 1u);
}

// The launcher is moved aside only once the new one is complete and verified: a bad package
// leaves the running launcher alone, and the pass ends normally without a restart.
TEST_F(SelfUpdateTest, ABadPackageLeavesTheLauncherAndDoesNotRestart) {
  const std::string cut = Bzip2(std::string(100000, 'L')).substr(0, 200);
  server.Serve("/Launcher.exe.rar", cut);
  InstallAndFinish({"Launcher.exe|123456|" + std::to_string(cut.size())});
  EXPECT_EQ(ReadGameFile("Launcher.exe"), "the running launcher");
  EXPECT_EQ(GameFiles(), std::vector<std::string>{"Launcher.exe"});
  EXPECT_FALSE(SelfUpdated);
  EXPECT_TRUE(commands.empty());
  EXPECT_TRUE(exits.empty());
  EXPECT_TRUE(view.State().play_visible);
  EXPECT_EQ(view.State().detail_text, "Have a great game!!");
}

TEST_F(SelfUpdateTest, ALauncherThatCannotBeMovedAsideIsNotRestarted) {
  system.executable_path = [this] { return Game("Elsewhere\\Launcher.exe").string(); };  // no such file
  InstallAndFinish({Publish("Launcher.exe", "the new launcher")});
  EXPECT_EQ(ReadGameFile("Launcher.exe"), "the running launcher");
  EXPECT_EQ(GameFiles(), std::vector<std::string>{"Launcher.exe"});
  EXPECT_FALSE(SelfUpdated);
  EXPECT_TRUE(commands.empty());
}

// Running as MyLauncher.exe while something that cannot be replaced holds the name
// "Launcher.exe": the running launcher goes back under its own name.
TEST_F(SelfUpdateTest, WhenTheNewLauncherCannotBePlacedTheOldOneGoesBack) {
  std::filesystem::remove(Game("Launcher.exe"));
  WriteGameFile("MyLauncher.exe", "the running launcher");
  WriteGameFile("Launcher.exe\\blocker", "a directory holds the name");
  system.executable_path = [this] { return Game("MyLauncher.exe").string(); };
  InstallAndFinish({Publish("Launcher.exe", "the new launcher")});
  EXPECT_EQ(ReadGameFile("MyLauncher.exe"), "the running launcher");
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe/blocker", "MyLauncher.exe"}));
  EXPECT_FALSE(SelfUpdated);
  EXPECT_TRUE(commands.empty());
  EXPECT_TRUE(view.State().play_visible);
}

// A restart that cannot start the new launcher keeps this one open with the game playable.
TEST_F(SelfUpdateTest, AFailedRestartEndsThePassNormally) {
  system.run_command_line = [this](const std::string& line) {
    commands.push_back(line);
    return false;
  };
  InstallAndFinish({Publish("Launcher.exe", "the new launcher")});
  EXPECT_EQ(commands.size(), 1u);
  EXPECT_TRUE(exits.empty());
  EXPECT_TRUE(view.State().play_visible);
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
}
