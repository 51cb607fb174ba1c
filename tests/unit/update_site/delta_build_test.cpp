// `update-site build` with deltas: release after release into one site folder, each changed file
// gets a delta from the content players have, chains of earlier deltas stay while they beat the
// package, and the index names exactly the deltas in the site.
#include <gtest/gtest.h>

#include <set>

#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "delta/delta_index.h"
#include "site_fixture.h"
#include "update_site/builder/site_builder.h"

namespace fs = std::filesystem;

namespace {

const std::string kItem = "Data/Item.bmd";
const std::string kItemListed = "Data\\Item.bmd";

// The data table of a version: the first version's text with a few records edited and one
// inserted by every version since.
std::string ItemVersion(int version) {
  std::string content = SampleBytes(300000, 3, true);
  for (int v = 2; v <= version; ++v) {
    content.replace(static_cast<size_t>(v) * 37000, 24, "record edited in version" + std::to_string(v));
    content.insert(150000, "a record inserted in version " + std::to_string(v) + "\r\n");
  }
  return content;
}

uint32_t Crc(const std::string& content) { return Crc32(0, content.data(), content.size()); }

class DeltaBuild : public ::testing::Test {
 protected:
  // Puts the files into the game folder as a new version (a time of their own, so that the
  // build looks at them) and builds; an empty content removes the file.
  BuildReport Release(const std::map<std::string, std::string>& files, DeltaOptions deltas = {}) {
    ++version_;
    for (const auto& [path, content] : files) {
      const fs::path file = Game() / path;
      if (content.empty()) {
        fs::remove(file);
        continue;
      }
      WriteFile(file, content);
      SetAge(file, 3600 - 10 * version_);
    }
    BuildOptions options;
    options.game_dir = Game().string();
    options.site_dir = Site().string();
    options.jobs = 2;
    options.deltas = deltas;
    std::ostringstream progress;
    return BuildSite(options, progress, false);
  }

  fs::path Game() const { return dir_ / (prefix_ + "game"); }
  fs::path Site() const { return dir_ / (prefix_ + "site"); }

  std::vector<DeltaEntry> Index() const {
    if (!fs::exists(Site() / "mu.update.deltas")) return {};
    return ReadDeltaIndex(ReadFile(Site() / "mu.update.deltas")).value();
  }

  // The delta files in the site, by location.
  std::set<std::string> DeltaFiles() const {
    std::set<std::string> files;
    if (!fs::exists(Site() / "deltas")) return files;
    for (const auto& [path, content] : FolderContent(Site() / "deltas")) files.insert("deltas/" + path);
    return files;
  }

  std::set<std::string> Locations() const {
    std::set<std::string> locations;
    for (const DeltaEntry& delta : Index()) locations.insert(delta.location);
    return locations;
  }

  std::string Applied(const std::string& previous, const DeltaEntry& delta) const {
    return std::string(ApplyDelta(previous, ReadFile(Site() / delta.location), delta.result_size).view());
  }

  TempDir dir_;
  std::string prefix_;  // of the game and site folders, for a fresh pair in the same test
  int version_ = 0;
};

}  // namespace

TEST_F(DeltaBuild, TheFirstBuildHasNoneAndTheNextOneADeltaPerChangedFile) {
  const std::string main_v1 = SampleBytes(100000, 1, false);
  std::string main_v2 = main_v1;
  main_v2.replace(5000, 8, "patched!");
  BuildReport first = Release({{kItem, ItemVersion(1)}, {"main.exe", main_v1}, {"readme.txt", "read me"}});
  EXPECT_EQ(first.deltas.made, 0u);
  EXPECT_FALSE(fs::exists(Site() / "mu.update.deltas"));
  EXPECT_FALSE(fs::exists(Site() / "deltas"));

  BuildReport second = Release({{kItem, ItemVersion(2)}, {"main.exe", main_v2}, {"Data/new.txt", "no version before"}});
  EXPECT_EQ(second.deltas.made, 2u);
  EXPECT_EQ(second.deltas.kept, 0u);
  const std::vector<DeltaEntry> index = Index();
  ASSERT_EQ(index.size(), 2u);
  const std::map<std::string, std::pair<std::string, std::string>> versions = {
      {kItemListed, {ItemVersion(1), ItemVersion(2)}}, {"main.exe", {main_v1, main_v2}}};
  uint64_t written = 0;
  for (const DeltaEntry& delta : index) {
    const auto& [previous, current] = versions.at(delta.path);
    EXPECT_EQ(delta.from_crc, Crc(previous)) << delta.path;
    EXPECT_EQ(delta.to_crc, Crc(current)) << delta.path;
    EXPECT_EQ(delta.location, DeltaLocation(delta.path, delta.from_crc, delta.to_crc));
    EXPECT_EQ(delta.size, fs::file_size(Site() / delta.location)) << delta.path;
    EXPECT_EQ(delta.result_size, current.size());
    EXPECT_LT(delta.size, fs::file_size(Site() / (delta.path == "main.exe" ? "main.exe.rar" : "Data/Item.bmd.rar")));
    EXPECT_LT(delta.size, 1000u) << "a few edits cost a few hundred bytes";
    EXPECT_EQ(Applied(previous, delta), current) << delta.path;
    written += delta.size;
  }
  EXPECT_EQ(second.deltas.bytes_written, written);
  EXPECT_EQ(DeltaFiles(), Locations());
  // The index before the list, as the packages.
  EXPECT_LE(fs::last_write_time(Site() / "mu.update.deltas"), fs::last_write_time(Site() / "mu.update"));
}

TEST_F(DeltaBuild, ChainsStayWhileTheyBeatThePackageAndTheRestIsRemoved) {
  const std::string words_v1 = SampleBytes(100000, 1, true);
  std::string words_v2 = words_v1;
  words_v2.replace(5000, 8, "patched!");
  std::string gone_v2 = words_v1.substr(0, 50000);
  gone_v2.replace(1000, 8, "patched!");
  Release({{kItem, ItemVersion(1)}, {"Data/Words.txt", words_v1}, {"Data/Gone/gone.txt", words_v1.substr(0, 50000)}});
  Release({{kItem, ItemVersion(2)}, {"Data/Words.txt", words_v2}, {"Data/Gone/gone.txt", gone_v2}});
  EXPECT_EQ(Index().size(), 3u);

  // Words.txt gets other words (bzip2 packs them better than a delta can), gone.txt goes.
  BuildReport third =
      Release({{kItem, ItemVersion(3)}, {"Data/Words.txt", SampleBytes(100000, 9, true)}, {"Data/Gone/gone.txt", ""}});
  EXPECT_EQ(third.deltas.made, 1u);
  EXPECT_EQ(third.deltas.kept, 1u);
  EXPECT_EQ(third.deltas.not_smaller, 1u);
  EXPECT_EQ(third.deltas.removed, 2u);
  const std::vector<DeltaEntry> index = Index();
  ASSERT_EQ(index.size(), 2u);
  for (const DeltaEntry& delta : index) EXPECT_EQ(delta.path, kItemListed);
  EXPECT_EQ(DeltaFiles(), Locations());
  EXPECT_FALSE(fs::exists(Site() / "deltas/Data/Gone")) << "emptied folders go too";

  // A player two versions behind applies the chain, and gets the new content.
  const uint64_t package = fs::file_size(Site() / "Data/Item.bmd.rar");
  std::optional<std::vector<DeltaEntry>> chain =
      FindDeltaChain(index, kItemListed, Crc(ItemVersion(1)), Crc(ItemVersion(3)), package);
  ASSERT_TRUE(chain);
  ASSERT_EQ(chain->size(), 2u);
  EXPECT_EQ(Applied(Applied(ItemVersion(1), (*chain)[0]), (*chain)[1]), ItemVersion(3));

  // A build with nothing changed keeps them all.
  BuildReport unchanged = Release({});
  EXPECT_EQ(unchanged.deltas.kept, 2u);
  EXPECT_EQ(unchanged.deltas.removed, 0u);
  EXPECT_EQ(Index(), index);
}

TEST_F(DeltaBuild, KeepsNoMoreVersionsBackThanAsked) {
  DeltaOptions two_back;
  two_back.max_versions = 2;
  for (int version = 1; version <= 4; ++version) Release({{kItem, ItemVersion(version)}}, two_back);
  std::set<uint32_t> starts;
  for (const DeltaEntry& delta : Index()) starts.insert(delta.from_crc);
  EXPECT_EQ(starts, (std::set<uint32_t>{Crc(ItemVersion(2)), Crc(ItemVersion(3))}));
  EXPECT_EQ(DeltaFiles(), Locations());
}

TEST_F(DeltaBuild, TurnedOffTheyAreRemovedAndTurnedOnAgainTheyStartFromThePreviousPackage) {
  Release({{kItem, ItemVersion(1)}});
  Release({{kItem, ItemVersion(2)}});
  ASSERT_EQ(Index().size(), 1u);
  DeltaOptions off;
  off.enabled = false;
  BuildReport without = Release({{kItem, ItemVersion(3)}}, off);
  EXPECT_EQ(without.deltas.made, 0u);
  EXPECT_EQ(without.deltas.removed, 1u);
  EXPECT_FALSE(fs::exists(Site() / "mu.update.deltas"));
  EXPECT_FALSE(fs::exists(Site() / "deltas"));

  Release({{kItem, ItemVersion(4)}});
  const std::vector<DeltaEntry> index = Index();
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].from_crc, Crc(ItemVersion(3)));
  EXPECT_EQ(Applied(ItemVersion(3), index[0]), ItemVersion(4));
}

TEST_F(DeltaBuild, FilesAboveTheLimitGetOnlyTheirPackage) {
  // The limit is lowered to 1,000 bytes for the test: the rule is the same at 256 MiB.
  struct Case {
    const char* what;
    size_t previous_size, new_size;
    bool delta;
  };
  const Case cases[] = {
      {"both within", 900, 1000, true},
      {"the new content above", 900, 1001, false},
      {"the previous content above", 1001, 900, false},
  };
  for (const Case& c : cases) {
    prefix_ = c.what;
    DeltaOptions small;
    small.largest_file = 1000;
    const std::string text = SampleBytes(2000, 7, true);
    std::string previous = text.substr(0, c.previous_size), current = text.substr(0, c.new_size);
    current[100] ^= 1;
    Release({{"table.txt", previous}}, small);
    BuildReport report = Release({{"table.txt", current}}, small);
    EXPECT_EQ(report.deltas.made, c.delta ? 1u : 0u) << c.what;
    EXPECT_EQ(Index().size(), c.delta ? 1u : 0u) << c.what;
    EXPECT_TRUE(report.deltas.problems.empty()) << c.what;
  }
}

TEST_F(DeltaBuild, APreviousPackageThatDoesNotGiveItsContentGetsNoDeltaAndTheOperatorHearsOfIt) {
  Release({{kItem, ItemVersion(1)}, {"main.exe", "main v1"}});
  std::string package = ReadFile(Site() / "Data/Item.bmd.rar");
  package[package.size() / 2] ^= 0x55;
  WriteFile(Site() / "Data/Item.bmd.rar", package);
  std::string out;
  WriteFile(Game() / kItem, ItemVersion(2));
  WriteFile(Game() / "main.exe", "main v2");
  ASSERT_EQ(RunTool({"build", Game().string(), Site().string()}, &out), 0) << out;
  EXPECT_NE(out.find("No delta for Data\\Item.bmd: its previous package in the site cannot be unpacked"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Deltas in mu.update.deltas: 1 made ("), std::string::npos) << out;
  ASSERT_EQ(Index().size(), 1u);
  EXPECT_EQ(Index()[0].path, "main.exe");
}

TEST_F(DeltaBuild, AGameFileNamedLikeTheIndexTurnsDeltasOffAndSaysSo) {
  Release({{kItem, ItemVersion(1)}});
  Release({{kItem, ItemVersion(2)}});
  ASSERT_EQ(Index().size(), 1u);
  WriteFile(Game() / "mu.update.deltas", "a game file of that name");
  WriteFile(Game() / kItem, ItemVersion(3));
  std::string out;
  ASSERT_EQ(RunTool({"build", Game().string(), Site().string(), "--no-default-excludes"}, &out), 0) << out;
  EXPECT_NE(out.find("No deltas: the game folder publishes a file named mu.update.deltas"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(Site() / "mu.update.deltas"));
  EXPECT_TRUE(DeltaFiles().empty());
  EXPECT_TRUE(fs::exists(Site() / "mu.update.deltas.rar"));
}

TEST_F(DeltaBuild, TheCommandLineTurnsThemOffOrKeepsFewerVersions) {
  struct Case {
    std::vector<std::string> options;
    int code;
    std::string said;
  };
  const Case cases[] = {
      {{"--delta-versions", "0"}, 2, "--delta-versions takes a whole number from 1 to 100"},
      {{"--no-deltas", "--delta-versions", "3"}, 2, "--delta-versions needs deltas"},
      {{"--delta-versions", "1"}, 0, "Deltas in mu.update.deltas: 1 made"},
      {{"--no-deltas"}, 0, "Listed 1 files"},
  };
  WriteFile(Game() / kItem, ItemVersion(1));
  ASSERT_EQ(RunTool({"build", Game().string(), Site().string()}), 0);
  for (const Case& c : cases) {
    WriteFile(Game() / kItem, ItemVersion(++version_ + 1));
    std::vector<std::string> args = {"build", Game().string(), Site().string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    std::string out, err;
    EXPECT_EQ(RunTool(args, &out, &err), c.code) << c.said;
    EXPECT_NE((out + err).find(c.said), std::string::npos) << out << err;
  }
  EXPECT_FALSE(fs::exists(Site() / "mu.update.deltas"));
}
