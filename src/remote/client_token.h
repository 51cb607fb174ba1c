#pragma once
#include <string>

// Reads the client token from "Config.vlk" beneath the executable's folder (section "AUTH",
// key "ClientToken", at most 2047 characters) into LauncherConfig.ClientToken, replacing what
// was there. Missing file, section or key: an empty token, reported nowhere. Never creates
// the file. Window thread, start-up only.
void LoadClientToken();

// The token file's path beneath the folder (given with its trailing separator).
std::string ClientTokenPath(const std::string& folder);
