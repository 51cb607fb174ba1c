#pragma once

// File names the launcher fixes, relative to the working directory (the game folder).
inline constexpr const char* ListFileName = "mu.update";
inline constexpr const char* LauncherExeName = "Launcher.exe";
inline constexpr const char* GameExeName = "main.exe";
