#include <windows.h>

#include "platform/system.h"
#include "platform/win32/wide_text.h"

namespace platform {

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t TickCount() { return GetTickCount(); }

void HoldNamedMutex(const std::string& name) {
  // Deliberately never closed: the handle lives until the process ends.
  CreateMutexW(nullptr, TRUE, Widen(name).c_str());
}

bool RunCommandLine(const std::string& ansi_command_line) {
  return WinExec(ansi_command_line.c_str(), SW_SHOWNORMAL) > 31;
}

void ExitProcessNow(unsigned exit_code) { ExitProcess(exit_code); }

void ShowErrorMessage(const std::string& text, const std::string& title) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(), MB_OK | MB_ICONERROR);
}

void DebugOutput(const std::string& line) { OutputDebugStringW(Widen(line).c_str()); }

namespace {
std::string LocaleText(LCTYPE type, const char* fallback) {
  wchar_t buffer[16];
  int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
  return length > 1 ? Narrow(std::wstring(buffer, length - 1)) : fallback;
}
}  // namespace

RegionalSettings UserRegionalSettings() {
  RegionalSettings settings;
  std::string decimal = LocaleText(LOCALE_SDECIMAL, ".");
  settings.decimal_separator = decimal.size() == 1 ? decimal[0] : '.';
  settings.date_separator = LocaleText(LOCALE_SDATE, "/");
  settings.time_separator = LocaleText(LOCALE_STIME, ":");
  return settings;
}

int64_t UnixTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  // FILETIME counts 100-nanosecond ticks from 1601-01-01.
  return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace platform
