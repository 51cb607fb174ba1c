#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

// Shows an error that nothing else caught, as the launcher's error box, and returns.
void ShowErrorBox(HWND owner, const std::string& message);

// Runs a handler on the window thread; an error it raises is shown in the error box and the
// program goes on. Errors never cross a window procedure.
void RunGuarded(HWND owner, const std::function<void()>& handler);
