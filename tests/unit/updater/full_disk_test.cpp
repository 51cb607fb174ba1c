// Packages fetched ahead on a nearly full disk: they never take the room an earlier entry needs,
// and every entry fails or installs as it would one package at a time. The disk is the POSIX
// stand-in's simulated one, so its free space is exact and the same on every machine.
#include "crc32/crc32.h"
#include "platform/posix/test_hooks.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

namespace {

// Every file of the process lies on a disk with this many bytes free while it lives.
class SimulatedDisk {
 public:
  explicit SimulatedDisk(uint64_t free_bytes) { platform::posix_files::SimulateFreeSpace(free_bytes); }
  ~SimulatedDisk() { platform::posix_files::SimulateFreeSpace(std::nullopt); }
  SimulatedDisk(const SimulatedDisk&) = delete;
  SimulatedDisk& operator=(const SimulatedDisk&) = delete;
};

std::optional<uint64_t> Unreadable(const std::string&) { return std::nullopt; }

}  // namespace

class FullDiskTest : public UpdaterTest {
 protected:
  // A worker of its own, made with the system as the test set it now.
  void Install(std::vector<std::string> entries, HttpTestServer& site) {
    GFilesThread worker(view, window, system);
    worker.Dir = Game("").string();
    worker.UUrl = site.BaseUrl();
    worker.FilesToGet = std::move(entries);
    OnWorker([&] { worker.InstallFiles(); });
  }
  size_t RequestsFor(const std::string& path) const {
    size_t count = 0;
    for (const HttpRequestSeen& request : server.Requests()) count += request.path == path;
    return count;
  }
};

// A 16-byte file listed before a large one, on a disk with room for the large one's package but
// not for its installation: the small file installs, the large entry fails and keeps its old
// file, and neither leaves a package, an unpacked file or a folder of its own. The small
// package answers late, so that the large one, fetched ahead, takes the whole disk first: with
// the free space unknown, only giving it up lets the small entry install; with the free space
// read, it is not fetched ahead at all.
TEST_F(FullDiskTest, AnEntryFetchedAheadNeverTakesTheRoomOfAnEarlierOne) {
  struct Case {
    const char* large;
    const char* old_large;  // nullptr: a new file in new folders
  };
  const Case cases[] = {
      {"Data\\Large.bmd", "old large"}, {"Novo\\Pasta\\Large.bmd", nullptr}, {"Launcher.exe", nullptr}};
  const std::string small = "sixteen bytes!!!", large = Noise(3 << 20, 7), large_package = Bzip2(large);
  const std::string large_fields =
      "|" + Crc32Text(Crc32(0, large.data(), large.size())) + "|" + std::to_string(large_package.size());
  HttpFault late;
  late.delay_ms = 500;
  late.times = 1;
  for (const Case& c : cases) {
    for (const bool free_space_read : {false, true}) {
      SCOPED_TRACE(std::string(c.large) + (free_space_read ? ", free space read" : ", free space unknown"));
      std::filesystem::remove_all(Game("Data"));
      WriteGameFile("Data\\small.txt", "old small 16 b.!");
      if (c.old_large) WriteGameFile(c.large, c.old_large);
      view.ClearCalls();
      SelfUpdated = false;
      server.Serve(PackagePath(c.large), large_package);
      const std::vector<std::string> entries = {Publish("Data\\small.txt", small), c.large + large_fields};
      server.SetFault(PackagePath("Data\\small.txt"), late);
      system.free_space = free_space_read ? UpdaterSystem{}.free_space : Unreadable;
      {
        SimulatedDisk disk(large_package.size());
        Install(entries, server);
      }
      EXPECT_EQ(ReadGameFile("Data\\small.txt"), small);
      std::vector<std::string> files = {"Data/small.txt", "Launcher.exe"};
      if (c.old_large) {
        EXPECT_EQ(ReadGameFile(c.large), c.old_large);
        files.insert(files.begin(), "Data/Large.bmd");
      }
      EXPECT_EQ(GameFiles(), files);
      EXPECT_FALSE(std::filesystem::exists(Game("Novo")));
      EXPECT_EQ(ReadGameFile("Launcher.exe"), "the running launcher");
      EXPECT_FALSE(SelfUpdated);
      for (const std::string& status : view.CallsStartingWith("SetStatusText(")) {
        EXPECT_EQ(status.find("01#"), std::string::npos) << status;
      }
      EXPECT_EQ(view.State().detail_text, "Have a great game!!");
    }
  }
}

// Fetching ahead waits while the disk is short: with room for one package beside what the
// entry being installed needs and the margin, one package arrives ahead of its turn; with less,
// none. A disk that cannot tell its free space is fetched ahead on as before.
TEST_F(FullDiskTest, FetchingAheadWaitsWhileTheDiskIsShort) {
  constexpr size_t kSize = 10000;
  constexpr uint64_t kMargin = PackageFetcher::kFreeSpaceMargin;
  struct Case {
    const char* what;
    uint64_t free_bytes;
    bool readable;
    int most_at_once;
  };
  // The installed entry takes its package and its file; a package fetched ahead takes a little
  // over kSize.
  const Case cases[] = {{"plenty of room", uint64_t{1} << 30, true, 4},
                        {"room for one ahead", kMargin + 3 * kSize + kSize / 2, true, 2},
                        {"room for the entry alone", kMargin + 2 * kSize + kSize / 2, true, 1},
                        {"free space unknown", kMargin + 2 * kSize + kSize / 2, false, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HttpTestServer site;
    site.SetAnswerDelay(std::chrono::milliseconds(50));
    std::vector<std::string> entries;
    for (int i = 0; i < 8; ++i) {
      const std::string content = Noise(kSize, i), package = Bzip2(content);
      site.Serve("/f" + std::to_string(i) + ".bmd.rar", package);
      entries.push_back("f" + std::to_string(i) + ".bmd|" + Crc32Text(Crc32(0, content.data(), content.size())) + "|" +
                        std::to_string(package.size()));
    }
    system.free_space = c.readable ? UpdaterSystem{}.free_space : Unreadable;
    {
      SimulatedDisk disk(c.free_bytes);
      Install(entries, site);
    }
    EXPECT_EQ(site.MostRequestsAtOnce(), c.most_at_once);
    EXPECT_EQ(GameFiles().size(), 9u);
    EXPECT_EQ(view.State().detail_text, "Update completed!");
    for (int i = 0; i < 8; ++i) std::filesystem::remove(Game("f" + std::to_string(i) + ".bmd"));
  }
}

// Only a local failure is tried again: a package that is damaged or fails its checksum, while
// the next ones are fetched ahead, fails its entry at once, asked for once, and the pass goes on.
TEST_F(FullDiskTest, APackagesOwnVerdictIsNeverTriedAgain) {
  const std::string content = "new content", crc = Crc32Text(Crc32(0, content.data(), content.size()));
  struct Case {
    const char* what;
    std::string path;
    std::string package;
  };
  const Case cases[] = {{"damaged", "Data\\damaged.bmd", "not a bzip2 stream"},
                        {"fails its checksum", "Data\\mismatch.bmd", Bzip2("other content")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.Serve(PackagePath(c.path), c.package);
    Install({c.path + "|" + crc + "|" + std::to_string(c.package.size()), Publish("later.bmd", Noise(50000, 1)),
             Publish("last.bmd", "last")},
            server);
    EXPECT_EQ(RequestsFor(PackagePath(c.path)), 1u);
    EXPECT_EQ(ReadGameFile("last.bmd"), "last");
    EXPECT_EQ(view.State().detail_text, "Have a great game!!");
  }
}
