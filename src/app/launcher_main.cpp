// The program entry of Launcher.exe.
#include <windows.h>
#include <commctrl.h>

#include "app/startup.h"
#include "settings/game_launch.h"
#include "ui/error_box.h"
#include "ui/main_window.h"
#include "ui/options_window.h"
#include "ui/visual_style.h"

namespace {

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

  TForm_AutoUpdate form(instance);
  TForm_Opcoes options(instance);
  StartupSteps steps;
  form.Create({
      .form_create = [&] { FormCreate(form, steps); },
      .form_show = [] {},
      .configuracao_click = [&] { options.ShowInFront(form.Handle()); },
      .jogar_click = [&] { jogarClick([&] { PostMessageW(form.Handle(), WM_CLOSE, 0, 0); }); },
  });
  options.Create(form.ApplicationHandle());
  form.Show();
  // Leaving the loop is the orderly end; every way out ends with exit code 0.
  RunMessageLoop(options.Handle());
  return 0;
}
