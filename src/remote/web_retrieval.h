#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/internet.h"

// Blocking fetches of small web resources for the remote configuration, on the caller's
// thread. Agent "DelphiApp", always from the origin server. The HTTP status is not looked at:
// an error page is a body like any other, and the callers' own checks reject it.

// The body as text, each 1024-byte read decoded from the ANSI code page by itself (so a UTF-8
// body arrives as one character per byte). Empty when the address cannot be opened; an error
// while reading, or a body of more than 16 MiB, empties the result and goes to the debugger
// output only.
// When given, failure receives why the address could not be opened.
std::string GetURLContent(const std::string& url, std::optional<platform::InternetFailure>* failure = nullptr);

// Appends the body's bytes to stream. False, with stream untouched, when the address cannot
// be opened or the body is larger than 16 MiB; true otherwise, also for a body cut short.
// Raises what the stream raises.
bool DownloadToStream(const std::string& url, std::vector<uint8_t>& stream);
