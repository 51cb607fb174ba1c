// The program entry of Launcher.exe.
#include <windows.h>
#include <commctrl.h>

#include "app/startup.h"
#include "app/trusted_keys.h"
#include "common/launcher_config.h"
#include "platform/files.h"
#include "platform/system.h"
#include "remote/activity_log.h"
#include "remote/client_token.h"
#include "remote/config_service.h"
#include "settings/game_launch.h"
#include "ui/error_box.h"
#include "ui/main_window.h"
#include "ui/options_window.h"
#include "ui/visual_style.h"
#include "ui/win32_window_thread.h"
#include "updater/files_thread.h"

namespace {

// The keys the build names (LAUNCHER_PUBLIC_KEYS); the build has checked their form.
#ifndef LAUNCHER_PUBLIC_KEYS_TEXT
#define LAUNCHER_PUBLIC_KEYS_TEXT ""
#endif

// Scheme and host (and port) of the configuration service the build names
// (CONFIG_SERVICE_BASE): where this launcher asks which game server players log in to.
constexpr const char ConfigServiceBase[] = LAUNCHER_CONFIG_SERVICE_BASE;

// Creates the update worker and starts it; it runs one pass and frees itself.
void FormShow(LauncherView& view, WindowThread& window_thread) {
  UpdaterSystem system;
  system.trusted_keys = ParseTrustedKeys(LAUNCHER_PUBLIC_KEYS_TEXT);
  auto* worker = new GFilesThread(view, window_thread, std::move(system));
  worker->SetFreeOnTerminate(true);
  worker->UpdatesUrl(LauncherConfig.UpdateUrl);
  worker->Start();
}

int RunMessageLoop(HWND dialog) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The options window takes Tab, Enter and Escape as a dialog does.
    if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The launcher runs elevated from a folder that players and downloads write to: never load
  // a DLL from beside the executable.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  ApplyVisualStyle(instance);

  // Lives until the process ends: the worker hands over through it and nobody waits for it.
  Win32WindowThread window_thread(instance);
  TForm_AutoUpdate form(instance);
  TForm_Opcoes options(instance);
  StartupSteps steps{LoadClientToken, [&] { LoadLauncherConfig(ConfigServiceBase, form, WriteLog, platform::ExecutableFolder()); }};
  form.Create({
      .form_create = [&] { FormCreate(form, steps); },
      .form_show = [&] { FormShow(form, window_thread); },
      .configuracao_click = [&] { options.ShowInFront(form.Handle()); },
      .jogar_click = [&] { jogarClick([&] { PostMessageW(form.Handle(), WM_CLOSE, 0, 0); }); },
  });
  options.Create(form.ApplicationHandle());
  form.Show();
  // Leaving the loop is the orderly end, after the windows are gone. A worker still running
  // ends with the process, before anything it uses is destroyed.
  RunMessageLoop(options.Handle());
  platform::ExitProcessNow(0);
}
