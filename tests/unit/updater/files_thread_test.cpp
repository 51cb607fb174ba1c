#include "updater/crc32.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

class FilesThreadTest : public UpdaterTest {
 protected:
  // One whole pass on the worker's own thread, as the launcher starts it.
  void RunPass(const std::string& url) {
    GFilesThread& worker = Worker();
    worker.UpdatesUrl(url);
    worker.Start();
    window.PumpUntil([&] { return worker.Finished(); });
    worker.WaitFor();
  }
  std::string BaseUrlWithoutSlash() const {
    std::string url = server.BaseUrl();
    url.pop_back();
    return url;
  }
};

TEST_F(FilesThreadTest, APassInstallsWhatIsOutdatedAndEnds) {
  WriteGameFile("main.exe", "current game");
  WriteGameFile("update.update", "leftover");
  WriteGameFile("MuError.log", "leftover");
  const std::string main_entry = "main.exe|" + Crc32Text(Crc32(0, "current game", 12)) + "|99";
  server.Serve("/mu.update", ListOf({Publish("Data\\Local\\Item.bmd", "item"), main_entry, Publish("c.bmd", "c")}));
  RunPass(BaseUrlWithoutSlash());
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Local/Item.bmd", "Launcher.exe", "c.bmd", "main.exe"}));
  EXPECT_EQ(ReadGameFile("Data\\Local\\Item.bmd"), "item");
  ASSERT_GE(view.Calls().size(), 2u);
  EXPECT_EQ(view.Calls()[0], "SetPlayVisible(false)");
  EXPECT_EQ(view.Calls()[1], "SetStatusText(\"Connecting to the update server...\")");
  EXPECT_EQ(server.Requests().front().path, "/mu.update");
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
  EXPECT_TRUE(view.State().detail_visible);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_TRUE(view.State().play_visible);
  EXPECT_EQ(view.State().total_bar.Position(), 0);
  EXPECT_EQ(view.State().file_bar.Position(), 0);
  EXPECT_EQ(pauses, 3);
  EXPECT_TRUE(exits.empty());
}

// The window at the end of a pass that installed nothing, by the stage at which it ended.
TEST_F(FilesThreadTest, PassesWithoutInstallationEndWithThePlayControlShown) {
  struct Case {
    const char* what;
    const char* list;  // nullptr: the list is not served
    std::string detail;
  };
  const Case cases[] = {
      {"nothing outdated", "[Download]\r\nLauncher.exe|" "%CRC%" "|1\r\n[/Download]\r\n",
       "Update completed! No outdated files found."},
      {"no Download section", "[Other]\r\nx|y|z\r\n[/Other]\r\n", ""},
      {"list not fetched", nullptr, "Connecting to the update server..."},
  };
  for (const Case& c : cases) {
    GFilesThread worker(view, window, system);
    std::string list = c.list ? c.list : "";
    if (size_t at = list.find("%CRC%"); at != std::string::npos) list.replace(at, 5, Crc32Text(FileCRC32("Launcher.exe")));
    if (c.list) server.Serve("/mu.update", list);
    worker.UpdatesUrl(c.list ? server.BaseUrl() : server.BaseUrl() + "missing/");
    window.RunWorker([&] { worker.Execute(); });
    EXPECT_EQ(view.State().status_text, "Bom jogo!") << c.what;
    EXPECT_FALSE(view.State().detail_visible) << c.what;
    EXPECT_EQ(view.State().detail_text, c.detail) << c.what;
    EXPECT_TRUE(view.State().play_visible) << c.what;
    EXPECT_EQ(GameFiles(), std::vector<std::string>{"Launcher.exe"}) << c.what;  // the list is gone
  }
}

TEST_F(FilesThreadTest, AnEmptyUpdateUrlEndsWithThePlayControlShown) {
  RunPass("");
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
  EXPECT_TRUE(view.State().play_visible);
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(FilesThreadTest, AnUpdateUrlEndingWithASlashIsUsedAsItIs) {
  server.Serve("/updates/mu.update", ListOf({}));
  RunPass(server.BaseUrl() + "updates/");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].path, "/updates/mu.update");
}

TEST_F(FilesThreadTest, ATerminationRequestSkipsTheWorkButNotTheEnd) {
  server.Serve("/mu.update", ListOf({Publish("a.bmd", "a")}));
  Worker().Terminate();
  RunPass(server.BaseUrl());
  EXPECT_EQ(GameFiles(), std::vector<std::string>{"Launcher.exe"});
  EXPECT_TRUE(view.State().play_visible);
}

TEST_F(FilesThreadTest, FinishingRenamesTheLauncherAndSaysBomJogoInEveryLanguage) {
  std::filesystem::remove(Game("Launcher.exe"));
  WriteGameFile("MyLauncher.exe", "launcher");
  system.executable_path = [this] { return Game("MyLauncher.exe").string(); };
  SetCurrentLanguage(Language::Spn);
  StatusText = "last status";
  Worker().FinishUpdate();
  EXPECT_EQ(GameFiles(), std::vector<std::string>{"Launcher.exe"});
  EXPECT_EQ(view.Calls(), (std::vector<std::string>{"SetDetailText(\"last status\")", "SetStatusText(\"Bom jogo!\")",
                                                    "SetPlayVisible(true)"}));
}

// A worker that frees itself runs its pass to the end and then destroys itself, which drops
// the copy of its system hooks (and the marker they hold).
TEST_F(FilesThreadTest, AWorkerThatFreesItself) {
  auto marker = std::make_shared<int>(0);
  UpdaterSystem own = system;
  own.pause = [marker](uint32_t) {};
  auto* worker = new GFilesThread(view, window, std::move(own));
  worker->SetFreeOnTerminate(true);
  worker->UpdatesUrl("");
  worker->Start();
  window.PumpUntil([&] { return marker.use_count() == 1; });
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
  EXPECT_TRUE(view.State().play_visible);
}
