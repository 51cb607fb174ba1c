#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/registry.h"

// The game client's settings key below HKEY_CURRENT_USER, shared with the game, which reads
// the same values. Value names match without regard to letter case: "Windowmode" and
// "WindowMode" are one value.
inline constexpr const char* kGameSettingsKey = "Software\\Webzen\\Mu\\Config";
// The launcher's first-start marker, a subkey with this path below the settings key.
inline constexpr const char* kFirstStartMarker = "Software\\Webzen\\Mu\\Config";

// A failed read or write of the settings, with the message the user sees.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A handle on the settings key, opened with creation allowed. An opening that failed is not
// reported by itself: the operations on such a handle fail as the key's would.
class GameSettings {
 public:
  static GameSettings Open();

  bool Opened() const { return key_.Valid(); }
  bool ValueExists(const std::string& name) const;
  // Empty text when the value is absent; an error when it holds another type.
  std::string ReadString(const std::string& name) const;
  // An error when the value is absent or holds another type.
  int32_t ReadInteger(const std::string& name) const;
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  bool SubkeyExists(const std::string& path) const;
  void CreateSubkey(const std::string& path);

 private:
  explicit GameSettings(platform::RegistryKey key) : key_(std::move(key)) {}
  platform::RegistryKey key_;
};

// The handle that start-up opens and keeps while the launcher runs (window thread only).
extern std::optional<GameSettings> SettingsHandle;

// Writes each default value that is absent, on a handle of its own.
void WriteDefaultSettings();
// On SettingsHandle: creates the first-start marker, then overwrites the first-start values.
void WriteFirstStartSettings();
// On SettingsHandle: window mode on or off as the main window's check box shows it.
void SetWindowMode(bool checked);
