#include "remote/config_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "common/launcher_config.h"
#include "platform/errors.h"
#include "remote/activity_log.h"
#include "remote/config_document.h"
#include "remote_test_files.h"
#include "support/http_test_server.h"
#include "support/recording_view.h"
#include "test_pictures.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

class ConfigServiceTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    LauncherConfig = {};
    SlideList.clear();
  }
  std::vector<std::string> Load(const std::string& base) {
    std::vector<std::string> log;
    LoadLauncherConfig(base, view_, [&](const std::string& entry) { log.push_back(entry); }, kept_folder_);
    return log;
  }
  std::string RefusedBase() const {
    std::string refused = RefusedUrl();
    refused.pop_back();  // no trailing slash before the path
    return refused;
  }
  bool Kept() const { return std::filesystem::exists(kept_.Path() + "LastConfig.json"); }

  remote_test::TempFolder kept_;
  const std::string kept_folder_ = kept_.Path();
  HttpTestServer server_;
  RecordingView view_;
};

const char* const kGoodDocument =
    R"({"config":{"UpdateUrl":"http://u/up/","VPS_IP":"10.0.0.5","ConnectServerPort":44405,"Title":"Kept",)"
    R"("Phrase":"Olá"},"redes":{},"slides":["a.jpg"]})";

// "Usando a configuração de dd/mm/yyyy hh:nn:ss", the time of the document's taking.
bool IsUsingKeptEntry(const std::string& entry) {
  static const std::regex pattern("Usando a configuração de \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d");
  return std::regex_match(entry, pattern);
}

TEST_F(ConfigServiceTest, AFullConfigurationFillsEverythingAndShowsTheLogo) {
  const Picture logo = test_pictures::Pattern(50, 40);
  server_.Serve("/art/logo.png", Text(test_pictures::Png(logo)));
  server_.Serve("/api/return.php?token=abc&x=1",
                 R"({"config":{"Design":"2","UpdateUrl":"http://u/up/","VPS_IP":"10.0.0.5","ConnectServerPort":44405,)"
                 R"("Title":"Ação","Phrase":"Bem-vindo","LogoUrl":")" +
                     server_.Url("/art/logo.png") + R"("},"redes":{"Discord":"d"},"slides":["a.jpg","b.png"]})" + "\r\n");
  LauncherConfig.ClientToken = "abc&x=1";
  EXPECT_TRUE(Load(server_.Url("")).empty());
  EXPECT_EQ(LauncherConfig.UpdateUrl, "http://u/up/");
  EXPECT_EQ(LauncherConfig.VPS_IP, "10.0.0.5");
  EXPECT_EQ(LauncherConfig.ConnectServerPort, "44405");
  EXPECT_EQ(LauncherConfig.Title, "A\xC3\x83\xC2\xA7\xC3\x83\xC2\xA3o") << "raw UTF-8 arrives one character per byte";
  EXPECT_EQ(LauncherConfig.ClientToken, "abc&x=1");
  EXPECT_EQ(SlideList, (std::vector<std::string>{"a.jpg", "b.png"}));
  EXPECT_EQ(view_.State().server_logo, logo);
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, "/api/return.php?token=abc&x=1") << "the token goes out unescaped";
  EXPECT_EQ(requests[0].user_agent, "DelphiApp");
}

TEST_F(ConfigServiceTest, AnEmptyTokenIsSentAllTheSame) {
  server_.Serve("/api/return.php", "{}");
  Load(server_.Url(""));
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].path, "/api/return.php?token=");
}

TEST_F(ConfigServiceTest, AnUnreachableServiceLeavesEverythingEmpty) {
  EXPECT_EQ(Load(RefusedBase()), (std::vector<std::string>{"Retorno vazio da API.", "Falha de conexão (erro 7)"}));
  EXPECT_EQ(LauncherConfig.UpdateUrl, "");
  EXPECT_EQ(LauncherConfig.Title, "");
  EXPECT_TRUE(SlideList.empty());
  EXPECT_TRUE(view_.Calls().empty());
}

TEST_F(ConfigServiceTest, ErrorsThatReachTheCaller) {
  server_.Serve("/api/return.php", R"({"config":{"UpdateUrl":"http://u/","Title":{"a":1}},"slides":["s"]})");
  try {
    Load(server_.Url(""));
    FAIL() << "no conversion error";
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(), "Conversion from TJSONObject to string is not supported");
  }
  EXPECT_EQ(LauncherConfig.UpdateUrl, "http://u/");
  EXPECT_TRUE(SlideList.empty());

  remote_test::TempFolder folder;
  server_.Serve("/api/return.php", "{}");
  auto unwritable = [&](const std::string& entry) { WriteLogIn(folder.Path() + "missing/", entry); };
  EXPECT_THROW(LoadLauncherConfig(server_.Url(""), view_, unwritable, ""), platform::SystemError);
}

// After one good start, a start while the service is down or answers with no document reads
// the document it answered last, as if it had just come.
TEST_F(ConfigServiceTest, TheLastDocumentServesWhenTheServiceHasNone) {
  server_.Serve("/api/return.php", kGoodDocument);
  EXPECT_TRUE(Load(server_.Url("")).empty());
  ASSERT_TRUE(Kept());
  struct Case {
    const char* what;
    std::function<std::string()> base;
    std::vector<std::string> first_entries;
  };
  const Case cases[] = {
      {"service down", [&] { return RefusedBase(); }, {"Retorno vazio da API.", "Falha de conexão (erro 7)"}},
      {"error page", [&] {
         server_.Serve("/api/return.php", "<html>502 Bad Gateway</html>", 502);
         return server_.Url("");
       }, {"Erro ao processar JSON"}},
      {"empty answer", [&] {
         server_.Serve("/api/return.php", "");
         return server_.Url("");
       }, {"Retorno vazio da API."}},
  };
  for (const Case& c : cases) {
    Reset();
    std::vector<std::string> log = Load(c.base());
    ASSERT_EQ(log.size(), c.first_entries.size() + 1) << c.what;
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.end() - 1), c.first_entries) << c.what;
    EXPECT_TRUE(IsUsingKeptEntry(log.back())) << c.what << ": " << log.back();
    EXPECT_EQ(LauncherConfig.UpdateUrl, "http://u/up/") << c.what;
    EXPECT_EQ(LauncherConfig.VPS_IP, "10.0.0.5") << c.what;
    EXPECT_EQ(LauncherConfig.ConnectServerPort, "44405") << c.what;
    EXPECT_EQ(LauncherConfig.Title, "Kept") << c.what;
    EXPECT_EQ(LauncherConfig.Phrase, "Ol\xC3\x83\xC2\xA1") << c.what;
    EXPECT_EQ(SlideList, std::vector<std::string>{"a.jpg"}) << c.what;
  }
}

// A document is the service's answer even with members missing: the kept one never overrides
// it, and it replaces the kept one. One the launcher could not read is not kept.
TEST_F(ConfigServiceTest, OnlyDocumentsReadWholeAreKeptAndAnAnswerAlwaysWins) {
  server_.Serve("/api/return.php", kGoodDocument);
  Load(server_.Url(""));
  server_.Serve("/api/return.php", R"({"config":{"UpdateUrl":"http://u/","Title":{"a":1}}})");
  Reset();
  EXPECT_THROW(Load(server_.Url("")), ConversionError);
  server_.Serve("/api/return.php", "{}");
  Reset();
  Load(RefusedBase());
  EXPECT_EQ(LauncherConfig.Title, "Kept") << "the document with the conversion error was not kept";
  Reset();
  EXPECT_EQ(Load(server_.Url("")), (std::vector<std::string>{"Seção \"config\" não encontrada no JSON.",
                                                              "Seção \"redes\" não encontrada no JSON.",
                                                              "Nenhum slide encontrado ou estrutura inválida."}));
  EXPECT_EQ(LauncherConfig.UpdateUrl, "");
  Reset();
  Load(RefusedBase());
  EXPECT_EQ(LauncherConfig.Title, "") << "the document without members replaced the kept one";
}

TEST_F(ConfigServiceTest, ADamagedKeptDocumentIsIgnoredWithAnEntry) {
  remote_test::WriteFile(kept_folder_ + "LastConfig.json", "{\"taken\":{\"year\":20");
  EXPECT_EQ(Load(RefusedBase()), (std::vector<std::string>{"Retorno vazio da API.", "Falha de conexão (erro 7)",
                                                           "Configuração guardada ilegível, ignorada: LastConfig.json"}));
  EXPECT_EQ(LauncherConfig.UpdateUrl, "");
}

}  // namespace
