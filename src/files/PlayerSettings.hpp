// The player's own settings (the sound level and mute), kept per user in
// $XDG_CONFIG_HOME/quadrel/settings.ini (~/.config/quadrel/settings.ini).
// A missing or damaged file means the defaults, never an error; a save goes
// through a temporary file renamed over the old one.
#pragma once

#include <cstdint>
#include <string>

namespace quadrel {

constexpr int32_t kVolumeSteps = 10;  // level 0 (silent) .. 10 (as the game mixes it)

struct PlayerSettings {
  int32_t volume = kVolumeSteps;
  bool muted = false;

  bool operator==(const PlayerSettings&) const = default;
};

// The file's place from the environment: XDG_CONFIG_HOME when it is an
// absolute path, else HOME/.config; empty when neither is usable (nothing is
// then read or kept).
std::string PlayerSettingsPath();

// The settings in text; lines that cannot be read keep their default.
PlayerSettings ParsePlayerSettings(const std::string& text);
std::string FormatPlayerSettings(const PlayerSettings& settings);

// Defaults for a missing, unreadable or damaged file (an unreadable one is
// named on standard error once).
PlayerSettings LoadPlayerSettings(const std::string& path);
// Creates the folder when needed; false (and a warning on standard error)
// when the file cannot be written. An older file is then left as it was.
bool SavePlayerSettings(const PlayerSettings& settings, const std::string& path);

}  // namespace quadrel
