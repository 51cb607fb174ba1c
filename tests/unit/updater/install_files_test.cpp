#include <algorithm>

#include "crc32/crc32.h"
#include "platform/text.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

namespace {
const std::string kFailed01 = "01# Unable to complete the update!";
const std::string kFailed02 = "02# Unable to complete the update!";
}  // namespace

class InstallFilesTest : public UpdaterTest {
 protected:
  void Install(std::vector<std::string> entries) {
    Worker().FilesToGet = std::move(entries);
    OnWorker([&] { Worker().InstallFiles(); });
  }
  // The status texts shown, in order.
  std::vector<std::string> Statuses() const {
    std::vector<std::string> texts;
    for (const auto& call : view.CallsStartingWith("SetStatusText(")) texts.push_back(call.substr(15, call.size() - 17));
    return texts;
  }
  size_t RequestsFor(const std::string& path) const {
    const std::vector<std::string> paths = RequestedPaths();
    return static_cast<size_t>(std::count(paths.begin(), paths.end(), path));
  }
  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const auto& request : server.Requests()) paths.push_back(request.path);
    return paths;
  }
};

TEST_F(InstallFilesTest, InstallsFilesIntoNestedFolders) {
  WriteGameFile("main.exe", "old game");
  const std::string item(200000, 'i');
  Install({Publish("Data\\Local\\Item.bmd", item), Publish("main.exe", "new game"), Publish("Data\\Empty.bmd", "")});
  EXPECT_EQ(ReadGameFile("Data\\Local\\Item.bmd"), item);
  EXPECT_EQ(ReadGameFile("main.exe"), "new game");
  EXPECT_EQ(ReadGameFile("Data\\Empty.bmd"), "");
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Empty.bmd", "Data/Local/Item.bmd", "Launcher.exe", "main.exe"}));
  // Fetched ahead on several connections: requested in any order, installed in list order.
  std::vector<std::string> requested = RequestedPaths();
  std::sort(requested.begin(), requested.end());
  EXPECT_EQ(requested, (std::vector<std::string>{"/Data/Empty.bmd.rar", "/Data/Local/Item.bmd.rar", "/main.exe.rar"}));
  EXPECT_EQ(view.CallsStartingWith("SetTotalProgress"),
            (std::vector<std::string>{"SetTotalProgress(2)", "SetTotalProgressMax(2)", "SetTotalProgress(1)",
                                      "SetTotalProgress(2)", "SetTotalProgress(3)", "SetTotalProgress(0)"}));
  EXPECT_TRUE(view.State().detail_visible);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_EQ(view.State().file_bar.Position(), 0);
  EXPECT_FALSE(SelfUpdated);
}

// The hand-overs of one entry, in order; the tick count stands still, so no rate is shown.
TEST_F(InstallFilesTest, OneEntryHandsOverInOrder) {
  const std::string package = Bzip2("hello");
  const std::string size = std::to_string(package.size());
  server.Serve("/a.bmd.rar", package);
  StatusText = "Verification completed. Preparing file download...";
  Install({"a.bmd|" + Crc32Text(Crc32(0, "hello", 5)) + "|" + size});
  const std::string downloading = "SetDetailText(\"Downloading: a.bmd.rar - ";
  EXPECT_EQ(view.Calls(), (std::vector<std::string>{
                              "SetTotalProgress(0)", "SetTotalProgressMax(0)",
                              "SetStatusText(\"Verification completed. Preparing file download...\")",
                              "SetFileProgress(" + size + ")", "SetFileProgressMax(" + size + ")",
                              "SetFileProgress(" + size + ")", downloading + size + " B / " + size + " B\")",
                              "SetFileProgress(0)", downloading + "0 B / " + size + " B\")",
                              "SetStatusText(\"Verification completed. Preparing file download...\")",
                              "SetDetailText(\"\")", "SetStatusText(\"Extracting: a.bmd.rar\")",
                              "SetFileProgress(" + size + ")", "SetFileProgressMax(" + size + ")",
                              "SetFileProgress(" + size + ")", "SetFileProgress(0)",
                              "SetTotalProgress(1)", "SetTotalProgress(0)",
                              "SetDetailVisible(true)", "SetDetailText(\"Update completed!\")"}));
}

TEST_F(InstallFilesTest, NothingOutdatedChangesNothing) {
  Install({});
  EXPECT_TRUE(view.Calls().empty());
}

// Each faulty package fails its entry with 01#: the old file stays as it was, nothing of the
// attempt is left, and the next entry is still installed.
TEST_F(InstallFilesTest, FaultyPackagesLeaveTheOldFile) {
  const std::string fresh = std::string(300000, 'n') + "new content";
  const std::string good = Bzip2(fresh);
  const std::string checksum = Crc32Text(Crc32(0, fresh.data(), fresh.size()));
  struct Case {
    const char* what;
    std::string package;
  };
  const Case cases[] = {
      {"not a bzip2 stream", "Rar!\x1a\x07 not bzip2"},
      {"bytes after the end", good + "tail"},
      {"stream ending before its end mark", good.substr(0, good.size() - 6)},
      {"content that fails the checksum", Bzip2(fresh + "!")},
  };
  for (const Case& c : cases) {
    view.ClearCalls();
    WriteGameFile("Data\\a.bmd", "old content");
    server.Serve("/Data/a.bmd.rar", c.package);
    Install({"Data\\a.bmd|" + checksum + "|" + std::to_string(c.package.size()), Publish("b.bmd", c.what)});
    EXPECT_EQ(ReadGameFile("Data\\a.bmd"), "old content") << c.what;
    EXPECT_EQ(ReadGameFile("b.bmd"), c.what);
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/a.bmd", "Launcher.exe", "b.bmd"})) << c.what;
    // The 01# text shows at the next entry's first status hand-over.
    std::vector<std::string> statuses = Statuses();
    ASSERT_GE(statuses.size(), 4u);
    EXPECT_EQ(statuses[3], kFailed01) << c.what;
    EXPECT_EQ(view.State().detail_text, "Have a great game!!") << c.what;
  }
}

// A package that unpacks past the largest game file is stopped there (the cap is lowered here
// from 2 GiB), and nothing of it stays on disk.
TEST_F(InstallFilesTest, APackageThatUnpacksTooFarFails) {
  system.max_unpacked_size = 100000;
  WriteGameFile("a.bmd", "old content");
  const std::string bomb(100001, 'b');
  Install({Publish("a.bmd", bomb), Publish("b.bmd", std::string(100000, 'c'))});
  EXPECT_EQ(ReadGameFile("a.bmd"), "old content");
  EXPECT_EQ(ReadGameFile("b.bmd"), std::string(100000, 'c')) << "exactly the cap still installs";
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe", "a.bmd", "b.bmd"}));
  EXPECT_EQ(view.State().detail_text, "Have a great game!!");
}

TEST_F(InstallFilesTest, ChecksumsVerifyAsNumbers) {
  const std::string package = Bzip2("content");
  std::string checksum = "00" + Crc32Text(Crc32(0, "content", 7));
  for (char& c : checksum) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  server.Serve("/a.bmd.rar", package);
  Install({"a.bmd|" + checksum + "|" + std::to_string(package.size())});
  EXPECT_EQ(ReadGameFile("a.bmd"), "content");
  EXPECT_EQ(view.State().detail_text, "Update completed!");
}

// A failed download stops the run: the first entry is installed, the third, which may have
// been fetched ahead, is neither installed nor left behind.
TEST_F(InstallFilesTest, AFailedDownloadStopsTheRun) {
  // A transfer cut every time is asked for three times more before the entry fails.
  struct Case {
    const char* what;
    HttpFault fault;
    size_t requests;
  };
  const Case cases[] = {{"404", {.status = 404}, 1}, {"cut", {.cut_after = 10}, 4}, {"short", {.extra_length = 10}, 4}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(Game("Data"));
    view.ClearCalls();
    WriteGameFile("Data\\b.bmd", "old b");
    const std::vector<std::string> entries = {Publish("Data\\a.bmd", "new a"), Publish("Data\\b.bmd", "new b"),
                                              Publish("Data\\Later\\c.bmd", "new c")};
    server.SetFault("/Data/b.bmd.rar", c.fault);
    const size_t requests_before = RequestsFor("/Data/b.bmd.rar");
    Install(entries);
    EXPECT_EQ(ReadGameFile("Data\\a.bmd"), "new a") << c.what;
    EXPECT_EQ(ReadGameFile("Data\\b.bmd"), "old b") << c.what;
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/a.bmd", "Data/b.bmd", "Launcher.exe"})) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Game("Data\\Later"))) << c.what;
    EXPECT_EQ(RequestsFor("/Data/b.bmd.rar") - requests_before, c.requests) << c.what;
    EXPECT_EQ(view.State().detail_text, "Have a great game!!") << c.what;
    EXPECT_EQ(view.CallsStartingWith("SetTotalProgress").back(), "SetTotalProgress(0)");
    server.SetFault("/Data/b.bmd.rar", {});
  }
}

// Malformed entries and paths that could lead outside the game folder fail with 01# before
// anything is requested or written; the pass goes on with the next entry.
TEST_F(InstallFilesTest, EntriesThatCannotBeInstalledSafelyFail) {
  const std::string crc = Crc32Text(Crc32(0, "evil", 4));
  const std::string package = Bzip2("evil");
  const std::string size = std::to_string(package.size());
  for (const char* path : {"/../outside.bmd.rar", "/C:/outside.bmd.rar", "/CON.rar", "/a.bmd:s.rar"}) server.Serve(path, package);
  const std::vector<std::string> bad = {
      "only|two",
      "a.bmd|" + crc + "|2147483648",
      "a.bmd|" + crc + "|-1",
      "a.bmd|" + crc + "|12k",
      "a.bmd|not-hex|" + size,
      "..\\outside.bmd|" + crc + "|" + size,
      "C:\\outside.bmd|" + crc + "|" + size,
      "\\\\server\\share\\outside.bmd|" + crc + "|" + size,
      "a.bmd:s|" + crc + "|" + size,
      "CON|" + crc + "|" + size,
  };
  std::vector<std::string> entries = bad;
  entries.push_back(Publish("good.bmd", "good"));
  Install(entries);
  EXPECT_EQ(RequestedPaths(), std::vector<std::string>{"/good.bmd.rar"});
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe", "good.bmd"}));
  EXPECT_FALSE(std::filesystem::exists(Game("..\\outside.bmd")));
  EXPECT_EQ(view.CallsStartingWith("SetTotalProgress").size(), 2 + bad.size() + 1 + 1);
  EXPECT_EQ(view.State().detail_text, "Have a great game!!");
  EXPECT_EQ(Statuses().front(), kFailed01);
}

// A target held by a directory, and a package file that cannot be created: each entry fails
// alone and the next one is installed. A local failure while later packages are fetched ahead
// is tried once more alone, with the same steps shown.
TEST_F(InstallFilesTest, LocalFilesThatCannotBeWrittenFailTheirEntry) {
  WriteGameFile("Data\\x.bmd\\inside", "a directory where the file should be");
  WriteGameFile("Data\\y.bmd.rar\\inside", "a directory where the package should be");
  Install({Publish("Data\\x.bmd", "new x"), Publish("Data\\y.bmd", "new y"), Publish("z.bmd", "new z")});
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/x.bmd/inside", "Data/y.bmd.rar/inside", "Launcher.exe", "z.bmd"}));
  // Each failure shows at the next entry's first status hand-over.
  const std::string x = "Extracting: Data\\x.bmd.rar";
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"", "", x, "", "", x, kFailed01, kFailed01, kFailed01, kFailed01,
                                                  "Extracting: z.bmd.rar"}));
  EXPECT_EQ(RequestsFor("/Data/x.bmd.rar"), 2u);
  // Besides, y's package was asked for ahead of its turn, and given up when x was tried again.
  EXPECT_EQ(RequestsFor("/Data/y.bmd.rar"), 3u);
  EXPECT_EQ(view.State().detail_text, "Have a great game!!");
}

TEST_F(InstallFilesTest, FailureTextsInEveryLanguage) {
  struct Case {
    Language language;
    const char* failed01;
    const char* finished;
  };
  const Case cases[] = {
      {Language::Spn, "01# No se puede completar la actualización!", "¡¡Buen juego!!"},
      {Language::Por, "01# Não foi possível concluir o update!", "Bom jogo!!"},
  };
  for (const Case& c : cases) {
    SetCurrentLanguage(c.language);
    view.ClearCalls();
    Install({"bad", "missing.bmd|000000|5", "never.bmd|000000|5"});
    std::vector<std::string> statuses = Statuses();
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0], c.failed01);
    EXPECT_EQ(StatusText, c.finished);
  }
}

// The list's path, read from the code page, is asked for as percent-encoded UTF-8, the name a
// web server stores; the game file keeps the list's name.
TEST_F(InstallFilesTest, AccentedAndSpecialPathsAreAskedForAsEncodedUtf8) {
  const std::string accented = platform::FromAnsi("Data\\M\xFAsica\\a\xE7\xE3o #1+2.bmd");
  Install({Publish(accented, "som"), Publish("100% ok.txt", "ok")});
  EXPECT_EQ(ReadGameFile(accented), "som");
  EXPECT_EQ(ReadGameFile("100% ok.txt"), "ok");
  std::vector<std::string> requested = RequestedPaths();
  std::sort(requested.begin(), requested.end());
  EXPECT_EQ(requested,
            (std::vector<std::string>{"/100%25%20ok.txt.rar", "/Data/M%C3%BAsica/a%C3%A7%C3%A3o%20%231%2B2.bmd.rar"}));
  EXPECT_EQ(view.State().detail_text, "Update completed!");
}

// Folders made for an entry that then fails are removed again; folders that were there before,
// or that hold something, stay.
TEST_F(InstallFilesTest, AFailedEntryLeavesNoFolderOfItsOwn) {
  struct Case {
    const char* what;
    bool download_fails;
  };
  const Case cases[] = {{"download fails", true}, {"package is damaged", false}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(Game("Data"));
    std::filesystem::remove_all(Game("Novo"));
    WriteGameFile("Data\\kept.bmd", "kept");
    const std::string content = "new file";
    const std::string crc = Crc32Text(Crc32(0, content.data(), content.size()));
    const std::string package = c.download_fails ? "" : "not bzip2";
    if (!c.download_fails) {
      server.Serve(PackagePath("Novo\\Pasta\\x.bmd"), package);
      server.Serve(PackagePath("Data\\Sub\\Deep\\y.bmd"), package);
    }
    const std::string size = std::to_string(package.size());
    Install({"Novo\\Pasta\\x.bmd|" + crc + "|" + size, "Data\\Sub\\Deep\\y.bmd|" + crc + "|" + size});
    EXPECT_FALSE(std::filesystem::exists(Game("Novo"))) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Game("Data\\Sub"))) << c.what;
    EXPECT_EQ(ReadGameFile("Data\\kept.bmd"), "kept") << c.what;
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/kept.bmd", "Launcher.exe"})) << c.what;
  }
}
