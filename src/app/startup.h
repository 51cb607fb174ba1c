#pragma once
#include <functional>

#include "common/launcher_view.h"

// The operations of other areas that start-up runs in its fixed order. Each may be left
// empty while its area is not part of the program.
struct StartupSteps {
  std::function<void()> load_client_token;
  std::function<void()> load_launcher_config;
};

inline constexpr const char* kMainWindowCaption = "Launcher VALKO";
inline constexpr const char* kInstanceMutexName = "ZoDozozeve";

// The main window's creation work, on the window thread, strictly in order. An error raised
// by a step ends it at that step and reaches the caller, which shows it and goes on.
void FormCreate(LauncherView& view, const StartupSteps& steps);
