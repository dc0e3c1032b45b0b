#include "files/GamePaths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <system_error>
#include <vector>

namespace quadrel::files {
namespace fs = std::filesystem;

fs::path ProgramFolder(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) {
    if (!argv0 || !*argv0) return fs::current_path(ec);
    self = fs::absolute(argv0, ec);
  }
  return self.parent_path();
}

std::optional<fs::path> FindDataFolder(const fs::path& programFolder, const char* override,
                                       const fs::path& installed) {
  if (override && *override) return fs::absolute(override);
  std::error_code ec;
  for (const fs::path& candidate :
       {programFolder / "runtime", programFolder / installed}) {
    if (fs::is_directory(candidate / "model", ec)) return candidate.lexically_normal();
  }
  return std::nullopt;
}

fs::path FindLocaleFolder(const fs::path& programFolder, const char* dataOverride,
                          const fs::path& installed) {
  std::vector<fs::path> candidates;
  if (dataOverride && *dataOverride) candidates.push_back(fs::absolute(dataOverride) / "locale");
  candidates.push_back(programFolder / "runtime" / "locale");
  candidates.push_back(programFolder / installed);
  std::error_code ec;
  for (const fs::path& candidate : candidates)
    if (fs::is_directory(candidate, ec)) return candidate.lexically_normal();
  return {};
}

fs::path UserDataFolder(const char* xdgDataHome, const char* home) {
  // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules ask.
  if (xdgDataHome && xdgDataHome[0] == '/') return fs::path(xdgDataHome) / "quadrel";
  std::string base = home && home[0] == '/' ? home : "";
  if (base.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
      base = entry->pw_dir;
  }
  if (base.empty()) return {};
  return fs::path(base) / ".local" / "share" / "quadrel";
}

}  // namespace quadrel::files
