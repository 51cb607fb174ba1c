#include <fstream>
#include <iterator>

#include "crc32/crc32.h"
#include "platform/text.h"
#include "signing/signed_statement.h"
#include "updater/updater_state.h"
#include "updater_fixture.h"

namespace {
const std::string kRefused = "Update refused: the update server's signature is not valid.";
const std::string kFailed01 = "01# Unable to complete the update!";
}  // namespace

// A pass of a launcher that trusts a key: the list only with its signed statement, every
// package only with its signed digest.
class SignedPassTest : public UpdaterTest {
 protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    key_ = GenerateSecretKey();
    system.trusted_keys = {PublicKeyOf(key_)};
    now_ = 1'800'000'000;
    system.unix_time = [this] { return now_; };
  }

  // Serves the list of the files and a statement for it; change() may alter the statement first.
  void PublishSigned(const std::vector<std::pair<std::string, std::string>>& files,
                     const std::function<void(SignedStatement&)>& change = {}, const SecretKey* key = nullptr) {
    std::vector<std::string> lines;
    SignedStatement statement;
    statement.version = 5;
    statement.expires = now_ + 3600;
    for (const auto& [path, content] : files) {
      lines.push_back(Publish(path, content));
      const std::string package = Bzip2(content);
      statement.packages[path] = {Sha256Of(package), static_cast<uint32_t>(package.size())};
    }
    const std::string list = ListOf(lines);
    statement.list_sha256 = Sha256Of(list);
    if (change) change(statement);
    server.Serve("/mu.update", list);
    server.Serve("/mu.update.sig", WriteStatement(statement, key ? *key : key_));
  }

  void RunPass() {
    Worker().UpdatesUrl(server.BaseUrl());
    OnWorker([&] { Worker().Execute(); });
  }


  bool AnyPackageRequested() const {
    for (const auto& request : server.Requests()) {
      if (request.path.ends_with(".rar")) return true;
    }
    return false;
  }

  SecretKey key_;
  int64_t now_ = 0;
};

TEST_F(SignedPassTest, AVouchedForListInstallsAndItsVersionIsKept) {
  PublishSigned({{"Data\\a.bmd", "new a"}, {"b.bmd", "new b"}});
  RunPass();
  EXPECT_EQ(ReadGameFile("Data\\a.bmd"), "new a");
  EXPECT_EQ(ReadGameFile("b.bmd"), "new b");
  EXPECT_EQ(ReadGameFile("mu.update.version"), "5");
  EXPECT_TRUE(view.State().detail_visible);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_EQ(Log(), "");
}

// Whatever is wrong with the statement, nothing is fetched or installed, the player reads why
// nothing happened, the log says what failed, and the game can still be played.
TEST_F(SignedPassTest, AListThatFailsItsStatementInstallsNothing) {
  const SecretKey stranger = GenerateSecretKey();
  struct Case {
    const char* what;
    std::function<void(SignedStatement&)> change;
    const SecretKey* key;
    const char* accepted_before;  // the recorded version, or nullptr
    std::string logged;
  };
  const Case cases[] = {
      {"signed with another key", {}, &stranger, nullptr, "key"},
      {"expired", [&](SignedStatement& s) { s.expires = now_; }, nullptr, nullptr, "expired"},
      {"older than accepted", {}, nullptr, "6", "older than the accepted version"},
      {"another list's statement", [](SignedStatement& s) { s.list_sha256[0] ^= 1; }, nullptr, nullptr,
       "does not match the list"},
      {"no statement", {}, nullptr, nullptr, "no signed statement"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Game("log.txt"));
    std::filesystem::remove(Game("mu.update.version"));
    if (c.accepted_before) WriteGameFile("mu.update.version", c.accepted_before);
    const size_t requests_before = server.Requests().size();
    PublishSigned({{"a.bmd", "new a"}}, c.change, c.key);
    if (std::string(c.what) == "no statement") server.Serve("/mu.update.sig", "", 404);
    RunPass();
    EXPECT_FALSE(std::filesystem::exists(Game("a.bmd"))) << c.what;
    EXPECT_FALSE(AnyPackageRequested()) << c.what;
    EXPECT_GT(server.Requests().size(), requests_before) << c.what;
    EXPECT_TRUE(view.State().detail_visible) << c.what;
    EXPECT_EQ(view.State().detail_text, kRefused) << c.what;
    EXPECT_EQ(view.State().status_text, "Bom jogo!") << c.what;
    EXPECT_TRUE(view.State().play_visible) << c.what;
    EXPECT_NE(Log().find("Lista de atualização recusada: "), std::string::npos) << c.what;
    EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what << ": " << Log();
    EXPECT_EQ(ReadIfThere("mu.update.version"), c.accepted_before ? c.accepted_before : "") << c.what;
  }
}

// A package that is not the one the statement vouches for fails its entry with 01# and leaves
// the old file; the next entries still install.
TEST_F(SignedPassTest, APackageMustBeTheSignedOne) {
  struct Case {
    const char* what;
    std::function<void(SignedStatement&)> change;
    HttpFault fault;
  };
  const Case cases[] = {
      {"another digest", [](SignedStatement& s) { s.packages["a.bmd"].sha256[5] ^= 1; }, {}},
      {"not in the statement", [](SignedStatement& s) { s.packages.erase("a.bmd"); }, {}},
      {"longer than signed", [](SignedStatement& s) { s.packages["a.bmd"].size -= 3; }, {}},
      {"longer than signed, no length announced", [](SignedStatement& s) { s.packages["a.bmd"].size -= 3; },
       {.no_length = true}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Game("log.txt"));
    std::filesystem::remove(Game("b.bmd"));
    WriteGameFile("a.bmd", "old a");
    PublishSigned({{"a.bmd", "new a"}, {"b.bmd", "new b"}}, c.change);
    server.SetFault(PackagePath("a.bmd"), c.fault);
    RunPass();
    EXPECT_EQ(ReadGameFile("a.bmd"), "old a") << c.what;
    EXPECT_EQ(ReadGameFile("b.bmd"), "new b") << c.what;
    EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Launcher.exe", "a.bmd", "b.bmd", "log.txt", "mu.update.version"}))
        << c.what;
    EXPECT_EQ(view.State().detail_text, "Have a great game!!") << c.what;
    EXPECT_NE(Log().find("Pacote recusado: a.bmd.rar"), std::string::npos) << c.what;
    server.SetFault(PackagePath("a.bmd"), {});
  }
}

// Without keys the statement is neither asked for nor needed.
TEST_F(SignedPassTest, WithoutKeysTheStatementIsNotAskedFor) {
  system.trusted_keys.clear();
  server.Serve("/mu.update", ListOf({Publish("a.bmd", "new a")}));
  RunPass();
  EXPECT_EQ(ReadGameFile("a.bmd"), "new a");
  for (const auto& request : server.Requests()) EXPECT_NE(request.path, "/mu.update.sig");
}
