// Where the game finds its things. The assets (model/, texture/, sound/) sit
// in a data folder found from the program's own location: runtime/ beside it
// in the build tree, share/quadrel when installed. The player's files
// (ranking.dat, replay/) live in a per-user folder, so an installed game
// never writes into its installation.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quadrel::files {

// The folder that holds the running program (from /proc/self/exe, else argv0).
std::filesystem::path ProgramFolder(const char* argv0);

// The first of: `override` when not empty (the QUADREL_DATA_DIR variable),
// PROGRAM_FOLDER/runtime (the build tree), PROGRAM_FOLDER/INSTALLED (installed:
// ../share/quadrel) that holds a model/ folder. Nothing when none does.
std::optional<std::filesystem::path> FindDataFolder(const std::filesystem::path& programFolder,
                                                    const char* override,
                                                    const std::filesystem::path& installed =
                                                        "../share/quadrel");

// The folder of the message catalogues (LANG/LC_MESSAGES/quadrel.mo): the
// first of DATA_OVERRIDE/locale (QUADREL_DATA_DIR), PROGRAM_FOLDER/runtime/locale
// (the build tree), PROGRAM_FOLDER/INSTALLED (../share/locale) that exists.
// Empty when none does: the game then speaks English.
std::filesystem::path FindLocaleFolder(const std::filesystem::path& programFolder,
                                       const char* dataOverride,
                                       const std::filesystem::path& installed);

// $XDG_DATA_HOME/quadrel when that is an absolute path, else
// $HOME/.local/share/quadrel, else the password database's home. Empty when
// no home can be found.
std::filesystem::path UserDataFolder(const char* xdgDataHome, const char* home);

struct GamePaths {
  std::filesystem::path dataFolder;
  std::filesystem::path userFolder;
  std::string RankingFile() const { return (userFolder / "ranking.dat").string(); }
  std::string ReplayFolder() const { return (userFolder / "replay").string(); }
};

}  // namespace quadrel::files
