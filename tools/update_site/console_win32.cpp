#include <windows.h>
#include <io.h>

#include <cstdio>

#include "update_site/console.h"

namespace console {
namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  interrupted = true;
  return TRUE;
}

}  // namespace

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

void PrepareOutput() { SetConsoleOutputCP(CP_UTF8); }

InterruptCatcher::InterruptCatcher() {
  interrupted = false;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptCatcher::~InterruptCatcher() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

const std::atomic<bool>& InterruptCatcher::Requested() const { return interrupted; }

}  // namespace console
