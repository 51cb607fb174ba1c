#pragma once
#include <optional>
#include <string>

#include "platform/system.h"

// The last configuration document the launcher took from the service, kept beside it in
// "LastConfig.json" with the local time it was taken, so that a start while the service is
// down still knows where the game server and the updates are. It holds only what the service
// sent.
inline constexpr const char* kKeptConfigName = "LastConfig.json";

struct KeptConfig {
  std::string document;  // the service's answer, as GetURLContent returned it
  platform::LocalTime taken;
};

// Replaces the kept document in the folder (with its trailing separator) in one step: a start
// that reads it at any moment finds the previous document or this one, whole. Raises
// platform::SystemError when it cannot be written.
void KeepConfigDocument(const std::string& folder, const KeptConfig& kept);

struct KeptConfigRead {
  std::optional<KeptConfig> kept;
  bool damaged = false;  // a file is there, but it is not one that KeepConfigDocument wrote
};
KeptConfigRead ReadKeptConfig(const std::string& folder);
