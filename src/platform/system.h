#pragma once
#include <cstdint>
#include <string>

namespace platform {

void Sleep(uint32_t milliseconds);
// Milliseconds since the system started, as an unsigned 32-bit value that wraps.
uint32_t TickCount();

// Creates or opens the named mutex, asking for ownership; the handle stays open until the
// process ends. Whether it existed before is not reported.
void HoldNamedMutex(const std::string& name);

// Starts a program from an 8-bit (ANSI code page) command line without waiting for it, as
// WinExec with SW_SHOWNORMAL does. True when it started.
bool RunCommandLine(const std::string& ansi_command_line);

// Ends the process at once with the exit code.
[[noreturn]] void ExitProcessNow(unsigned exit_code);

// A modal message box with an OK button and the error icon, owned by no window; returns when
// the user has closed it.
void ShowErrorMessage(const std::string& text, const std::string& title);

// A line for an attached debugger (OutputDebugString); nothing otherwise.
void DebugOutput(const std::string& line);

// The user's regional settings.
struct RegionalSettings {
  char decimal_separator = '.';
  std::string date_separator = "/";
  std::string time_separator = ":";
};
RegionalSettings UserRegionalSettings();

// Seconds since 1970-01-01 00:00:00 UTC, from the system clock.
int64_t UnixTime();

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime CurrentLocalTime();

}  // namespace platform
