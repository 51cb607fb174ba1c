#pragma once
#include <string>
#include <vector>

// What native tests may ask of the POSIX stand-ins.
namespace platform::posix_debug {
// The debugger lines written so far, and forgets them.
std::vector<std::string> TakeLines();
}  // namespace platform::posix_debug
