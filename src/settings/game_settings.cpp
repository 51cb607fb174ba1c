#include "settings/game_settings.h"

std::optional<GameSettings> SettingsHandle;

namespace {
std::string Quoted(const char* pattern_start, const std::string& name) { return pattern_start + name + "'"; }
}  // namespace

GameSettings GameSettings::Open() { return GameSettings(platform::RegistryKey::CreateCurrentUser(kGameSettingsKey)); }

bool GameSettings::ValueExists(const std::string& name) const {
  return key_.ValueType(name) != platform::RegistryValueType::Absent;
}

std::string GameSettings::ReadString(const std::string& name) const {
  switch (key_.ValueType(name)) {
    case platform::RegistryValueType::Absent:
      return {};
    case platform::RegistryValueType::String:
      if (auto text = key_.ReadString(name)) return *text;
      [[fallthrough]];
    default:
      throw SettingsError(Quoted("Invalid data type for '", name));
  }
}

int32_t GameSettings::ReadInteger(const std::string& name) const {
  switch (key_.ValueType(name)) {
    case platform::RegistryValueType::Absent:
      throw SettingsError(Quoted("Failed to get data for '", name));
    case platform::RegistryValueType::Integer:
      if (auto number = key_.ReadInteger(name)) return *number;
      throw SettingsError(Quoted("Failed to get data for '", name));
    default:
      throw SettingsError(Quoted("Invalid data type for '", name));
  }
}

void GameSettings::WriteString(const std::string& name, const std::string& value) {
  if (!key_.WriteString(name, value)) throw SettingsError(Quoted("Failed to set data for '", name));
}

void GameSettings::WriteInteger(const std::string& name, int32_t value) {
  if (!key_.WriteInteger(name, value)) throw SettingsError(Quoted("Failed to set data for '", name));
}

bool GameSettings::SubkeyExists(const std::string& path) const { return key_.SubkeyExists(path); }

void GameSettings::CreateSubkey(const std::string& path) {
  if (!key_.CreateSubkey(path)) throw SettingsError("Failed to create key " + path);
}

void WriteDefaultSettings() {
  GameSettings settings = GameSettings::Open();
  if (!settings.Opened()) return;
  if (!settings.ValueExists("ID")) settings.WriteString("ID", "");
  struct Default {
    const char* name;
    int32_t value;
  };
  for (const Default& d : {Default{"Resolution", 2}, Default{"SoundOnOff", 1}, Default{"MusicOnOff", 1},
                           Default{"WindowMode", 1}, Default{"VolumeLevel", 3}}) {
    if (!settings.ValueExists(d.name)) settings.WriteInteger(d.name, d.value);
  }
}

void WriteFirstStartSettings() {
  GameSettings& settings = *SettingsHandle;
  settings.CreateSubkey(kFirstStartMarker);
  settings.WriteString("ID", "Seu Login");
  settings.WriteString("LangSelection", "Por");
  settings.WriteInteger("Resolution", 1);
  settings.WriteInteger("Windowmode", 1);
  settings.WriteInteger("ColorDepth", 1);
  settings.WriteInteger("MusicOnOff", 0);
  settings.WriteInteger("SoundOnOff", 0);
}

void SetWindowMode(bool checked) {
  GameSettings& settings = *SettingsHandle;
  settings.WriteInteger("WindowMode", checked ? 1 : 0);
  settings.WriteInteger("ColorDepth", 1);
}
