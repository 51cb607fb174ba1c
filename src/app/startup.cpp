#include "app/startup.h"

#include "common/language.h"
#include "common/launcher_config.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/system.h"
#include "settings/game_settings.h"
#include "common/fixed_names.h"

void FormCreate(LauncherView& view, const StartupSteps& steps) {
  {
    GameSettings settings = GameSettings::Open();
    if (settings.Opened() && !settings.ValueExists("Resolution")) WriteDefaultSettings();
  }
  if (steps.load_client_token) steps.load_client_token();
  SlideList.clear();
  if (steps.load_launcher_config) steps.load_launcher_config();
  view.SetWindowCaption(kMainWindowCaption);
  view.SetApplicationTitle(LauncherConfig.Title);
  platform::RemoveUrlFromCache(LauncherConfig.UpdateUrl);
  SettingsHandle = GameSettings::Open();
  platform::HoldNamedMutex(kInstanceMutexName);
  platform::Sleep(10);
  SettingsHandle = GameSettings::Open();
  if (!SettingsHandle->SubkeyExists(kFirstStartMarker)) WriteFirstStartSettings();
  if (const char* caption = DecideStartupLanguage(SettingsHandle->ReadString("LangSelection"))) {
    view.SetWindowModeCaption(caption);
  }
  // The update list left in the game folder means a pass is under way or was cut short.
  if (!platform::FileExists(ListFileName)) {
    view.SetWindowModeChecked(SettingsHandle->ReadInteger("Windowmode") != 0);
  }
}
