// Signed sites: `update-site keygen` makes a key that stays private, `build --signing-key`
// publishes a statement that vouches for exactly the list and packages it wrote, with a version
// that only grows, and `verify` finds every way a signed site can go wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "delta/delta_index.h"
#include "signing/signed_statement.h"
#include "site_fixture.h"
#include "update_list/list_entry.h"
#include "update_list/list_file.h"
#include "update_site/game_tree.h"
#include "update_site/site_manifest.h"
#include "update_site/site_statement.h"
#include "update_site/verifier/site_verifier.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kDay = 86400;

// Runs keygen and returns the public key it printed.
PublicKey MakeKey(const fs::path& file) {
  std::string out, err;
  EXPECT_EQ(RunTool({"keygen", file.string()}, &out, &err), 0) << err;
  std::optional<PublicKey> key = ParsePublicKey(out.substr(0, out.find('\n')));
  EXPECT_TRUE(key) << out;
  return key.value_or(PublicKey{});
}

int BuildSigned(const TempDir& dir, const fs::path& key_file, std::vector<std::string> more = {}, std::string* out = nullptr) {
  std::vector<std::string> args = {"build", (dir / "game").string(), (dir / "site").string(), "--jobs", "2",
                                   "--signing-key", key_file.string()};
  args.insert(args.end(), more.begin(), more.end());
  std::string err;
  int code = RunTool(args, out, &err);
  EXPECT_EQ(err, "");
  return code;
}

SignedStatement StatementOf(const TempDir& dir, const PublicKey& key) {
  StatementCheck check = ReadStatement(ReadFile(dir / "site/mu.update.sig"), {key});
  EXPECT_EQ(check.fault, StatementFault::None) << check.reason;
  return check.statement.value_or(SignedStatement{});
}

// What the statement must say about the site as it is: every listed path, as the launcher reads
// it, with its package's digest and size; and when the site has an index of deltas, the index
// and every delta it names, by location.
std::map<std::string, PackageDigest> PackagesOnDisk(const TempDir& dir) {
  std::map<std::string, PackageDigest> packages;
  auto add = [&](const std::string& name, const fs::path& file) {
    const std::string bytes = ReadFile(file);
    packages[name] = {Sha256Of(bytes), static_cast<uint32_t>(bytes.size())};
  };
  for (const std::string& line : TListFile((dir / "site/mu.update").string()).GetFSection("Download")) {
    const std::string path = SplitEntry(line)->path;
    add(path, dir / "site" / fs::path(PackagePathFor(path)));
  }
  if (!fs::exists(dir / "site/mu.update.deltas")) return packages;
  add("mu.update.deltas", dir / "site/mu.update.deltas");
  const std::vector<DeltaEntry> index = ReadDeltaIndex(ReadFile(dir / "site/mu.update.deltas")).value();
  for (const DeltaEntry& delta : index) add(delta.location, dir / "site" / delta.location);
  return packages;
}

// Rewrites the manifest in the form builds wrote before signing existed: no package digests.
void MakeManifestOlder(const TempDir& dir) {
  std::string text = ReadFile(dir / "site/.update-site-cache");
  std::string older = "update-site cache 1 bzip2-9\n";
  for (size_t start = text.find('\n') + 1, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    older += line.substr(0, line.rfind('\t')) + "\n";
  }
  WriteFile(dir / "site/.update-site-cache", older);
}

}  // namespace

TEST(Keygen, WritesAPrivateKeyFileAndPrintsOnlyThePublicKey) {
  TempDir dir;
  // A permissive umask must not make the secret readable by others.
  const mode_t old_umask = umask(0);
  std::string out, err;
  const int code = RunTool({"keygen", (dir / "site.key").string()}, &out, &err);
  umask(old_umask);
  ASSERT_EQ(code, 0) << err;

  struct stat info {};
  ASSERT_EQ(stat((dir / "site.key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string file = ReadFile(dir / "site.key");
  std::optional<SecretKey> secret = ParseSecretKeyFile(file);
  ASSERT_TRUE(secret);
  EXPECT_EQ(out, PublicKeyText(PublicKeyOf(*secret)) + "\n");
  // The file's first 64 digits are the secret seed; the rest is the public key.
  const std::string seed_digits = file.substr(file.find('\n') + 1, 64);
  for (const std::string& printed : {out, err}) {
    for (size_t at = 0; at < 64; at += 16) {
      EXPECT_EQ(printed.find(seed_digits.substr(at, 16)), std::string::npos) << printed;
    }
  }

  // A second key never takes the place of the first.
  EXPECT_EQ(RunTool({"keygen", (dir / "site.key").string()}, &out, &err), 1);
  EXPECT_NE(err.find("exists already"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(dir / "site.key"), file);
  EXPECT_EQ(RunTool({"keygen", (dir / "no/such/folder/site.key").string()}, &out, &err), 1);
  EXPECT_FALSE(fs::exists(dir / "no"));
  EXPECT_NE(MakeKey(dir / "other.key"), PublicKeyOf(*secret));
}

TEST(SignedBuild, TheStatementVouchesForTheListAndEveryPackage) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  const PublicKey key = MakeKey(dir / "site.key");
  const int64_t before = UnixTimeNow();
  std::string out;
  ASSERT_EQ(BuildSigned(dir, dir / "site.key", {}, &out), 0);
  const int64_t after = UnixTimeNow();
  EXPECT_NE(out.find("Signed mu.update.sig: version 1, key " + KeyId(key)), std::string::npos) << out;

  const SignedStatement statement = StatementOf(dir, key);
  EXPECT_EQ(statement.version, 1u);
  EXPECT_GE(statement.expires, before + 28 * kDay);
  EXPECT_LE(statement.expires, after + 28 * kDay);
  EXPECT_EQ(statement.list_sha256, Sha256Of(ReadFile(dir / "site/mu.update")));
  EXPECT_EQ(statement.packages, PackagesOnDisk(dir));
  EXPECT_EQ(statement.packages.size(), SmallGameFiles().size());
  EXPECT_TRUE(statement.packages.count("Data\\Local\\Sp\xC3\xA9" "cial.txt")) << "the list's path, in UTF-8";
  EXPECT_EQ(CheckStatementFor(statement, Sha256Of(ReadFile(dir / "site/mu.update")), after, 1), std::nullopt);
}

TEST(SignedBuild, BuildingAgainRefreshesTheStatementWithoutCompressing) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  const PublicKey key = MakeKey(dir / "site.key");
  ASSERT_EQ(BuildSigned(dir, dir / "site.key"), 0);
  std::map<std::string, std::string> packages = FolderContent(dir / "site");

  std::string out;
  ASSERT_EQ(BuildSigned(dir, dir / "site.key", {"--expires-in", "3"}, &out), 0);
  EXPECT_NE(out.find("0 compressed"), std::string::npos) << out;
  const SignedStatement refreshed = StatementOf(dir, key);
  EXPECT_EQ(refreshed.version, 2u);
  EXPECT_LE(refreshed.expires, UnixTimeNow() + 3 * kDay);
  EXPECT_GT(refreshed.expires, UnixTimeNow() + 3 * kDay - 60);
  EXPECT_EQ(refreshed.packages, PackagesOnDisk(dir));
  std::map<std::string, std::string> now = FolderContent(dir / "site");
  for (const char* changing : {"mu.update.sig", ".update-site-cache"}) {
    packages.erase(changing);
    now.erase(changing);
  }
  EXPECT_TRUE(packages == now) << "the packages and the list stay as they were";

  // A changed file: its new package is in the next statement.
  WriteFile(dir / "game/main.exe", "new main");
  SetAge(dir / "game/main.exe", 60);
  ASSERT_EQ(BuildSigned(dir, dir / "site.key"), 0);
  const SignedStatement changed = StatementOf(dir, key);
  EXPECT_EQ(changed.version, 3u);
  EXPECT_EQ(changed.packages, PackagesOnDisk(dir));
  EXPECT_NE(changed.packages.at("main.exe"), refreshed.packages.at("main.exe"));
}

TEST(SignedBuild, AManifestWithoutDigestsHasItsPackagesHashedNotCompressed) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  const PublicKey key = MakeKey(dir / "site.key");
  ASSERT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string()}), 0);
  MakeManifestOlder(dir);
  // One file with a new time: its checksum is compared, and its package kept and hashed too.
  SetAge(dir / "game/main.exe", 60);
  std::string out;
  ASSERT_EQ(BuildSigned(dir, dir / "site.key", {}, &out), 0);
  EXPECT_NE(out.find("0 compressed"), std::string::npos) << out;
  EXPECT_EQ(StatementOf(dir, key).packages, PackagesOnDisk(dir));
  EXPECT_EQ(ParseManifest(ReadFile(dir / "site/.update-site-cache")).value().at("main.exe").package_sha256,
            PackagesOnDisk(dir).at("main.exe").sha256);
}

TEST(SignedBuild, TheVersionGoesBeyondAnyEarlierStatement) {
  struct Case {
    const char* what;
    std::function<std::string(const SecretKey& other)> earlier;
    uint64_t version;
  };
  SignedStatement old_statement;
  old_statement.version = 41;
  old_statement.expires = 1;
  const Case cases[] = {
      {"signed with a key no longer used", [&](const SecretKey& other) { return WriteStatement(old_statement, other); }, 42},
      {"damaged after its version line",
       [&](const SecretKey& other) { return WriteStatement(old_statement, other).substr(0, 40); }, 42},
      {"not a statement", [](const SecretKey&) { return std::string("<html>not found</html>"); }, 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    MakeSmallGame(dir / "game");
    const PublicKey key = MakeKey(dir / "site.key");
    WriteFile(dir / "site/mu.update.sig", c.earlier(GenerateSecretKey()));
    ASSERT_EQ(BuildSigned(dir, dir / "site.key"), 0) << c.what;
    EXPECT_EQ(StatementOf(dir, key).version, c.version) << c.what;
  }
}

TEST(SignedBuild, AnUnsignedBuildRemovesTheStatementAndSaysSo) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  MakeKey(dir / "site.key");
  ASSERT_EQ(BuildSigned(dir, dir / "site.key"), 0);
  WriteFile(dir / "game/Data/new.txt", "new");
  std::string out;
  ASSERT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string()}, &out), 0);
  EXPECT_FALSE(fs::exists(dir / "site/mu.update.sig"));
  EXPECT_NE(out.find("Removed mu.update.sig"), std::string::npos) << out;
  ASSERT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string()}, &out), 0);
  EXPECT_EQ(out.find("mu.update.sig"), std::string::npos) << out;
}

TEST(SignedBuild, ABadKeyFileStopsTheBuildBeforeAnythingIsWritten) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  WriteFile(dir / "public.txt", "ed25519:" + std::string(64, 'a') + "\n");
  for (const fs::path& key_file : {dir / "missing.key", dir / "public.txt"}) {
    std::string err;
    EXPECT_EQ(RunTool({"build", (dir / "game").string(), (dir / "site").string(), "--signing-key", key_file.string()},
                      nullptr, &err),
              1);
    EXPECT_NE(err.find(key_file.filename().string()), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "site"));
  }
}

TEST(VerifySigned, ReportsWhatFailsForEachKindOfSite) {
  struct Case {
    const char* what;
    std::function<void(const TempDir&)> change;
    bool give_site_key, give_other_key;
    int64_t days_from_now;
    std::vector<std::string> problems;  // a part of each, in any order
    std::string note;                   // a part of one
  };
  const std::string main_line_start = "main.exe|";
  const Case cases[] = {
      {"signed, checked", nullptr, true, false, 0, {}, "the signature was checked"},
      {"signed, either key", nullptr, true, true, 0, {}, "the signature was checked"},
      {"signed, no key given", nullptr, false, false, 0, {}, "the signature was NOT checked"},
      {"signed with a key not given", nullptr, false, true, 0, {"mu.update.sig: signed with key"}, ""},
      {"expires soon", nullptr, true, false, 25, {}, "expires in less than 7 days"},
      {"expired", nullptr, true, false, 29, {"mu.update.sig: expired at"}, ""},
      {"not signed, key given", [](const TempDir& d) { fs::remove(d / "site/mu.update.sig"); }, true, false, 0,
       {"mu.update.sig: missing"}, ""},
      {"not signed, no key", [](const TempDir& d) { fs::remove(d / "site/mu.update.sig"); }, false, false, 0, {},
       "Not signed"},
      {"list changed after signing",
       [](const TempDir& d) { WriteFile(d / "site/mu.update", ReadFile(d / "site/mu.update") + "\r\n"); }, true, false,
       0, {"mu.update.sig: does not match the list"}, ""},
      {"statement changed after signing",
       [](const TempDir& d) {
         std::string statement = ReadFile(d / "site/mu.update.sig");
         size_t version = statement.find("version 1\n");
         WriteFile(d / "site/mu.update.sig", statement.replace(version, 9, "version 9"));
       },
       true, false, 0, {"mu.update.sig: bad signature"}, ""},
      {"statement changed, no key to notice",
       [](const TempDir& d) {
         std::string statement = ReadFile(d / "site/mu.update.sig");
         size_t digest = statement.rfind("\npackage ", statement.find(" main.exe\n")) + 9;
         statement[digest] = statement[digest] == '0' ? '1' : '0';
         WriteFile(d / "site/mu.update.sig", statement);
       },
       false, false, 0, {"main.exe: package's SHA-256 is not the one the signed statement gives"}, ""},
      {"package replaced",
       [](const TempDir& d) {
         std::string package = ReadFile(d / "site/Data/Local/Item.bmd.rar");
         package[package.size() / 2] ^= 0x55;
         WriteFile(d / "site/Data/Local/Item.bmd.rar", package);
       },
       true, false, 0, {"Data\\Local\\Item.bmd: damaged bzip2", "Data\\Local\\Item.bmd: package's SHA-256 is not"}, ""},
      {"malformed statement", [](const TempDir& d) { WriteFile(d / "site/mu.update.sig", "signed, honestly\n"); },
       true, false, 0, {"mu.update.sig: malformed statement: line 1"}, ""},
  };
  TempDir keys;
  const PublicKey site_key = MakeKey(keys / "site.key");
  const PublicKey other_key = MakeKey(keys / "other.key");
  for (const Case& c : cases) {
    TempDir dir;
    MakeSmallGame(dir / "game");
    ASSERT_EQ(BuildSigned(dir, keys / "site.key"), 0);
    if (c.change) c.change(dir);
    StatementOptions options;
    if (c.give_other_key) options.trusted.push_back(other_key);
    if (c.give_site_key) options.trusted.push_back(site_key);
    options.now = UnixTimeNow() + c.days_from_now * kDay;
    VerifyReport report = VerifySite(*OpenSite((dir / "site").string()), 2, options);
    std::string problems, notes;
    for (const SiteProblem& problem : report.problems) problems += problem.path + ": " + problem.problem + "\n";
    for (const std::string& note : report.notes) notes += note + "\n";
    EXPECT_EQ(report.problems.size(), c.problems.size()) << c.what << "\n" << problems;
    for (const std::string& expected : c.problems) {
      EXPECT_NE(problems.find(expected), std::string::npos) << c.what << "\n" << problems;
    }
    EXPECT_NE(notes.find(c.note), std::string::npos) << c.what << "\n" << notes;
  }
}

TEST(VerifySigned, TheCommandFailsUnlessTheGivenKeySignedTheSite) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  const std::string site_key = PublicKeyText(MakeKey(dir / "site.key"));
  const std::string other_key = PublicKeyText(MakeKey(dir / "other.key"));
  ASSERT_EQ(BuildSigned(dir, dir / "site.key"), 0);
  const std::string site = (dir / "site").string();
  std::string out;
  EXPECT_EQ(RunTool({"verify", site, "--public-key", site_key}, &out), 0) << out;
  EXPECT_EQ(RunTool({"verify", site, "--public-key", other_key, "--public-key", site_key}, &out), 0) << out;
  EXPECT_EQ(RunTool({"verify", site, "--public-key", other_key}, &out), 1) << out;
  EXPECT_NE(out.find("mu.update.sig  signed with key " + site_key.substr(8, 16) + ", which is not trusted"),
            std::string::npos) << out;
  EXPECT_NE(out.find("1 problem(s)"), std::string::npos) << out;
}
