#pragma once
#include <string>
#include <vector>

// What native tests may ask of the POSIX stand-ins.
namespace platform::posix_debug {
// The debugger lines written so far, and forgets them.
std::vector<std::string> TakeLines();
}  // namespace platform::posix_debug

namespace platform::posix_system {
// The message boxes shown so far ("title: text"), and forgets them.
std::vector<std::string> TakeMessageBoxes();
// The command lines RunCommandLine was given, and forgets them.
std::vector<std::string> TakeCommandLines();
}  // namespace platform::posix_system
