// `update-site build`: the list and packages the launcher reads, determinism, incremental
// builds, exclusions and refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "crc32/crc32.h"
#include "site_fixture.h"
#include "update_list/list_entry.h"
#include "update_list/list_file.h"
#include "update_site/builder/build_progress.h"
#include "update_site/builder/site_builder.h"

namespace fs = std::filesystem;

namespace {

BuildReport Build(const fs::path& game, const fs::path& site, std::vector<std::string> excludes = {},
                  bool default_excludes = true) {
  BuildOptions options;
  options.game_dir = game.string();
  options.site_dir = site.string();
  options.excludes = std::move(excludes);
  options.default_excludes = default_excludes;
  options.jobs = 2;
  std::ostringstream progress;
  return BuildSite(options, progress, false);
}

// The list's paths in file order.
std::vector<std::string> ListedPaths(const fs::path& site) {
  std::vector<std::string> paths;
  for (const std::string& line : TListFile((site / "mu.update").string()).GetFSection("Download")) {
    paths.push_back(SplitEntry(line)->path);
  }
  return paths;
}

}  // namespace

TEST(Build, WritesTheListAndPackagesAsTheLauncherReadsThem) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  Build(dir / "game", dir / "site");

  const std::string list = ReadFile(dir / "site/mu.update");
  EXPECT_EQ(list.substr(0, 12), "[Download]\r\n");
  EXPECT_EQ(list.substr(list.size() - 13), "[/Download]\r\n");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), std::count(list.begin(), list.end(), '\r'));
  // The accented name is one byte in the list's code page.
  EXPECT_NE(list.find("Data\\Local\\Sp\xE9" "cial.txt|"), std::string::npos);

  // What the launcher's own reader, splitter and checks make of it.
  std::vector<std::string> lines = TListFile((dir / "site/mu.update").string()).GetFSection("Download");
  ASSERT_EQ(lines.size(), SmallGameFiles().size());
  std::vector<std::string> paths;
  for (const std::string& line : lines) {
    std::optional<ListEntry> entry = SplitEntry(line);
    ASSERT_TRUE(entry) << line;
    EXPECT_TRUE(IsSafeGamePath(entry->path)) << line;
    std::string source = entry->path == "Launcher.exe" ? "LAUNCHER.EXE" : entry->path;
    std::replace(source.begin(), source.end(), '\\', '/');
    ASSERT_TRUE(SmallGameFiles().count(source)) << line;
    // The check stage compares the text exactly.
    EXPECT_EQ(entry->checksum, Crc32Text(FileCRC32((dir / "game" / source).string()))) << line;
    std::string package_path = entry->path;
    std::replace(package_path.begin(), package_path.end(), '\\', '/');
    const std::string package = ReadFile(dir / "site" / (package_path + ".rar"));
    EXPECT_EQ(ParseEntrySize(entry->size), package.size()) << line;
    EXPECT_EQ(Unpack(package), SmallGameFiles().at(source)) << line;
    paths.push_back(entry->path);
  }
  EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end()));
  EXPECT_NE(std::find(paths.begin(), paths.end(), "Launcher.exe"), paths.end());
  EXPECT_NE(std::find(paths.begin(), paths.end(), "Data\\Launcher.exe"), paths.end());
  for (const std::string& excluded : SmallGameExcludedFiles()) {
    EXPECT_EQ(std::find(paths.begin(), paths.end(), excluded), paths.end()) << excluded;
  }
}

TEST(Build, TheSameFolderGivesByteIdenticalSites) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  Build(dir / "game", dir / "one");
  BuildOptions options;
  options.game_dir = (dir / "game").string();
  options.site_dir = (dir / "two").string();
  options.jobs = 1;
  std::ostringstream progress;
  BuildSite(options, progress, false);
  std::map<std::string, std::string> one = FolderContent(dir / "one"), two = FolderContent(dir / "two");
  one.erase(".update-site-cache");
  two.erase(".update-site-cache");
  EXPECT_EQ(one.size(), SmallGameFiles().size() + 1);
  EXPECT_TRUE(one == two);
}

TEST(Build, ASecondBuildCompressesOnlyWhatChanged) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  BuildReport first = Build(dir / "game", dir / "site");
  EXPECT_EQ(first.compressed, SmallGameFiles().size());

  BuildReport unchanged = Build(dir / "game", dir / "site");
  EXPECT_EQ(unchanged.compressed, 0u);
  EXPECT_EQ(unchanged.bytes_read, 0u) << "unchanged size and time: not even read";

  // A new time alone: read to compare the checksum, not compressed.
  SetAge(dir / "game/main.exe", 60);
  BuildReport touched = Build(dir / "game", dir / "site");
  EXPECT_EQ(touched.compressed, 0u);
  EXPECT_EQ(touched.bytes_read, SmallGameFiles().at("main.exe").size());

  // New content of the same size, a removed file whose folder becomes empty, a new file.
  const std::string new_item = SampleBytes(300000, 99, true);
  WriteFile(dir / "game/Data/Local/Item.bmd", new_item);
  SetAge(dir / "game/Data/Local/Item.bmd", 120);
  fs::remove(dir / "game/Data/Music/theme.mp3");
  WriteFile(dir / "game/Data/New/added.txt", "new");
  const std::string old_list = ReadFile(dir / "site/mu.update");
  BuildReport changed = Build(dir / "game", dir / "site");
  EXPECT_EQ(changed.compressed, 2u);
  EXPECT_EQ(changed.removed, 1u);
  EXPECT_EQ(Unpack(ReadFile(dir / "site/Data/Local/Item.bmd.rar")), new_item);
  EXPECT_FALSE(fs::exists(dir / "site/Data/Music")) << "the emptied folder is removed too";
  EXPECT_TRUE(fs::exists(dir / "site/Data/New/added.txt.rar"));
  EXPECT_NE(ReadFile(dir / "site/mu.update"), old_list);
  std::vector<std::string> paths = ListedPaths(dir / "site");
  EXPECT_EQ(std::count(paths.begin(), paths.end(), "Data\\Music\\theme.mp3"), 0);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), "Data\\New\\added.txt"), 1);
  for (const auto& entry : fs::recursive_directory_iterator(dir / "site")) {
    EXPECT_EQ(entry.path().string().find(".update-site-tmp"), std::string::npos) << entry.path();
  }
}

TEST(Build, APackageRemovedFromTheSiteIsWrittenAgain) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  Build(dir / "game", dir / "site");
  fs::remove(dir / "site/main.exe.rar");
  EXPECT_EQ(Build(dir / "game", dir / "site").compressed, 1u);
  EXPECT_EQ(Unpack(ReadFile(dir / "site/main.exe.rar")), SmallGameFiles().at("main.exe"));
}

TEST(Build, ExclusionsLeaveFilesOut) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  Build(dir / "game", dir / "site", {"data/music/", "*.TXT"});
  std::vector<std::string> paths = ListedPaths(dir / "site");
  EXPECT_EQ(paths, (std::vector<std::string>{"Data\\Launcher.exe", "Data\\Local\\Item.bmd", "Launcher.exe", "main.exe"}));

  Build(dir / "game", dir / "all", {}, false);
  EXPECT_EQ(ListedPaths(dir / "all").size(), SmallGameFiles().size() + SmallGameExcludedFiles().size());
}

TEST(Build, ASiteInsideTheGameFolderIsNotPublished) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  Build(dir / "game", dir / "game/site");
  Build(dir / "game", dir / "game/site");
  EXPECT_EQ(ListedPaths(dir / "game/site").size(), SmallGameFiles().size());
}

TEST(Build, RefusesFilesTheLauncherCannotTakeAndWritesNothing) {
  struct Case {
    const char* name;
    const char* reason;
  };
  const Case cases[] = {
      {"Data/con.bmd", "the launcher refuses this path"},
      {"Data/a|b.txt", "the launcher refuses this path"},
      {"Data/trailing.", "the launcher refuses this path"},
      {"Data/a:stream", "the launcher refuses this path"},
      {"Data/\xE6\x97\xA5\xE6\x9C\xAC.txt", "8-bit code page"},
      {"DATA/empty.txt", "differs only in letter case"},
      {"Data/ITEM.BMD", ""},  // not a twin: the other one is in Data/Local
  };
  for (const Case& c : cases) {
    TempDir dir;
    MakeSmallGame(dir / "game");
    Build(dir / "game", dir / "site");
    const std::map<std::string, std::string> before = FolderContent(dir / "site");
    WriteFile(dir / "game" / c.name, "x");
    std::string err;
    int code = RunTool({"build", (dir / "game").string(), (dir / "site").string()}, nullptr, &err);
    if (*c.reason == 0) {
      EXPECT_EQ(code, 0) << c.name << err;
      continue;
    }
    EXPECT_EQ(code, 1) << c.name;
    EXPECT_NE(err.find(std::string(c.name).substr(5)), std::string::npos) << err;
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
    EXPECT_NE(err.find("nothing was written"), std::string::npos) << err;
    EXPECT_TRUE(FolderContent(dir / "site") == before) << c.name;
  }
}

TEST(Build, RefusesFilesOf2GiBBecauseListSizesAre32Bit) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  // Sparse: no disk space and no time.
  WriteFile(dir / "game/Data/huge.bin", "");
  ASSERT_EQ(truncate((dir / "game/Data/huge.bin").c_str(), off_t{1} << 31), 0);
  std::string err;
  EXPECT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string()}, nullptr, &err), 1);
  EXPECT_NE(err.find("Data/huge.bin"), std::string::npos) << err;
  EXPECT_NE(err.find("2147483648 bytes"), std::string::npos) << err;
  EXPECT_NE(err.find("32-bit"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "site/mu.update"));
}

TEST(Build, ProgressLineShowsFilesBytesRateAndTimeLeft) {
  EXPECT_EQ(ProgressLine(1, 4, 1048576, 3145728, 1.0),
            "[########................] 1/4 files  1.0 MB / 3.0 MB  1.0 MB/s  0:02 left");
  EXPECT_EQ(ProgressLine(4, 4, 3145728, 3145728, 2.0),
            "[########################] 4/4 files  3.0 MB / 3.0 MB  1.5 MB/s");
}
