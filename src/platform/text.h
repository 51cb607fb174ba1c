#pragma once
#include <string>
#include <string_view>

namespace platform {

// The system's ANSI code page (Windows-1252 on the POSIX stand-in). Texts inside the program
// are UTF-8; these convert only where a file or a call needs the 8-bit form.

// UTF-8 to the ANSI code page; a character the code page cannot hold becomes its
// replacement character ('?').
std::string ToAnsi(std::string_view utf8);
// ANSI code page bytes to UTF-8, one character per byte in a single-byte code page.
std::string FromAnsi(std::string_view bytes);

}  // namespace platform
