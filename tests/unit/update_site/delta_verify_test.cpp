// `update-site verify` on a site with deltas: every delta the index names is checked as a zstd
// frame of the right size and digest, and applied wherever an earlier build gives the content
// it starts from; a signed site vouches for the index and the deltas in the statement's
// format of today, which launchers already in players' hands accept.
#include <gtest/gtest.h>

#include <functional>

#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "delta/delta_index.h"
#include "signing/signed_statement.h"
#include "site_fixture.h"
#include "update_site/site_statement.h"
#include "update_site/verifier/site_verifier.h"

namespace fs = std::filesystem;

namespace {

std::string ItemVersion(int version) {
  std::string content = SampleBytes(200000, 3, true);
  for (int v = 2; v <= version; ++v) {
    content.insert(static_cast<size_t>(v) * 20000, "inserted in version " + std::to_string(v));
  }
  return content;
}

// Three releases of one data table into one site, with a copy of the site after each of the
// first two: "v1", "v2" and "site".
class DeltaSite : public ::testing::Test {
 public:  // for the damage of a table of cases
  void SetUp() override {
    for (int version = 1; version <= 3; ++version) {
      WriteFile(dir_ / "game/Data/Item.bmd", ItemVersion(version));
      WriteFile(dir_ / "game/readme.txt", "read me");
      SetAge(dir_ / "game/Data/Item.bmd", 3600 - 10 * version);
      ASSERT_EQ(RunTool(BuildArgs()), 0);
      if (version < 3) fs::copy(dir_ / "site", dir_ / ("v" + std::to_string(version)), fs::copy_options::recursive);
    }
    ASSERT_EQ(Index().size(), 2u);
  }

  virtual std::vector<std::string> BuildArgs() const {
    return {"build", (dir_ / "game").string(), (dir_ / "site").string()};
  }

  std::vector<DeltaEntry> Index() const { return ReadDeltaIndex(ReadFile(dir_ / "site/mu.update.deltas")).value(); }
  void WriteIndex(const std::vector<DeltaEntry>& index) const {
    WriteFile(dir_ / "site/mu.update.deltas", WriteDeltaIndex(index));
  }
  // The delta from the first version, and the one from the second.
  DeltaEntry First() const { return Index()[Index()[0].from_crc == Crc(ItemVersion(1)) ? 0 : 1]; }
  DeltaEntry Second() const { return Index()[Index()[0].from_crc == Crc(ItemVersion(1)) ? 1 : 0]; }
  fs::path FileOf(const DeltaEntry& delta) const { return dir_ / "site" / delta.location; }
  static uint32_t Crc(const std::string& content) { return Crc32(0, content.data(), content.size()); }

  VerifyReport Verify(const std::vector<std::string>& previous, const StatementOptions& statement = {}) const {
    std::vector<std::unique_ptr<SiteSource>> sources;
    std::vector<EarlierSite> earlier;
    for (const std::string& name : previous) {
      sources.push_back(OpenSite((dir_ / name).string()));
      earlier.push_back({name, sources.back().get()});
    }
    return VerifySite(*OpenSite((dir_ / "site").string()), 2, statement, earlier);
  }

  static std::string Problems(const VerifyReport& report) {
    std::string text;
    for (const SiteProblem& problem : report.problems) text += problem.path + ": " + problem.problem + "\n";
    return text;
  }

  TempDir dir_;
};

}  // namespace

TEST_F(DeltaSite, AppliesEveryDeltaWhoseStartingContentAnEarlierBuildGives) {
  struct Case {
    std::vector<std::string> previous;
    size_t applied;
    std::string note;  // a part of one; empty: no note about deltas
  };
  const Case cases[] = {
      {{}, 0, "2 of 2 deltas were checked without being applied"},
      {{"v2"}, 1, "1 of 2 deltas were checked without being applied"},
      {{"v1"}, 2, ""},  // the first delta gives the content the second starts from
      {{"v2", "v1"}, 2, ""},
  };
  for (const Case& c : cases) {
    VerifyReport report = Verify(c.previous);
    EXPECT_EQ(Problems(report), "");
    EXPECT_EQ(report.deltas, 2u);
    EXPECT_EQ(report.delta_bytes, First().size + Second().size);
    EXPECT_EQ(report.deltas_applied, c.applied) << c.previous.size();
    std::string notes;
    for (const std::string& note : report.notes) notes += note + "\n";
    if (c.note.empty()) {
      EXPECT_EQ(notes.find("deltas were checked"), std::string::npos) << notes;
    } else {
      EXPECT_NE(notes.find(c.note), std::string::npos) << notes;
    }
  }
  std::string out;
  EXPECT_EQ(RunTool({"verify", (dir_ / "site").string(), "--previous", (dir_ / "v1").string()}, &out), 0);
  EXPECT_NE(out.find("2 entries, "), std::string::npos) << out;
  EXPECT_NE(out.find(", 2 deltas ("), std::string::npos) << out;
  EXPECT_NE(out.find(", 2 applied) checked: no problems"), std::string::npos) << out;
}

TEST_F(DeltaSite, ReportsEachKindOfDamage) {
  struct Case {
    const char* what;
    std::function<void(DeltaSite&)> damage;
    bool on_first;                      // the problem is the first delta's, else the second's
    std::vector<std::string> problems;  // a part of each, in order; with v1 at hand
    std::vector<std::string> without_previous;
  };
  auto flip = [](const fs::path& file, size_t at) {
    std::string bytes = ReadFile(file);
    bytes[at] ^= 0x55;
    WriteFile(file, bytes);
  };
  const Case cases[] = {
      {"damaged", [&](DeltaSite& s) { flip(s.FileOf(s.First()), s.First().size - 6); }, true,
       {"cannot be applied to the content with CRC-32"}, {}},
      {"cut short",
       [](DeltaSite& s) { WriteFile(s.FileOf(s.First()), ReadFile(s.FileOf(s.First())).substr(0, s.First().size - 10)); },
       true, {"bytes, the index says"}, {"bytes, the index says"}},
      {"missing", [](DeltaSite& s) { fs::remove(s.FileOf(s.Second())); }, false, {"missing"}, {"missing"}},
      {"not a zstd frame", [](DeltaSite& s) { WriteFile(s.FileOf(s.Second()), std::string(s.Second().size, 'x')); },
       false, {"not one whole zstd frame"}, {"not one whole zstd frame"}},
      {"another result size",
       [](DeltaSite& s) {
         std::vector<DeltaEntry> index = s.Index();
         for (DeltaEntry& delta : index) delta.result_size += delta.location == s.Second().location ? 1 : 0;
         s.WriteIndex(index);
       },
       false, {"the index says"}, {"the index says"}},
      {"the wrong CRC",
       [](DeltaSite& s) {
         // A well-formed delta from the second version to other content of the same size.
         std::string other = ItemVersion(3);
         other[1000] ^= 1;
         const std::string delta = MakeDelta(ItemVersion(2), other);
         WriteFile(s.FileOf(s.Second()), delta);
         std::vector<DeltaEntry> index = s.Index();
         for (DeltaEntry& entry : index) {
           if (entry.location == s.Second().location) entry.size = static_cast<uint32_t>(delta.size());
         }
         s.WriteIndex(index);
       },
       false, {"it gives CRC-32"}, {}},
      {"a file that is not listed",
       [](DeltaSite& s) {
         std::vector<DeltaEntry> index = s.Index();
         for (DeltaEntry& entry : index) {
           if (entry.location == s.First().location) entry.path = "Data\\Other.bmd";
         }
         s.WriteIndex(index);
       },
       true, {"its file \"Data\\Other.bmd\" is not in the list"}, {"is not in the list"}},
      {"a chain that leads nowhere",
       [](DeltaSite& s) {
         std::vector<DeltaEntry> index = s.Index();
         index.erase(index[0].location == s.Second().location ? index.begin() : index.begin() + 1);
         s.WriteIndex(index);
       },
       true, {"no chain through it leads to the listed content"}, {"no chain through it leads"}},
  };
  for (const Case& c : cases) {
    DeltaSite& site = *this;
    const std::string location = (c.on_first ? First() : Second()).location;
    const std::string index_before = ReadFile(dir_ / "site/mu.update.deltas");
    const std::map<std::string, std::string> before = FolderContent(dir_ / "site/deltas");
    c.damage(site);
    for (bool with_previous : {true, false}) {
      VerifyReport report = Verify(with_previous ? std::vector<std::string>{"v1"} : std::vector<std::string>{});
      const std::vector<std::string>& expected = with_previous ? c.problems : c.without_previous;
      ASSERT_EQ(report.problems.size(), expected.size()) << c.what << with_previous << "\n" << Problems(report);
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(report.problems[i].path, location) << c.what;
        EXPECT_NE(report.problems[i].problem.find(expected[i]), std::string::npos) << c.what << "\n" << Problems(report);
      }
    }
    WriteFile(dir_ / "site/mu.update.deltas", index_before);
    fs::remove_all(dir_ / "site/deltas");
    for (const auto& [path, content] : before) WriteFile(dir_ / "site/deltas" / path, content);
  }
  std::string out;
  WriteFile(dir_ / "site/mu.update.deltas", "launcher-deltas 2\n");
  EXPECT_EQ(RunTool({"verify", (dir_ / "site").string()}, &out), 1);
  EXPECT_NE(out.find("mu.update.deltas  not a well-formed index of deltas"), std::string::npos) << out;
}

namespace {

class SignedDeltaSite : public DeltaSite {
 protected:
  void SetUp() override {
    std::string out;
    ASSERT_EQ(RunTool({"keygen", (keys_ / "site.key").string()}, &out), 0);
    key_ = ParsePublicKey(out.substr(0, out.find('\n'))).value();
    DeltaSite::SetUp();
  }
  std::vector<std::string> BuildArgs() const override {
    std::vector<std::string> args = DeltaSite::BuildArgs();
    args.insert(args.end(), {"--signing-key", (keys_ / "site.key").string()});
    return args;
  }

  TempDir keys_;
  PublicKey key_;
};

}  // namespace

// Today's launchers read the statement with ReadStatement, take a list whose digest it gives and
// look up each listed path's package; a line of a kind they do not know would make them refuse
// the whole site, while package lines for paths the list does not name are accepted and unused.
TEST_F(SignedDeltaSite, TheStatementVouchesForTheIndexAndTheDeltasInTodaysFormat) {
  const std::string bytes = ReadFile(dir_ / "site/mu.update.sig");
  size_t lines = 0;
  for (size_t start = 0, end; start < bytes.size(); start = end + 1, ++lines) {
    end = bytes.find('\n', start);
    const std::string line = bytes.substr(start, end - start);
    const std::string kind = line.substr(0, line.find(' '));
    const bool known = (lines == 0 && line == "launcher-statement 1") ||
                       (lines > 0 && (kind == "version" || kind == "expires" || kind == "list" || kind == "package" ||
                                      kind == "signature"));
    EXPECT_TRUE(known) << line;
  }
  StatementCheck check = ReadStatement(bytes, {key_});
  ASSERT_EQ(check.fault, StatementFault::None) << check.reason;
  EXPECT_EQ(CheckStatementFor(*check.statement, Sha256Of(ReadFile(dir_ / "site/mu.update")), UnixTimeNow(), 3), std::nullopt);
  std::map<std::string, PackageDigest> expected;
  auto add = [&](const std::string& name, const fs::path& file) {
    const std::string content = ReadFile(file);
    expected[name] = {Sha256Of(content), static_cast<uint32_t>(content.size())};
  };
  add("Data\\Item.bmd", dir_ / "site/Data/Item.bmd.rar");
  add("readme.txt", dir_ / "site/readme.txt.rar");
  add("mu.update.deltas", dir_ / "site/mu.update.deltas");
  for (const DeltaEntry& delta : Index()) add(delta.location, FileOf(delta));
  EXPECT_EQ(check.statement->packages, expected);
  EXPECT_EQ(check.statement->packages.size(), 5u);

  StatementOptions signed_by;
  signed_by.trusted = {key_};
  EXPECT_EQ(Problems(Verify({}, signed_by)), "");
}

TEST_F(SignedDeltaSite, VerifyFindsADeltaOrAnIndexTheStatementDoesNotVouchFor) {
  StatementOptions signed_by;
  signed_by.trusted = {key_};
  // Changed after signing, with a size the index agrees with: only the digest tells.
  std::string delta = ReadFile(FileOf(Second()));
  delta[delta.size() - 1] ^= 1;
  WriteFile(FileOf(Second()), delta);
  VerifyReport changed = Verify({}, signed_by);
  ASSERT_EQ(changed.problems.size(), 1u) << Problems(changed);
  EXPECT_EQ(changed.problems[0].path, Second().location);
  EXPECT_EQ(changed.problems[0].problem, "delta's SHA-256 is not the one the signed statement gives");

  // An index of the previous build put back: it and its delta are not the ones vouched for.
  const std::string second = Second().location;
  fs::copy_file(dir_ / "v2/mu.update.deltas", dir_ / "site/mu.update.deltas", fs::copy_options::overwrite_existing);
  VerifyReport rolled_back = Verify({}, signed_by);
  const std::string problems = Problems(rolled_back);
  const std::string size = std::to_string(fs::file_size(dir_ / "v2/mu.update.deltas"));
  EXPECT_NE(problems.find("mu.update.deltas: index is " + size + " bytes, the signed statement says"), std::string::npos)
      << problems;
  EXPECT_NE(problems.find("mu.update.sig: vouches for \"" + second + "\", which neither the list nor the index"),
            std::string::npos)
      << problems;
}
