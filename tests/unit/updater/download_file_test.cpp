#include "updater_fixture.h"

class DownloadFileTest : public UpdaterTest {
 protected:
  bool Download(const std::string& server_path, const std::string& local = "got.bin") {
    bool result = false;
    OnWorker([&] { result = Worker().DownloadFile(server.BaseUrl() + server_path.substr(1), local, true); });
    return result;
  }
};

TEST_F(DownloadFileTest, StoresTheBodyAsTheLauncherAsksForIt) {
  std::string body(600000, 'x');
  server.Serve("/dir/file.rar", body);
  EXPECT_TRUE(Download("/dir/file.rar"));
  EXPECT_EQ(ReadGameFile("got.bin"), body);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].user_agent, "RUDoravoRuzazar");
  // Every block moves the file bar; the last hand-over puts it back to 0.
  std::vector<std::string> bar = view.CallsStartingWith("SetFileProgress(");
  ASSERT_GE(bar.size(), 2u);
  EXPECT_EQ(bar[bar.size() - 2], "SetFileProgress(600000)");
  EXPECT_EQ(bar.back(), "SetFileProgress(0)");
  // Aux is empty, as for the update list: the text is never touched.
  EXPECT_TRUE(view.CallsStartingWith("SetDetailText").empty());
}

// A failed status, a body cut short or announced longer than sent, a stalled transfer and an
// address that cannot be reached are failed downloads, and nothing of them stays on disk.
// A cut transfer is resumed three times; one that is still incomplete then fails.
TEST_F(DownloadFileTest, IncompleteTransfersFailAndLeaveNothing) {
  const std::string body(1000000, 'y');
  struct Case {
    const char* what;
    HttpFault fault;
  };
  const Case cases[] = {
      {"404 page", {.status = 404}},
      {"500 page", {.status = 500}},
      {"connection cut", {.cut_after = 100000}},
      {"announced longer than sent", {.extra_length = 5000}},
      {"announced over 2 GiB", {.extra_length = int64_t{1} << 31}},
  };
  for (const Case& c : cases) {
    server.Serve("/f.rar", body);
    server.SetFault("/f.rar", c.fault);
    GFilesThread worker(view, window, system);
    bool result = true;
    OnWorker([&] { result = worker.DownloadFile(server.BaseUrl() + "f.rar", "got.bin", true); });
    EXPECT_FALSE(result) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Game("got.bin"))) << c.what;
  }
  EXPECT_FALSE(Download("/unknown.rar"));
  EXPECT_FALSE(std::filesystem::exists(Game("got.bin")));
}

// The update list is read to 64 MiB at most: an answer that goes on past it, with its length
// announced or not, fails like any other failed download and leaves nothing on disk.
TEST_F(DownloadFileTest, AListLargerThan64MiBFailsAndLeavesNothing) {
  const size_t bound = size_t{64} << 20;
  server.Serve("/mu.update", std::string(bound + 1, '\0'));
  for (bool announced : {true, false}) {
    server.SetFault("/mu.update", {.no_length = !announced});
    EXPECT_FALSE(Download("/mu.update", "mu.update")) << announced;
    EXPECT_FALSE(std::filesystem::exists(Game("mu.update"))) << announced;
  }
  server.Serve("/mu.update", std::string(bound, '\0'));
  EXPECT_TRUE(Download("/mu.update", "mu.update"));
  EXPECT_EQ(std::filesystem::file_size(Game("mu.update")), bound);
}

// The server would stall for 30 s and then close; the one-second receive timeout must end the
// transfer long before.
TEST_F(DownloadFileTest, AStalledTransferFailsAtTheReceiveTimeout) {
  server.Serve("/f.rar", std::string(300000, 'z'));
  server.SetFault("/f.rar", {.stall_after = 0, .stall_ms = 30000});
  system.receive_timeout_ms = 1000;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("/f.rar"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_FALSE(std::filesystem::exists(Game("got.bin")));
}

TEST_F(DownloadFileTest, UnreachableAddressFailsButStillResetsTheBar) {
  bool result = true;
  OnWorker([&] { result = Worker().DownloadFile("http://127.0.0.1:1/mu.update", "got.bin", true); });
  EXPECT_FALSE(result);
  EXPECT_FALSE(std::filesystem::exists(Game("got.bin")));
  EXPECT_EQ(view.Calls(), std::vector<std::string>{"SetFileProgress(0)"});
}

TEST_F(DownloadFileTest, ABodyWithoutAnnouncedLengthEndsAtTheClose) {
  server.Serve("/f.rar", "complete");
  server.SetFault("/f.rar", {.no_length = true});
  EXPECT_TRUE(Download("/f.rar"));
  EXPECT_EQ(ReadGameFile("got.bin"), "complete");
}

TEST_F(DownloadFileTest, ALocalFileThatCannotBeCreatedRaises) {
  server.Serve("/f.rar", "data");
  std::filesystem::create_directories(Game("taken"));
  EXPECT_ANY_THROW(OnWorker([&] { Worker().DownloadFile(server.BaseUrl() + "f.rar", "taken", true); }));
}

// 1572864 of 3355443 bytes after 3 seconds.
TEST_F(DownloadFileTest, ProgressLineShowsSizesAndRate) {
  GFilesThread& worker = Worker();
  worker.FileInDown = "Data\\Local\\Item.bmd";
  worker.Aux = "3355443";
  worker.LTemp = 1572864;
  worker.RateBytes = 1572864;
  worker.FDownloadStartTick = 0xFFFFFFFF - 999;  // the tick count wraps during the transfer
  ticks = 2000;
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Downloading: Data\\Local\\Item.bmd.rar - 1.5 MB / 3.2 MB (512.0 KB/s)");
  EXPECT_EQ(view.State().file_bar.Position(), 100);  // held at the bar's maximum of 100
  SetCurrentLanguage(Language::Spn);
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Descargando: Data\\Local\\Item.bmd.rar - 1.5 MB / 3.2 MB (512.0 KB/s)");
  SetCurrentLanguage(Language::Por);
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Baixando: Data\\Local\\Item.bmd.rar - 1.5 MB / 3.2 MB (512.0 KB/s)");
  // Packages fetched ahead arrive on several connections: the rate counts all of them, while
  // the sizes are those of the package being installed.
  SetCurrentLanguage(Language::Eng);
  worker.RateBytes = 4 * 1572864;
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Downloading: Data\\Local\\Item.bmd.rar - 1.5 MB / 3.2 MB (2.0 MB/s)");
}

TEST_F(DownloadFileTest, ProgressStopsAtTheExpectedSizeAndShowsNoRateWithoutTime) {
  GFilesThread& worker = Worker();
  worker.FileInDown = "a.bmd";
  worker.Aux = "1000";
  worker.LTemp = 5000;
  worker.FDownloadStartTick = ticks;
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Downloading: a.bmd.rar - 1000 B / 1000 B");
  EXPECT_EQ(view.CallsStartingWith("SetFileProgress("), std::vector<std::string>{"SetFileProgress(1000)"});
  worker.LTemp = 0;
  ticks += 500;
  worker.ShowDownloadProgress();
  EXPECT_EQ(view.State().detail_text, "Downloading: a.bmd.rar - 0 B / 1000 B");
}
