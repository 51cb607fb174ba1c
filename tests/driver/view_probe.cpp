// view_probe OPERATION VALUE [OPERATION VALUE ...]
// Creates the main window, applies each view operation in order on the window thread, and
// runs until the window is closed (or for two minutes at most).
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "ui/main_window.h"

namespace {

void Apply(LauncherView& view, const std::string& operation, const std::string& value) {
  auto number = [&] { return static_cast<int32_t>(std::stol(value)); };
  auto flag = [&] { return value == "true"; };
  if (operation == "SetStatusText") view.SetStatusText(value);
  else if (operation == "SetDetailText") view.SetDetailText(value);
  else if (operation == "SetDetailVisible") view.SetDetailVisible(flag());
  else if (operation == "SetFileProgress") view.SetFileProgress(number());
  else if (operation == "SetFileProgressMax") view.SetFileProgressMax(number());
  else if (operation == "SetTotalProgress") view.SetTotalProgress(number());
  else if (operation == "SetTotalProgressMax") view.SetTotalProgressMax(number());
  else if (operation == "SetPlayVisible") view.SetPlayVisible(flag());
  else if (operation == "SetWindowCaption") view.SetWindowCaption(value);
  else if (operation == "SetApplicationTitle") view.SetApplicationTitle(value);
  else if (operation == "SetWindowModeCaption") view.SetWindowModeCaption(value);
  else if (operation == "SetWindowModeChecked") view.SetWindowModeChecked(flag());
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(3); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  TForm_AutoUpdate form(instance);
  form.Create({});
  form.Show();
  for (int i = 1; i + 1 < __argc; i += 2) Apply(form, Narrow(__wargv[i]), Narrow(__wargv[i + 1]));
  SetTimer(nullptr, 0, 120000, GiveUp);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
