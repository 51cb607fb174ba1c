#include "ui/error_box.h"

#include "platform/win32/wide_text.h"

void ShowErrorBox(HWND owner, const std::string& message) {
  wchar_t title[256] = L"Launcher";
  HWND application = owner ? GetWindow(owner, GW_OWNER) : nullptr;
  if (application) GetWindowTextW(application, title, 256);
  MessageBoxW(owner, Widen(message).c_str(), title, MB_OK | MB_ICONERROR);
}

void RunGuarded(HWND owner, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowErrorBox(owner, error.what());
  } catch (...) {
    ShowErrorBox(owner, "Unknown error");
  }
}
