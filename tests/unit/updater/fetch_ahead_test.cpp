// The installation stage fetches the packages of the next entries while one is installed, on a
// few connections and within a bound, and still installs strictly in list order.
#include "crc32/crc32.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

class FetchAheadTest : public UpdaterTest {
 protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    server.SetAnswerDelay(std::chrono::milliseconds(50));  // a distant server
  }
  void Install(std::vector<std::string> entries) {
    Worker().FilesToGet = std::move(entries);
    OnWorker([&] { Worker().InstallFiles(); });
  }
  // The files named by the "Extracting: " statuses, in the order they were installed. A status
  // stays up until the next one, and is handed over again meanwhile.
  std::vector<std::string> Extracted() const {
    std::vector<std::string> paths;
    std::string last;
    for (const auto& call : view.CallsStartingWith("SetStatusText(")) {
      if (call == last) continue;
      last = call;
      const std::string prefix = "SetStatusText(\"Extracting: ";
      if (call.starts_with(prefix)) {
        paths.push_back(call.substr(prefix.size(), call.size() - prefix.size() - std::string(".rar\")").size()));
      }
    }
    return paths;
  }
};

TEST_F(FetchAheadTest, ManyEntriesInstallInListOrderWhileFourConnectionsFetch) {
  std::vector<std::string> entries, paths, expected_files{"Launcher.exe"};
  for (int i = 0; i < 40; ++i) {
    const std::string path = "Data\\Part" + std::to_string(i % 3) + "\\File" + std::to_string(i) + ".bmd";
    WriteGameFile(path, "old");
    entries.push_back(Publish(path, Noise(3000 + 97 * i, i)));
    paths.push_back(path);
  }
  Install(entries);
  EXPECT_EQ(Extracted(), paths);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(ReadGameFile(paths[i]), Noise(3000 + 97 * i, i)) << paths[i];
  EXPECT_EQ(GameFiles().size(), 41u);  // no package or unpacked file left
  EXPECT_EQ(server.MostRequestsAtOnce(), 4);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
}

// One connection and no room ahead is the stage one package at a time; the bound lets as many
// packages wait as fit in it, however many connections there are.
TEST_F(FetchAheadTest, TheConnectionsAndTheBoundLimitWhatIsFetchedAtOnce) {
  struct Case {
    unsigned connections;
    uint64_t ahead_bytes;
    int most_at_once;
  };
  const size_t size = 10000;  // packages of about 10 KB
  for (const Case& c : {Case{1, 0, 1}, Case{4, 0, 1}, Case{4, 20000, 2}, Case{2, uint64_t{64} << 20, 2}, Case{3, uint64_t{64} << 20, 3}}) {
    HttpTestServer own_server;
    own_server.SetAnswerDelay(std::chrono::milliseconds(50));
    std::vector<std::string> entries;
    for (int i = 0; i < 8; ++i) {
      const std::string content = Noise(size, i);
      const std::string package = Bzip2(content);
      own_server.Serve("/f" + std::to_string(i) + ".bmd.rar", package);
      entries.push_back("f" + std::to_string(i) + ".bmd|" + Crc32Text(Crc32(0, content.data(), content.size())) + "|" +
                        std::to_string(package.size()));
    }
    system.fetch_connections = c.connections;
    system.fetch_ahead_bytes = c.ahead_bytes;
    GFilesThread worker(view, window, system);
    worker.Dir = Game("").string();
    worker.UUrl = own_server.BaseUrl();
    worker.FilesToGet = entries;
    OnWorker([&] { worker.InstallFiles(); });
    EXPECT_EQ(own_server.MostRequestsAtOnce(), c.most_at_once) << c.connections << " connections, " << c.ahead_bytes;
    EXPECT_EQ(GameFiles().size(), 9u) << c.connections << " connections, " << c.ahead_bytes;
    for (int i = 0; i < 8; ++i) std::filesystem::remove(Game("f" + std::to_string(i) + ".bmd"));
  }
}

// A package that turns out larger than its entry announced waits for its turn instead of
// passing the bound, and the pass still ends.
TEST_F(FetchAheadTest, APackageLargerThanItsEntryWaitsForItsTurn) {
  system.fetch_ahead_bytes = 64 * 1024;
  const std::string liar = Noise(300000, 1);
  server.Serve("/liar.bmd.rar", Bzip2(liar));
  HttpFault slow;
  slow.bytes_per_second = 2'000'000;
  server.SetFault("/first.bmd.rar", slow);
  Install({Publish("first.bmd", Noise(200000, 2)), "liar.bmd|" + Crc32Text(Crc32(0, liar.data(), liar.size())) + "|1000",
           Publish("last.bmd", "last")});
  EXPECT_EQ(ReadGameFile("first.bmd"), Noise(200000, 2));
  EXPECT_EQ(ReadGameFile("last.bmd"), "last");
  EXPECT_EQ(ReadGameFile("liar.bmd"), liar);
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe", "first.bmd", "last.bmd", "liar.bmd"}));
}

// Two connections never write one package: a file named twice is fetched again after its
// first installation.
TEST_F(FetchAheadTest, AFileNamedTwiceIsFetchedOneAfterTheOther) {
  HttpFault slow;
  slow.bytes_per_second = 1'000'000;
  const std::string twice = Publish("Data\\Twice.bmd", Noise(150000, 3));
  server.SetFault("/Data/Twice.bmd.rar", slow);
  Install({twice, Publish("between.bmd", "between"), twice});
  EXPECT_EQ(ReadGameFile("Data\\Twice.bmd"), Noise(150000, 3));
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"Data\\Twice.bmd", "between.bmd", "Data\\Twice.bmd"}));
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Twice.bmd", "Launcher.exe", "between.bmd"}));
  EXPECT_EQ(view.State().detail_text, "Update completed!");
}

// The launcher named among other entries is replaced at its place; the entries after it are
// installed too, and the restart waits for the end of the pass.
TEST_F(FetchAheadTest, TheLauncherIsReplacedAtItsPlaceAndRestartsAtTheEnd) {
  WriteGameFile("Launcher.exe", "the running launcher");
  Worker().FilesToGet = {Publish("a.bmd", "new a"), Publish("Launcher.exe", "the new launcher"), Publish("b.bmd", "new b")};
  OnWorker([&] {
    Worker().InstallFiles();
    EXPECT_TRUE(commands.empty());
    window.RunSynchronized([&] { Worker().FinishUpdate(); });
  });
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"a.bmd", "Launcher.exe", "b.bmd"}));
  EXPECT_EQ(ReadGameFile("Launcher.exe"), "the new launcher");
  EXPECT_EQ(ReadGameFile("b.bmd"), "new b");
  EXPECT_TRUE(SelfUpdated);
  EXPECT_EQ(commands, std::vector<std::string>{"Launcher.exe reload"});
}

// When a download fails, the packages being fetched ahead are given up at once, even one whose
// server went silent, before its answer or in its middle, and nothing of them stays behind.
TEST_F(FetchAheadTest, AFailedDownloadGivesUpWhatIsFetchedAheadAtOnce) {
  HttpFault before_answer, mid_body;
  before_answer.delay_ms = 120000;
  mid_body.stall_after = 10;
  mid_body.stall_ms = 120000;
  for (const HttpFault& silent : {before_answer, mid_body}) {
    SCOPED_TRACE(silent.delay_ms ? "silent before the answer" : "silent in the body");
    HttpFault cut;
    cut.cut_after = 5;  // cut every time: it fails after its resumptions, while c waits
    WriteGameFile("Data\\b.bmd", "old b");
    const std::vector<std::string> entries = {Publish("Data\\a.bmd", "new a"), Publish("Data\\b.bmd", "new b"),
                                              Publish("Data\\Later\\c.bmd", Noise(50000, 4))};
    server.SetFault("/Data/a.bmd.rar", cut);
    server.SetFault("/Data/Later/c.bmd.rar", silent);
    const auto started = std::chrono::steady_clock::now();
    Install(entries);
    // Far less than the receive timeout or the silence.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(ReadGameFile("Data\\b.bmd"), "old b");
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/b.bmd", "Launcher.exe"}));
    EXPECT_EQ(view.State().detail_text, "Have a great game!!");
  }
}

// A package fetched ahead that is cut resumes on its own connection, as the followed one does,
// and is installed at its turn.
TEST_F(FetchAheadTest, APackageCutWhileFetchedAheadResumes) {
  HttpFault slow, cut;
  slow.bytes_per_second = 1'000'000;
  cut.cut_after = 60000;
  cut.times = 2;
  const std::string second = Noise(150000, 6);
  const std::vector<std::string> entries = {Publish("first.bmd", Noise(300000, 5)), Publish("second.bmd", second)};
  server.SetFault("/first.bmd.rar", slow);
  server.SetFault("/second.bmd.rar", cut);
  Install(entries);
  EXPECT_EQ(ReadGameFile("second.bmd"), second);
  std::vector<std::string> ranges;
  for (const HttpRequestSeen& request : server.Requests()) {
    if (request.path == "/second.bmd.rar") ranges.push_back(request.range);
  }
  EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=60000-", "bytes=120000-"}));
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe", "first.bmd", "second.bmd"}));
  EXPECT_EQ(view.State().detail_text, "Update completed!");
}
