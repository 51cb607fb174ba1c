// `update-site verify`: every kind of damage a served site can have is reported.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "site_fixture.h"
#include "update_site/server/dev_server.h"
#include "update_site/verifier/site_verifier.h"

namespace fs = std::filesystem;

namespace {

void BuildSmallSite(const TempDir& dir) {
  MakeSmallGame(dir / "game");
  ASSERT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string()}), 0);
}

void ReplaceInList(const TempDir& dir, const std::string& from, const std::string& to) {
  std::string list = ReadFile(dir / "site/mu.update");
  size_t at = list.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  WriteFile(dir / "site/mu.update", list.replace(at, from.size(), to));
}

// The list line of a path: "path|CRC|size".
std::string ListLineOf(const TempDir& dir, const std::string& path) {
  std::string list = ReadFile(dir / "site/mu.update");
  size_t start = list.find(path + "|");
  return list.substr(start, list.find('\r', start) - start);
}

}  // namespace

TEST(Verify, AFreshSiteHasNoProblems) {
  TempDir dir;
  BuildSmallSite(dir);
  std::string out;
  EXPECT_EQ(RunTool({"verify", (dir / "site").string()}, &out), 0) << out;
  EXPECT_NE(out.find(std::to_string(SmallGameFiles().size()) + " entries"), std::string::npos) << out;
  EXPECT_NE(out.find("no problems"), std::string::npos) << out;
}

TEST(Verify, ReportsEachKindOfDamage) {
  struct Case {
    const char* what;
    std::function<void(const TempDir&)> damage;
    std::string path;
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {"corrupted", [](const TempDir& d) {
         std::string package = ReadFile(d / "site/Data/Local/Item.bmd.rar");
         package[package.size() / 2] ^= 0x55;
         WriteFile(d / "site/Data/Local/Item.bmd.rar", package);
       }, "Data\\Local\\Item.bmd", {"damaged bzip2 data"}},
      {"truncated", [](const TempDir& d) {
         std::string package = ReadFile(d / "site/main.exe.rar");
         WriteFile(d / "site/main.exe.rar", package.substr(0, package.size() / 2));
       }, "main.exe", {"truncated", "the list says"}},
      {"trailing bytes", [](const TempDir& d) {
         WriteFile(d / "site/main.exe.rar", ReadFile(d / "site/main.exe.rar") + "junk");
       }, "main.exe", {"bytes follow the end", "the list says"}},
      {"not bzip2", [](const TempDir& d) { WriteFile(d / "site/main.exe.rar", "<html>404</html>"); },
       "main.exe", {"not a bzip2 stream", "the list says"}},
      {"missing", [](const TempDir& d) { fs::remove(d / "site/Data/Music/theme.mp3.rar"); },
       "Data\\Music\\theme.mp3", {"missing"}},
      {"wrong size", [](const TempDir& d) {
         std::string line = ListLineOf(d, "main.exe");
         std::string size = line.substr(line.rfind('|') + 1);
         ReplaceInList(d, line, line.substr(0, line.rfind('|') + 1) + std::to_string(std::stoul(size) + 1));
       }, "main.exe", {"the list says"}},
      {"wrong checksum", [](const TempDir& d) {
         std::string line = ListLineOf(d, "main.exe");
         size_t bar = line.find('|');
         ReplaceInList(d, line, "main.exe|ABCDEF" + line.substr(line.find('|', bar + 1)));
       }, "main.exe", {"content's CRC-32 is"}},
      {"checksum in lower case", [](const TempDir& d) {
         std::string line = ListLineOf(d, "main.exe");
         std::string lower = line;
         for (char& c : lower) c = static_cast<char>(std::tolower(c));
         ReplaceInList(d, line, "main.exe" + lower.substr(8));
       }, "main.exe", {"the launcher writes"}},
      {"unsafe path", [](const TempDir& d) { ReplaceInList(d, "main.exe|", "..\\main.exe|"); },
       "..\\main.exe", {"the launcher refuses this path"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    BuildSmallSite(dir);
    c.damage(dir);
    VerifyReport report = VerifySite(*OpenSite((dir / "site").string()), 2);
    std::string problems;
    for (const SiteProblem& problem : report.problems) problems += problem.path + ": " + problem.problem + "\n";
    EXPECT_EQ(report.problems.size(), c.problems.size()) << c.what << "\n" << problems;
    for (const std::string& expected : c.problems) {
      EXPECT_NE(problems.find(c.path + ": "), std::string::npos) << c.what << "\n" << problems;
      EXPECT_NE(problems.find(expected), std::string::npos) << c.what << "\n" << problems;
    }
  }
}

TEST(Verify, PrintsATableAndFailsWhenThereAreProblems) {
  TempDir dir;
  BuildSmallSite(dir);
  fs::remove(dir / "site/main.exe.rar");
  WriteFile(dir / "site/Data/empty.txt.rar", "");
  std::string out;
  EXPECT_EQ(RunTool({"verify", (dir / "site").string()}, &out), 1);
  EXPECT_NE(out.find("path"), std::string::npos) << out;
  EXPECT_NE(out.find("main.exe        package main.exe.rar: missing"), std::string::npos) << out;
  EXPECT_NE(out.find("Data\\empty.txt  truncated"), std::string::npos) << out;
  EXPECT_NE(out.find(": 3 problem(s)"), std::string::npos) << out;
}

TEST(Verify, AListWithoutEntriesIsAProblem) {
  TempDir dir;
  WriteFile(dir / "site/mu.update", "[download]\r\nmain.exe|000000|14\r\n[/download]\r\n");
  std::string out;
  EXPECT_EQ(RunTool({"verify", (dir / "site").string()}, &out), 1);
  EXPECT_NE(out.find("no \"[Download]\" section"), std::string::npos) << out;
  EXPECT_EQ(RunTool({"verify", (dir / "nothing").string()}, &out), 1);
  EXPECT_NE(out.find("mu.update  missing"), std::string::npos) << out;
}

TEST(Verify, ReadsASiteOverHttp) {
  TempDir dir;
  BuildSmallSite(dir);
  ServeOptions options;
  options.site_dir = (dir / "site").string();
  options.port = 0;
  options.lifetime_seconds = 60;
  DevServer server(options);
  std::jthread serving([&] { server.Run(nullptr); });
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";

  VerifyReport clean = VerifySite(*OpenSite(url), 2);
  EXPECT_TRUE(clean.problems.empty());
  EXPECT_EQ(clean.entries, SmallGameFiles().size());

  fs::remove(dir / "site/Data/Local/Item.bmd.rar");
  VerifyReport missing = VerifySite(*OpenSite(url), 2);
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_NE(missing.problems[0].problem.find("HTTP 404"), std::string::npos) << missing.problems[0].problem;
  server.Stop();
}
