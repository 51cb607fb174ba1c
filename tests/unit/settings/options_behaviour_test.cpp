#include "settings/options_behaviour.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/posix/registry_posix.h"
#include "settings/game_settings.h"
#include "support/temp_folder.h"

namespace {

// The options window's controls as plain values.
class FakeOptionsView : public OptionsView {
 public:
  std::string login = "Digite seu login";
  int resolution_button = 0;
  bool musica = false, som = false, hidden = false;
  std::map<Caption, std::string> captions;

  std::string LoginText() const override { return login; }
  void SetLoginText(const std::string& text) override { login = text; }
  int SelectedResolutionButton() const override { return resolution_button; }
  void SelectResolutionButton(int number) override { resolution_button = number; }
  bool MusicaChecked() const override { return musica; }
  void SetMusicaChecked(bool checked) override { musica = checked; }
  bool SomChecked() const override { return som; }
  void SetSomChecked(bool checked) override { som = checked; }
  void SetCaption(Caption which, const std::string& text) override { captions[which] = text; }
  void Hide() override { hidden = true; }
};

class OptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::posix_registry::Reset();
    SetCurrentLanguage(Language::None);
  }
  void TearDown() override {
    platform::posix_registry::Reset();
    SetCurrentLanguage(Language::None);
  }
  void Store(int32_t resolution, int32_t sound, int32_t music, const char* id = "player") {
    GameSettings settings = GameSettings::Open();
    settings.WriteString("ID", id);
    settings.WriteInteger("Resolution", resolution);
    settings.WriteInteger("SoundOnOff", sound);
    settings.WriteInteger("MusicOnOff", music);
  }
  FakeOptionsView view_;
};

TEST_F(OptionsTest, FillingShowsTheStoredValuesAndWritesWindowModeAndVolume) {
  struct Case {
    int32_t resolution;
    int button;
  };
  for (Case c : {Case{1, 4}, Case{2, 5}, Case{8, 11}, Case{0, 0}, Case{9, 0}}) {
    Store(c.resolution, 1, 0);
    FakeOptionsView view;
    FillOptions(view);
    EXPECT_EQ(view.resolution_button, c.button) << "Resolution " << c.resolution;
    EXPECT_EQ(view.login, "player");
    EXPECT_TRUE(view.musica) << "Musica shows SoundOnOff";
    EXPECT_FALSE(view.som) << "Som shows MusicOnOff";
  }
  GameSettings settings = GameSettings::Open();
  EXPECT_EQ(settings.ReadInteger("WindowMode"), 1);
  EXPECT_EQ(settings.ReadInteger("VolumeLevel"), 3);
  EXPECT_TRUE(view_.captions.empty()) << "no language: the design captions stay";
}

TEST_F(OptionsTest, SoundValuesOtherThanZeroAndOneLeaveTheBoxUnticked) {
  Store(2, 2, 1);
  FillOptions(view_);
  EXPECT_FALSE(view_.musica);
  EXPECT_TRUE(view_.som);
  SaveOptions(view_);
  EXPECT_EQ(GameSettings::Open().ReadInteger("SoundOnOff"), 0);
}

TEST_F(OptionsTest, AResolutionOfAnotherTypeStopsTheFilling) {
  GameSettings settings = GameSettings::Open();
  settings.WriteString("Resolution", "2");
  settings.WriteInteger("SoundOnOff", 1);
  try {
    FillOptions(view_);
    FAIL();
  } catch (const SettingsError& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'Resolution'");
  }
  EXPECT_FALSE(view_.musica);
  EXPECT_FALSE(settings.ValueExists("WindowMode"));
}

TEST_F(OptionsTest, SavingWritesWhatTheControlsShow) {
  Store(1, 0, 0);
  FillOptions(view_);
  view_.login = "";
  view_.resolution_button = 3;  // "648x480"
  view_.musica = true;
  SaveOptions(view_);
  GameSettings settings = GameSettings::Open();
  EXPECT_EQ(settings.ReadString("ID"), "");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 1) << "648x480 saves 1";
  EXPECT_EQ(settings.ReadInteger("SoundOnOff"), 1);
  EXPECT_EQ(settings.ReadInteger("MusicOnOff"), 0);
  EXPECT_TRUE(view_.hidden);
}

TEST_F(OptionsTest, SavingWithoutASelectionLeavesTheResolution) {
  Store(9, 0, 0);
  FillOptions(view_);
  SaveOptions(view_);
  EXPECT_EQ(GameSettings::Open().ReadInteger("Resolution"), 9);
}

TEST_F(OptionsTest, AFlagStoresTheLanguageAndRecaptions) {
  ChooseLanguage(view_, Language::Spn);
  EXPECT_EQ(GameSettings::Open().ReadString("LangSelection"), "Spn");
  EXPECT_EQ(CurrentLanguage(), Language::Spn);
  EXPECT_EQ(view_.captions[OptionsView::Caption::Resolucoes], "Resoluciones");
  EXPECT_EQ(view_.captions[OptionsView::Caption::ANTLAG], "Reducir gráficos?");
  ChooseLanguage(view_, Language::Eng);
  EXPECT_EQ(view_.captions[OptionsView::Caption::SOM], "Sound");
  EXPECT_EQ(view_.captions[OptionsView::Caption::RadioButton1], "Yes");
  EXPECT_EQ(view_.captions[OptionsView::Caption::RadioButton2], "No");
  EXPECT_FALSE(view_.hidden);
}

TEST_F(OptionsTest, AntLagRenamesBothFilesWhateverTheFirstDoes) {
  TempWorkingFolder folder;
  folder.WriteFile("opengl32.dll", "gl");
  folder.WriteFile("Effect.ini", "fx");
  AntLagOn();
  EXPECT_TRUE(folder.Exists("opengl32x.dll"));
  EXPECT_TRUE(folder.Exists("desativado.ini"));
  AntLagOff();
  EXPECT_TRUE(folder.Exists("opengl32.dll"));
  EXPECT_TRUE(folder.Exists("Effect.ini"));

  folder.WriteFile("opengl32x.dll", "other");  // the new name is taken
  AntLagOn();
  EXPECT_TRUE(folder.Exists("opengl32.dll")) << "keeps its name";
  EXPECT_TRUE(folder.Exists("desativado.ini")) << "the second rename still runs";
}

}  // namespace
