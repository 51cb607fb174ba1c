#include <algorithm>
#include <chrono>
#include <thread>

#include "crc32/crc32.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "platform/text.h"
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

// Another launcher's pass over the game folder holds its lock: this pass shows the checking
// text and asks for nothing until that pass ends, then runs its own check.
TEST_F(FilesThreadTest, APassWaitsForAnotherPassOverTheSameFolder) {
  server.Serve("/mu.update", ListOf({Publish("a.bmd", "new a")}));
  auto other_pass = platform::FolderLock::Take(platform::WorkingDirectory(), 0);
  ASSERT_TRUE(other_pass);
  GFilesThread& worker = Worker();
  worker.UpdatesUrl(server.BaseUrl());
  worker.Start();
  window.PumpUntil([&] { return view.State().status_text == "Checking outdated files..."; });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_FALSE(view.State().play_visible);
  other_pass.reset();
  window.PumpUntil([&] { return worker.Finished(); });
  worker.WaitFor();
  EXPECT_EQ(ReadGameFile("a.bmd"), "new a");
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_TRUE(view.State().play_visible);
}

// Two launchers started together on one folder: one installs, the other then finds every file
// current; both end as a pass may end, and nothing is left over.
TEST_F(FilesThreadTest, TwoPassesOverOneFolderRunOneAfterTheOther) {
  const std::string big(3000000, 'b');
  server.Serve("/mu.update", ListOf({Publish("Data\\big.bmd", big), Publish("small.bmd", "small")}));
  RecordingView second_view;
  GFilesThread first(view, window, system), second(second_view, window, system);
  first.UpdatesUrl(server.BaseUrl());
  second.UpdatesUrl(server.BaseUrl());
  first.Start();
  second.Start();
  window.PumpUntil([&] { return first.Finished() && second.Finished(); });
  first.WaitFor();
  second.WaitFor();
  EXPECT_EQ(ReadGameFile("Data\\big.bmd"), big);
  EXPECT_EQ(ReadGameFile("small.bmd"), "small");
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/big.bmd", "Launcher.exe", "small.bmd"}));
  std::vector<std::pair<bool, std::string>> ends = {{view.State().detail_visible, view.State().detail_text},
                                                    {second_view.State().detail_visible, second_view.State().detail_text}};
  std::sort(ends.begin(), ends.end());
  EXPECT_EQ(ends, (std::vector<std::pair<bool, std::string>>{{false, "Update completed! No outdated files found."},
                                                             {true, "Update completed!"}}));
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
  EXPECT_EQ(second_view.State().status_text, "Bom jogo!");
}

// An update site that cannot be reached is named in the activity log, with the reason.
TEST_F(FilesThreadTest, AnUnreachableUpdateSiteIsLoggedWithTheReason) {
  const std::string site = RefusedUrl();
  RunPass(site);
  EXPECT_EQ(view.State().status_text, "Bom jogo!");
  EXPECT_TRUE(view.State().play_visible);
  const std::string log = platform::FromAnsi(ReadGameFile("log.txt"));
  EXPECT_NE(log.find(" - Falha ao conectar ao servidor de atualização: " + site +
                     "mu.update - Falha de conexão (erro 7)\r\n"),
            std::string::npos)
      << log;
}
