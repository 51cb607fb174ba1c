#include <algorithm>

#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "delta/delta_index.h"
#include "signing/signed_statement.h"
#include "transfer/package_address.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

namespace {

const std::string kFellBack = "por deltas falhou";

uint32_t CrcOf(std::string_view content) { return Crc32(0, content.data(), content.size()); }

// A version of a file: the one before with a few bytes changed and some inserted, so that a
// delta between them is a small part of the package.
std::string NextVersion(const std::string& before, uint32_t seed) {
  std::string next = before;
  for (size_t at = seed * 997 % 1000; at < next.size(); at += 20011) next[at] = static_cast<char>(next[at] ^ 0x5A);
  next.insert(next.size() / 2, Noise(3000, seed));
  return next;
}

}  // namespace

// Passes over a site that publishes deltas between the versions of its files beside the
// packages, with the index that names them.
class DeltaPassTest : public UpdaterTest {
 protected:
  // Serves the delta from one content to the other and names it in the index.
  DeltaEntry AddDelta(const std::string& path, const std::string& from, const std::string& to) {
    const std::string delta = MakeDelta(from, to, 3);
    DeltaEntry entry{.path = path,
                     .from_crc = CrcOf(from),
                     .to_crc = CrcOf(to),
                     .size = static_cast<uint32_t>(delta.size()),
                     .result_size = static_cast<uint32_t>(to.size()),
                     .location = DeltaLocation(path, CrcOf(from), CrcOf(to))};
    deltas_[entry.location] = delta;
    server.Serve(AddressOf(entry), delta);
    index_.push_back(entry);
    return entry;
  }
  static std::string AddressOf(const DeltaEntry& entry) { return "/" + EncodeAddressPath(entry.location); }

  void RunPass(const std::vector<std::string>& lines) {
    server.Serve("/mu.update", ListOf(lines));
    if (!index_.empty()) server.Serve("/mu.update.deltas", WriteDeltaIndex(index_));
    Worker().UpdatesUrl(server.BaseUrl());
    OnWorker([&] { Worker().Execute(); });
  }

  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const auto& request : server.Requests()) paths.push_back(request.path);
    return paths;
  }
  size_t Requests(const std::string& path) const {
    const std::vector<std::string> paths = RequestedPaths();
    return static_cast<size_t>(std::count(paths.begin(), paths.end(), path));
  }

  std::vector<DeltaEntry> index_;
  std::map<std::string, std::string> deltas_;  // by location
};

TEST_F(DeltaPassTest, AGameOneVersionBehindIsRebuiltFromOneDelta) {
  const std::string v1 = Noise(300000, 1), v2 = NextVersion(v1, 2);
  WriteGameFile("Data\\Item.bmd", v1);
  const DeltaEntry delta = AddDelta("Data\\Item.bmd", v1, v2);
  const std::string line = Publish("Data\\Item.bmd", v2);
  RunPass({line});
  EXPECT_EQ(ReadGameFile("Data\\Item.bmd"), v2);
  EXPECT_EQ(Requests(AddressOf(delta)), 1u);
  EXPECT_EQ(Requests(PackagePath("Data\\Item.bmd")), 0u);
  EXPECT_LT(delta.size * 10, Bzip2(v2).size()) << "far fewer bytes than the package";
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Item.bmd", "Launcher.exe"}));
}

// Two versions behind, the chain through the version between applies in order; a direct delta
// that costs more than the chain is left alone.
TEST_F(DeltaPassTest, AGameTwoVersionsBehindIsRebuiltThroughTheChain) {
  const std::string v1 = Noise(300000, 1), v2 = NextVersion(v1, 2), v3 = NextVersion(v2, 3);
  WriteGameFile("Data\\Item.bmd", v1);
  const DeltaEntry first = AddDelta("Data\\Item.bmd", v1, v2), second = AddDelta("Data\\Item.bmd", v2, v3);
  DeltaEntry costly = AddDelta("Data\\Item.bmd", v1, v3);
  index_.back().size = first.size + second.size + 1;
  costly.size = index_.back().size;
  server.Serve(AddressOf(costly), deltas_[costly.location] + std::string(costly.size - deltas_[costly.location].size(), 'x'));
  RunPass({Publish("Data\\Item.bmd", v3)});
  EXPECT_EQ(ReadGameFile("Data\\Item.bmd"), v3);
  EXPECT_EQ(Requests(AddressOf(first)), 1u);
  EXPECT_EQ(Requests(AddressOf(second)), 1u);
  EXPECT_EQ(Requests(AddressOf(costly)), 0u);
  EXPECT_EQ(Requests(PackagePath("Data\\Item.bmd")), 0u);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Item.bmd", "Launcher.exe"}));
}

// Whatever goes wrong on the way through deltas, the entry takes its package, installs exactly
// and leaves nothing of the deltas behind; the log says why, once.
TEST_F(DeltaPassTest, AnyFailureOnTheWayThroughDeltasFallsBackToThePackage) {
  const std::string v1 = Noise(200000, 1), v2 = NextVersion(v1, 2), v3 = NextVersion(v2, 3);
  struct Case {
    const char* what;
    std::function<void(const DeltaEntry& first, const DeltaEntry& second)> spoil;
    const char* logged;
  };
  const Case cases[] = {
      {"a missing delta", [&](const DeltaEntry&, const DeltaEntry& d) { server.Serve(AddressOf(d), "", 404); },
       "falha ao baixar"},
      {"a server error", [&](const DeltaEntry& d, const DeltaEntry&) { server.Serve(AddressOf(d), "oops", 500); },
       "falha ao baixar"},
      {"a damaged delta",
       [&](const DeltaEntry&, const DeltaEntry& d) {
         std::string damaged = deltas_[d.location];
         damaged[damaged.size() / 2] ^= 0x10;
         server.Serve(AddressOf(d), damaged);
       },
       ""},
      {"a delta cut short",
       [&](const DeltaEntry& d, const DeltaEntry&) {
         server.Serve(AddressOf(d), deltas_[d.location].substr(0, d.size - 7));
       },
       "tamanho"},
      {"a delta made from other content",
       [&](const DeltaEntry& d, const DeltaEntry&) {
         // Made from a near version of the file: it refers to bytes the game file does not hold.
         const std::string other = MakeDelta(NextVersion(v1, 7), v2, 3);
         index_.front().size = static_cast<uint32_t>(other.size());
         server.Serve(AddressOf(d), other);
       },
       ""},
      {"a chain whose result is not the listed file",
       [&](const DeltaEntry&, const DeltaEntry& d) {
         const std::string wrong = MakeDelta(v2, v3.substr(0, v3.size() - 1) + "!", 3);
         index_.back().size = static_cast<uint32_t>(wrong.size());
         server.Serve(AddressOf(d), wrong);
       },
       "o resultado não confere com o CRC da lista"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(Game("log.txt"));
    index_.clear();
    WriteGameFile("Data\\Item.bmd", v1);
    const DeltaEntry first = AddDelta("Data\\Item.bmd", v1, v2), second = AddDelta("Data\\Item.bmd", v2, v3);
    c.spoil(first, second);
    const size_t package_requests = Requests(PackagePath("Data\\Item.bmd"));
    RunPass({Publish("Data\\Item.bmd", v3), Publish("readme.txt", "v3")});
    EXPECT_EQ(ReadGameFile("Data\\Item.bmd"), v3);
    EXPECT_EQ(ReadGameFile("readme.txt"), "v3");
    EXPECT_EQ(Requests(PackagePath("Data\\Item.bmd")), package_requests + 1);
    EXPECT_EQ(view.State().detail_text, "Update completed!");
    const std::string log = Log();
    EXPECT_NE(log.find("Atualização de Data\\Item.bmd " + kFellBack), std::string::npos) << log;
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/Item.bmd", "Launcher.exe", "log.txt", "readme.txt"}));
  }
}

// The package alone: a file of no published version, a missing file, a chain that costs more
// than the package, a site without an index (silently) or with one that cannot be read.
TEST_F(DeltaPassTest, EntriesWithoutAUsefulChainTakeTheirPackage) {
  const std::string v1 = Noise(100000, 1), v2 = NextVersion(v1, 2);
  WriteGameFile("unknown.bmd", Noise(100000, 5));
  WriteGameFile("dear.bmd", v1);
  AddDelta("unknown.bmd", v1, v2);
  AddDelta("missing.bmd", v1, v2);
  const std::string line = Publish("dear.bmd", v2);
  const uint32_t package = static_cast<uint32_t>(Bzip2(v2).size());
  AddDelta("dear.bmd", v1, v2);
  index_.back().size = package;  // not fewer bytes than the package
  RunPass({Publish("unknown.bmd", v2), Publish("missing.bmd", v2), line});
  for (const char* path : {"unknown.bmd", "missing.bmd", "dear.bmd"}) {
    EXPECT_EQ(ReadGameFile(path), v2) << path;
    EXPECT_EQ(Requests(PackagePath(path)), 1u) << path;
  }
  for (const DeltaEntry& delta : index_) EXPECT_EQ(Requests(AddressOf(delta)), 0u) << delta.location;
  EXPECT_EQ(Requests("/mu.update.deltas"), 1u) << "read once per pass";
  EXPECT_EQ(Log(), "");

  struct Case {
    const char* what;
    std::string index;
    int status;
    const char* logged;
  };
  const Case indexes[] = {{"no index", "", 404, nullptr},
                          {"an unreadable index", "launcher-deltas 2\n", 200, "ilegível"},
                          {"an error page", "<html>", 503, "resposta 503"}};
  for (const Case& c : indexes) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(Game("log.txt"));
    WriteGameFile("dear.bmd", v1);
    index_.clear();
    server.Serve("/mu.update.deltas", c.index, c.status);
    RunPass({line});
    EXPECT_EQ(ReadGameFile("dear.bmd"), v2);
    EXPECT_EQ(Log().find("Índice de deltas ignorado") != std::string::npos, c.logged != nullptr) << Log();
    if (c.logged) {
      EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
    }
  }

  // Nothing outdated is at hand to start from: the index is not even asked for.
  const size_t index_requests = Requests("/mu.update.deltas");
  std::filesystem::remove(Game("dear.bmd"));
  RunPass({line});
  EXPECT_EQ(ReadGameFile("dear.bmd"), v2);
  EXPECT_EQ(Requests("/mu.update.deltas"), index_requests);
}

// Deltas are fetched ahead on several connections like packages, and installed in list order;
// a package wanted only if deltas fail is never fetched ahead.
TEST_F(DeltaPassTest, DeltasOfSeveralEntriesAreFetchedAhead) {
  server.SetAnswerDelay(std::chrono::milliseconds(60));
  std::vector<std::string> lines, news;
  for (uint32_t n = 0; n < 6; ++n) {
    const std::string path = "Data\\File" + std::to_string(n) + ".bmd";
    const std::string old = Noise(50000, n + 10), next = NextVersion(old, n + 20);
    WriteGameFile(path, old);
    AddDelta(path, old, next);
    lines.push_back(Publish(path, next));
    news.push_back(next);
  }
  RunPass(lines);
  for (uint32_t n = 0; n < 6; ++n) EXPECT_EQ(ReadGameFile("Data\\File" + std::to_string(n) + ".bmd"), news[n]);
  EXPECT_GT(server.MostRequestsAtOnce(), 1);
  for (const std::string& path : RequestedPaths()) EXPECT_FALSE(path.ends_with(".rar")) << path;
  const std::vector<std::string> totals = view.CallsStartingWith("SetTotalProgress(");
  EXPECT_EQ(totals.back(), "SetTotalProgress(0)");
}

// The running launcher's new version comes through a delta too, and takes its place as a
// package's would: moved aside, replaced, restarted at the end.
TEST_F(DeltaPassTest, TheLauncherItselfCanComeThroughADelta) {
  const std::string running = ReadGameFile("Launcher.exe") + Noise(100000, 3), next = NextVersion(running, 4);
  WriteGameFile("Launcher.exe", running);
  const DeltaEntry delta = AddDelta("Launcher.exe", running, next);
  RunPass({Publish("Launcher.exe", next)});
  EXPECT_EQ(ReadGameFile("Launcher.exe"), next);
  EXPECT_EQ(ReadGameFile("Launcher.exe.old"), running);
  EXPECT_EQ(Requests(AddressOf(delta)), 1u);
  EXPECT_EQ(Requests(PackagePath("Launcher.exe")), 0u);
  EXPECT_TRUE(SelfUpdated);
}

// On a signed site each delta must be the one the statement vouches for, as packages must;
// an index the statement does not vouch for is not even asked for.
TEST_F(DeltaPassTest, OnASignedSiteOnlyVouchedForDeltasApply) {
  const SecretKey key = GenerateSecretKey();
  system.trusted_keys = {PublicKeyOf(key)};
  system.unix_time = [] { return int64_t{1'800'000'000}; };
  const std::string v1 = Noise(200000, 1), v2 = NextVersion(v1, 2);
  auto publish_signed = [&](bool vouch_index, const std::string& served_delta) {
    index_.clear();
    const DeltaEntry delta = AddDelta("Item.bmd", v1, v2);
    const std::string line = Publish("Item.bmd", v2);
    SignedStatement statement{.version = 1, .expires = 1'900'000'000, .list_sha256 = {}, .packages = {}};
    const std::string package = Bzip2(v2);
    statement.packages["Item.bmd"] = {Sha256Of(package), static_cast<uint32_t>(package.size())};
    const std::string index = WriteDeltaIndex(index_);
    if (vouch_index) statement.packages[DeltaIndexFileName] = {Sha256Of(index), static_cast<uint32_t>(index.size())};
    statement.packages[delta.location] = {Sha256Of(deltas_[delta.location]), delta.size};
    const std::string list = ListOf({line});
    statement.list_sha256 = Sha256Of(list);
    server.Serve("/mu.update.sig", WriteStatement(statement, key));
    server.Serve(AddressOf(delta), served_delta);
    WriteGameFile("Item.bmd", v1);
    std::filesystem::remove(Game("log.txt"));
    server.Serve("/mu.update", list);
    server.Serve("/mu.update.deltas", index);
    Worker().UpdatesUrl(server.BaseUrl());
    OnWorker([&] { Worker().Execute(); });
    return delta;
  };
  const std::string genuine = MakeDelta(v1, v2, 3);

  DeltaEntry delta = publish_signed(true, genuine);
  EXPECT_EQ(ReadGameFile("Item.bmd"), v2);
  EXPECT_EQ(Requests(PackagePath("Item.bmd")), 0u);
  EXPECT_EQ(Log(), "");

  std::string forged = genuine;
  forged[forged.size() / 2] ^= 1;
  delta = publish_signed(true, forged);
  EXPECT_EQ(ReadGameFile("Item.bmd"), v2);
  EXPECT_EQ(Requests(PackagePath("Item.bmd")), 1u);
  EXPECT_NE(Log().find("não confere com a declaração assinada"), std::string::npos) << Log();

  const size_t index_requests = Requests("/mu.update.deltas");
  publish_signed(false, genuine);
  EXPECT_EQ(ReadGameFile("Item.bmd"), v2);
  EXPECT_EQ(Requests("/mu.update.deltas"), index_requests);
  EXPECT_EQ(Requests(PackagePath("Item.bmd")), 2u);
}
