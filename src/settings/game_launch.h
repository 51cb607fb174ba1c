#pragma once
#include <functional>
#include <string>

// The game client's arguments from the configured server: "connect /u" + address + " /p" + port.
std::string GameArguments();

// The play area: starts the game client from the working directory with the server on its
// command line, or says that it is missing; then the launcher ends the orderly way through
// `end_launcher`, in either case.
void jogarClick(const std::function<void()>& end_launcher);
