#include "crc32/crc32.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

namespace {
std::string EntryFor(const std::string& path, std::string_view content, const std::string& size = "10") {
  return path + "|" + Crc32Text(Crc32(0, content.data(), content.size())) + "|" + size;
}
}  // namespace

class CheckFilesTest : public UpdaterTest {};

// Three entries of which the second is outdated: the total bar's sequence, FilesToGet, the
// final text and one 10 ms pause per entry.
TEST_F(CheckFilesTest, ThreeEntriesWithTheSecondOutdated) {
  WriteGameFile("a.bmd", "first");
  WriteGameFile("Data\\b.bmd", "second, old");
  WriteGameFile("c.bmd", "third");
  const std::vector<std::string> list = {EntryFor("a.bmd", "first"), EntryFor("Data\\b.bmd", "second, new", "70"),
                                         EntryFor("c.bmd", "third")};
  OnWorker([&] { Worker().CheckFiles(list); });
  EXPECT_EQ(view.CallsStartingWith("SetTotalProgress"),
            (std::vector<std::string>{"SetTotalProgress(2)", "SetTotalProgressMax(2)", "SetTotalProgress(0)",
                                      "SetTotalProgress(1)", "SetTotalProgress(2)", "SetTotalProgress(0)"}));
  EXPECT_EQ(Worker().FilesToGet, std::vector<std::string>{list[1]});
  EXPECT_EQ(Worker().FilesSize, 70u);
  EXPECT_EQ(view.CallsStartingWith("SetStatusText"),
            (std::vector<std::string>{"SetStatusText(\"Listing outdated files...\")",
                                      "SetStatusText(\"Checking outdated files...\")",
                                      "SetStatusText(\"Checking outdated files...\")",
                                      "SetStatusText(\"Checking outdated files...\")",
                                      "SetStatusText(\"Verification completed. Preparing file download...\")"}));
  EXPECT_EQ(pauses, 3);
  EXPECT_TRUE(view.CallsStartingWith("SetFileProgress").empty());
}

TEST_F(CheckFilesTest, NoUsableSectionChangesNothing) {
  for (const std::vector<std::string>& list : {std::vector<std::string>{"FAIL"}, std::vector<std::string>{}}) {
    OnWorker([&] { Worker().CheckFiles(list); });
  }
  EXPECT_TRUE(view.Calls().empty());
  EXPECT_TRUE(Worker().FilesToGet.empty());
}

TEST_F(CheckFilesTest, ChecksumTextIsComparedExactly) {
  WriteGameFile("empty.bmd", "");
  WriteGameFile("a.bmd", "content");
  const std::string crc = Crc32Text(Crc32(0, "content", 7));
  std::string lower = crc;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Case {
    std::string line;
    bool outdated;
  };
  const Case cases[] = {
      {"empty.bmd|000000|0", false},                  // an empty file's checksum is "000000"
      {"a.bmd|" + crc + "|999", false},               // the size field is not compared
      {"a.bmd|" + lower + "|7", true},                // lower case never matches
      {"a.bmd|00" + crc + "|7", true},                // nor extra leading zeros
      {"missing.bmd|" + crc + "|7", true},            // a missing file whatever its checksum
      {"Data|000000|0", true},                        // a directory is no file
  };
  std::filesystem::create_directories(Game("Data"));
  for (const Case& c : cases) {
    Worker().FilesToGet.clear();
    OnWorker([&] { Worker().CheckFiles({c.line}); });
    EXPECT_EQ(Worker().FilesToGet.size(), c.outdated ? 1u : 0u) << c.line;
    EXPECT_EQ(view.State().status_text, c.outdated ? "Verification completed. Preparing file download..."
                                                    : "Update completed! No outdated files found.");
  }
}

// Entries the installation must refuse are never read here; they count as outdated so that
// the installation reports them, and a malformed one adds nothing to FilesSize.
TEST_F(CheckFilesTest, EntriesThatCannotBeJudgedAreOutdated) {
  const std::vector<std::string> list = {"only|two", "..\\outside.bmd|000000|5", "a.bmd|000000|x"};
  OnWorker([&] { Worker().CheckFiles(list); });
  EXPECT_EQ(Worker().FilesToGet, list);
  EXPECT_EQ(Worker().FilesSize, 5u);
}

TEST_F(CheckFilesTest, LeftoversOfAnEndedPassAreRemoved) {
  WriteGameFile("Data\\a.bmd", "old");
  WriteGameFile("Data\\a.bmd.rar", "part of a package");
  WriteGameFile("Data\\a.bmd.new", "part of an unpacked file");
  WriteGameFile("Data\\unlisted.rar", "kept");
  OnWorker([&] { Worker().CheckFiles({EntryFor("Data\\a.bmd", "old")}); });
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/a.bmd", "Data/unlisted.rar", "Launcher.exe"}));
  EXPECT_TRUE(Worker().FilesToGet.empty());
}

TEST_F(CheckFilesTest, ATerminationRequestSkipsTheCheck) {
  Worker().Terminate();
  OnWorker([&] { Worker().CheckFiles({"a.bmd|000000|1"}); });
  EXPECT_TRUE(view.Calls().empty());
  EXPECT_TRUE(Worker().FilesToGet.empty());
}
