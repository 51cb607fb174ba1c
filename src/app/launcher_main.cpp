// The program entry of Launcher.exe.
#include <windows.h>
#include <commctrl.h>

#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The launcher runs elevated from a folder that players and downloads write to: never load
  // a DLL from beside the executable.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  TForm_AutoUpdate form(instance);
  form.Create({});
  form.Show();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
