#pragma once
#include <windows.h>

#include <string>

#include "platform/errors.h"

namespace platform {
// The system's description of an error code, without its trailing line break.
std::string SystemMessage(DWORD code);
[[noreturn]] void RaiseLastError(const std::string& what);
}  // namespace platform
