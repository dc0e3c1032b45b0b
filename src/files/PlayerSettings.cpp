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

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
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

PlayerSettings ParsePlayerSettings(const std::string& text) {
  PlayerSettings s;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[' || eq == std::string::npos)
      continue;
    const std::string name = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (name == "volume") {
      ParseLevel(value, s.volume);
    } else if (name == "muted") {
      ParseFlag(value, s.muted);
    }
  }
  return s;
}

std::string FormatPlayerSettings(const PlayerSettings& s) {
  return "# Quadrel's sound settings, kept by the game (M, - and + while playing).\n"
         "[sound]\n"
         "volume=" + std::to_string(s.volume) + "\n" +
         "muted=" + (s.muted ? "1" : "0") + "\n";
}

PlayerSettings LoadPlayerSettings(const std::string& path) {
  if (path.empty()) return {};
  // A first start has no file yet: that is no problem worth a line.
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return {};
  std::string error;
  files::ReadableFile file = files::ReadableFile::Open(path, files::FileKind::Settings, &error);
  if (!file.IsOpen()) {
    files::WarnFileProblem(path, error + "; using the default sound settings");
    return {};
  }
  std::vector<uint8_t> bytes;
  if (!file.ReadAll(bytes, &error)) {
    files::WarnFileProblem(path, error + "; using the default sound settings");
    return {};
  }
  return ParsePlayerSettings(std::string(bytes.begin(), bytes.end()));
}

bool SavePlayerSettings(const PlayerSettings& settings, const std::string& path) {
  if (path.empty()) return false;
  const std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  bool ok = fd >= 0;
  int savedErrno = errno;
  if (ok) {
    ok = ::fchmod(fd, 0644) == 0 && WriteAll(fd, FormatPlayerSettings(settings));
    if (!ok) savedErrno = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
      savedErrno = errno;
      ok = false;
    }
    if (!ok) ::unlink(temporary.c_str());
  }
  if (!ok) {
    files::WarnFileProblem(path, std::string("cannot save the sound settings: ") +
                                     std::strerror(savedErrno));
  }
  return ok;
}

}  // namespace quadrel
