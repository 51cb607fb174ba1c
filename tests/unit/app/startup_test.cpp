#include "app/startup.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/language.h"
#include "common/launcher_config.h"
#include "platform/posix/registry_posix.h"
#include "settings/game_settings.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

namespace {

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::posix_registry::Reset();
    SetCurrentLanguage(Language::None);
    LauncherConfig = {};
  }
  void TearDown() override {
    SettingsHandle.reset();
    platform::posix_registry::Reset();
    SetCurrentLanguage(Language::None);
    LauncherConfig = {};
  }

  // A user whose launcher has started before: marker present, values as given.
  void ReturningUser(std::initializer_list<std::pair<const char*, int32_t>> integers, const char* language) {
    GameSettings settings = GameSettings::Open();
    settings.CreateSubkey(kFirstStartMarker);
    settings.WriteString("ID", "player");
    for (auto [name, value] : integers) settings.WriteInteger(name, value);
    if (language) settings.WriteString("LangSelection", language);
  }

  TempWorkingFolder folder_;
  RecordingView view_;
};

TEST_F(StartupTest, FirstStartWritesTheFirstStartValuesAndTicksWindowMode) {
  FormCreate(view_, {});
  GameSettings settings = GameSettings::Open();
  EXPECT_TRUE(settings.SubkeyExists(kFirstStartMarker));
  EXPECT_EQ(settings.ReadString("ID"), "Seu Login");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 1);
  EXPECT_EQ(settings.ReadInteger("SoundOnOff"), 0);
  EXPECT_EQ(settings.ReadInteger("MusicOnOff"), 0);
  EXPECT_EQ(settings.ReadInteger("WindowMode"), 1);
  EXPECT_EQ(settings.ReadInteger("VolumeLevel"), 3);
  EXPECT_EQ(settings.ReadInteger("ColorDepth"), 1);
  EXPECT_EQ(settings.ReadString("LangSelection"), "Por");
  EXPECT_EQ(CurrentLanguage(), Language::Por);
  EXPECT_EQ(view_.Calls(), (std::vector<std::string>{
                               "SetWindowCaption(\"Launcher VALKO\")",
                               "SetApplicationTitle(\"\")",
                               "SetWindowModeCaption(\"Modo Janela\")",
                               "SetWindowModeChecked(true)",
                           }));
}

TEST_F(StartupTest, ReturningUserKeepsTheStoredValues) {
  ReturningUser({{"Resolution", 8}, {"SoundOnOff", 1}, {"MusicOnOff", 1}, {"WindowMode", 0}}, "Eng");
  FormCreate(view_, {});
  GameSettings settings = GameSettings::Open();
  EXPECT_EQ(settings.ReadString("ID"), "player");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 8);
  EXPECT_FALSE(settings.ValueExists("VolumeLevel")) << "Resolution present: no default is written";
  EXPECT_EQ(CurrentLanguage(), Language::Eng);
  EXPECT_EQ(view_.State().window_mode_caption, "Window Mode");
  EXPECT_FALSE(view_.State().window_mode_checked);
}

TEST_F(StartupTest, MissingResolutionWritesEachAbsentDefault) {
  ReturningUser({{"SoundOnOff", 0}, {"Windowmode", 5}}, "Spn");
  FormCreate(view_, {});
  GameSettings settings = GameSettings::Open();
  EXPECT_EQ(settings.ReadString("ID"), "player");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 2);
  EXPECT_EQ(settings.ReadInteger("SoundOnOff"), 0);
  EXPECT_EQ(settings.ReadInteger("MusicOnOff"), 1);
  EXPECT_EQ(settings.ReadInteger("WindowMode"), 5);
  EXPECT_EQ(settings.ReadInteger("VolumeLevel"), 3);
  EXPECT_TRUE(view_.State().window_mode_checked) << "any non-zero window mode ticks the box";
  EXPECT_EQ(view_.State().window_mode_caption, "Modo Ventana");
}

TEST_F(StartupTest, LanguageCodesOtherThanExactSetNothing) {
  for (const char* stored : {"eng", "POR", "Spn ", "xx"}) {
    ReturningUser({{"Resolution", 2}, {"Windowmode", 1}}, stored);
    view_.ClearCalls();
    FormCreate(view_, {});
    EXPECT_EQ(CurrentLanguage(), Language::None) << stored;
    EXPECT_TRUE(view_.CallsStartingWith("SetWindowModeCaption").empty()) << stored;
  }
}

TEST_F(StartupTest, AbsentWindowModeEndsStartUpWithTheStoreMessage) {
  ReturningUser({{"Resolution", 2}}, "Por");
  try {
    FormCreate(view_, {});
    FAIL() << "no error";
  } catch (const SettingsError& error) {
    EXPECT_STREQ(error.what(), "Failed to get data for 'Windowmode'");
  }
  EXPECT_FALSE(view_.State().window_mode_checked);
  EXPECT_EQ(view_.State().window_caption, "Launcher VALKO");
}

TEST_F(StartupTest, AnUpdateListInTheGameFolderLeavesTheBoxAlone) {
  ReturningUser({{"Resolution", 2}}, "Por");
  folder_.WriteFile("mu.update", "[Download]\n[/Download]\n");
  EXPECT_NO_THROW(FormCreate(view_, {}));
  EXPECT_TRUE(view_.CallsStartingWith("SetWindowModeChecked").empty());
}

TEST_F(StartupTest, StepsRunInOrderAndTheTitleComesFromTheConfiguration) {
  std::vector<std::string> order;
  SlideList = {"left over"};
  StartupSteps steps{
      [&] { order.push_back("token"); },
      [&] {
        order.push_back("config with " + std::to_string(SlideList.size()) + " slides");
        LauncherConfig.Title = "My Server";
      },
  };
  FormCreate(view_, steps);
  EXPECT_EQ(order, (std::vector<std::string>{"token", "config with 0 slides"}));
  EXPECT_EQ(view_.State().application_title, "My Server");
}

TEST_F(StartupTest, AConfigurationErrorEndsStartUpBeforeTheCaption) {
  StartupSteps steps{{}, [] { throw std::runtime_error("Conversion from TJSONObject to string is not supported"); }};
  EXPECT_THROW(FormCreate(view_, steps), std::runtime_error);
  EXPECT_TRUE(view_.Calls().empty());
  EXPECT_EQ(CurrentLanguage(), Language::None);
  EXPECT_FALSE(GameSettings::Open().SubkeyExists(kFirstStartMarker)) << "no first-start values yet";
  EXPECT_TRUE(GameSettings::Open().ValueExists("Resolution")) << "the defaults came first";
}

}  // namespace
