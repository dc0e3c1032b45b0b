// The player's own settings (the sound level and mute, and the ranking server
// the player chose), kept per user in $XDG_CONFIG_HOME/quadrel/settings.ini
// (~/.config/quadrel/settings.ini). A missing or damaged file means the
// defaults, never an error; a save goes through a temporary file renamed over
// the old one and keeps every line the game does not write itself.
#pragma once

#include <cstdint>
#include <optional>
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

// The settings in text; lines that cannot be read keep their default. When
// rankingServer is given it receives the last "ranking_server" line's value as
// written (checked by its user; the game never writes that line), or nullopt.
PlayerSettings ParsePlayerSettings(const std::string& text,
                                   std::optional<std::string>* rankingServer = nullptr);
std::string FormatPlayerSettings(const PlayerSettings& settings);
// The file's text with the sound lines set to settings and every other line
// (comments, the ranking server, keys of other versions) kept byte for byte;
// an empty text gives FormatPlayerSettings.
std::string UpdatePlayerSettings(const std::string& text, const PlayerSettings& settings);

// Defaults for a missing, unreadable or damaged file (an unreadable one is
// named on standard error once).
PlayerSettings LoadPlayerSettings(const std::string& path,
                                  std::optional<std::string>* rankingServer = nullptr);
// Creates the folder when needed; false (and a warning on standard error)
// when the file cannot be written. An older file is then left as it was.
bool SavePlayerSettings(const PlayerSettings& settings, const std::string& path);

}  // namespace quadrel
