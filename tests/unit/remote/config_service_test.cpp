#include "remote/config_service.h"

#include <gtest/gtest.h>

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
    LoadLauncherConfig(base, view_, [&](const std::string& entry) { log.push_back(entry); });
    return log;
  }
  HttpTestServer server_;
  RecordingView view_;
};

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
  std::string refused = RefusedUrl();
  refused.pop_back();  // no trailing slash before the path
  EXPECT_EQ(Load(refused), std::vector<std::string>{"Retorno vazio da API."});
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
  EXPECT_THROW(LoadLauncherConfig(server_.Url(""), view_, unwritable), platform::SystemError);
}

}  // namespace
