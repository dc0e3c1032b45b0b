#include "files/PlayerSettings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "files/SafeFile.hpp"

namespace quadrel {
namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool ParseLevel(const std::string& value, int32_t& out) {
  int32_t v = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, v);
  if (ec != std::errc{} || ptr != end || v < 0 || v > kVolumeSteps) return false;
  out = v;
  return true;
}

bool ParseFlag(const std::string& value, bool& out) {
  if (value == "1" || value == "true" || value == "yes" || value == "on") {
    out = true;
  } else if (value == "0" || value == "false" || value == "no" || value == "off") {
    out = false;
  } else {
    return false;
  }
  return true;
}

// "name = value" with blanks around both; false for comments, sections and
// lines without an equals sign.
bool SplitSetting(const std::string& raw, std::string& name, std::string& value) {
  const std::string line = Trim(raw);
  const size_t eq = line.find('=');
  if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[' || eq == std::string::npos)
    return false;
  name = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

// The whole file as text; false (why in error) when it cannot be read.
bool ReadSettingsText(const std::string& path, std::string& text, std::string& error) {
  files::ReadableFile file = files::ReadableFile::Open(path, files::FileKind::Settings, &error);
  std::vector<uint8_t> bytes;
  if (!file.IsOpen() || !file.ReadAll(bytes, &error)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace

std::string PlayerSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // Relative values are to be ignored, as for every program that follows the convention.
  if (config && config[0] == '/') return std::string(config) + "/quadrel/settings.ini";
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.config/quadrel/settings.ini";
  return {};
}

PlayerSettings ParsePlayerSettings(const std::string& text,
                                   std::optional<std::string>* rankingServer) {
  PlayerSettings s;
  if (rankingServer) rankingServer->reset();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::string name, value;
    if (!SplitSetting(line, name, value)) continue;
    if (name == "volume") {
      ParseLevel(value, s.volume);
    } else if (name == "muted") {
      ParseFlag(value, s.muted);
    } else if (name == "ranking_server" && rankingServer) {
      *rankingServer = value;
    }
  }
  return s;
}

std::string FormatPlayerSettings(const PlayerSettings& s) {
  return "# Quadrel's sound settings, kept by the game (M, - and + while playing).\n"
         "# A line \"ranking_server = host[:port]\" names another internet ranking.\n"
         "[sound]\n"
         "volume=" + std::to_string(s.volume) + "\n" +
         "muted=" + (s.muted ? "1" : "0") + "\n";
}

std::string UpdatePlayerSettings(const std::string& text, const PlayerSettings& s) {
  if (text.empty()) return FormatPlayerSettings(s);
  const std::string volume = "volume=" + std::to_string(s.volume);
  const std::string muted = std::string("muted=") + (s.muted ? "1" : "0");
  std::string out;
  bool volumeWritten = false, mutedWritten = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool lineFeed = end != std::string::npos;
    if (!lineFeed) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::string name, value;
    const bool setting = SplitSetting(line, name, value);
    if (setting && (name == "volume" || name == "muted")) {
      // Every copy of a key gets the new value, whichever copy a reader takes.
      out += name == "volume" ? volume : muted;
      (name == "volume" ? volumeWritten : mutedWritten) = true;
      if (!line.empty() && line.back() == '\r') out += '\r';
    } else {
      out += line;
    }
    if (lineFeed) out += '\n';
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  if (!volumeWritten) out += volume + "\n";
  if (!mutedWritten) out += muted + "\n";
  return out;
}

PlayerSettings LoadPlayerSettings(const std::string& path,
                                  std::optional<std::string>* rankingServer) {
  if (rankingServer) rankingServer->reset();
  if (path.empty()) return {};
  // A first start has no file yet: that is no problem worth a line.
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return {};
  std::string text, error;
  if (!ReadSettingsText(path, text, error)) {
    files::WarnFileProblem(path, error + "; using the default sound settings");
    return {};
  }
  return ParsePlayerSettings(text, rankingServer);
}

bool SavePlayerSettings(const PlayerSettings& settings, const std::string& path) {
  if (path.empty()) return false;
  const std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  // The player's own lines stay; a file that cannot be read (already named
  // when it was loaded) is written anew.
  std::string text, error;
  if (!ReadSettingsText(path, text, error)) text.clear();
  const std::string updated = UpdatePlayerSettings(text, settings);
  if (!files::ReplaceFileAtomically(path, updated, &error)) {
    files::WarnFileProblem(path, "cannot save the sound settings: " + error);
    return false;
  }
  return true;
}

}  // namespace quadrel
