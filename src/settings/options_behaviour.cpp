#include "settings/options_behaviour.h"

#include <array>

#include "platform/files.h"
#include "settings/game_settings.h"

namespace {

// The resolution number each button saves, RadioButton3 first; "648x480" saves 1 as "800x600" does.
constexpr std::array<int, 9> kSavedResolution = {1, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr int kFirstResolutionButton = 3;

int ButtonShowing(int32_t resolution) {
  // 1 shows "800x600" (RadioButton4), 8 shows "1920x1080" (RadioButton11).
  return resolution >= 1 && resolution <= 8 ? resolution + 3 : 0;
}

struct Captions {
  const char* resolucoes;
  const char* som;
  const char* antlag;
  const char* on;
  const char* off;
};

const Captions* CaptionsOf(Language language) {
  static constexpr Captions kPor{"Resoluções", "Som", "Diminuir Gráficos?", "Sim", "Não"};
  static constexpr Captions kSpn{"Resoluciones", "Sonido", "Reducir gráficos?", "Si", "No"};
  static constexpr Captions kEng{"Resolutions", "Sound", "Reduce graphics?", "Yes", "No"};
  switch (language) {
    case Language::Por: return &kPor;
    case Language::Spn: return &kSpn;
    case Language::Eng: return &kEng;
    case Language::None: break;
  }
  return nullptr;
}

void Caption(OptionsView& view, Language language) {
  const Captions* captions = CaptionsOf(language);
  if (!captions) return;
  view.SetCaption(OptionsView::Caption::Resolucoes, captions->resolucoes);
  view.SetCaption(OptionsView::Caption::SOM, captions->som);
  view.SetCaption(OptionsView::Caption::ANTLAG, captions->antlag);
  view.SetCaption(OptionsView::Caption::RadioButton1, captions->on);
  view.SetCaption(OptionsView::Caption::RadioButton2, captions->off);
}

void ShowOnOff(int32_t value, void (OptionsView::*set)(bool), OptionsView& view) {
  // Any number but 0 and 1 leaves the box as designed, unticked.
  if (value == 0) (view.*set)(false);
  if (value == 1) (view.*set)(true);
}

}  // namespace

void FillOptions(OptionsView& view) {
  GameSettings settings = GameSettings::Open();
  view.SetLoginText(settings.ReadString("ID"));
  Caption(view, CurrentLanguage());
  if (int button = ButtonShowing(settings.ReadInteger("Resolution"))) view.SelectResolutionButton(button);
  ShowOnOff(settings.ReadInteger("SoundOnOff"), &OptionsView::SetMusicaChecked, view);
  ShowOnOff(settings.ReadInteger("MusicOnOff"), &OptionsView::SetSomChecked, view);
  settings.WriteInteger("WindowMode", 1);
  settings.WriteInteger("VolumeLevel", 3);
}

void SaveOptions(OptionsView& view) {
  {
    GameSettings settings = GameSettings::Open();
    settings.WriteString("ID", view.LoginText());
    int button = view.SelectedResolutionButton();
    if (button >= kFirstResolutionButton && button < kFirstResolutionButton + static_cast<int>(kSavedResolution.size())) {
      settings.WriteInteger("Resolution", kSavedResolution[button - kFirstResolutionButton]);
    }
    settings.WriteInteger("SoundOnOff", view.MusicaChecked() ? 1 : 0);
    settings.WriteInteger("MusicOnOff", view.SomChecked() ? 1 : 0);
  }
  view.Hide();
}

void ChooseLanguage(OptionsView& view, Language language) {
  {
    GameSettings settings = GameSettings::Open();
    settings.WriteString("LangSelection", std::string(LanguageCode(language)));
  }
  SetCurrentLanguage(language);
  Caption(view, language);
}

void AntLagOn() {
  platform::RenameFile(".//opengl32.dll", ".//opengl32x.dll");
  platform::RenameFile(".//Effect.ini", ".//desativado.ini");
}

void AntLagOff() {
  platform::RenameFile(".//opengl32x.dll", ".//opengl32.dll");
  platform::RenameFile(".//desativado.ini", ".//Effect.ini");
}
