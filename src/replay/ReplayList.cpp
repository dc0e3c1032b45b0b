#include "replay/ReplayList.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/SafeFile.hpp"

namespace quadrel {
namespace {

constexpr size_t kHeaderOffset = 20;
constexpr std::string_view kExtension = ".rep";

bool HasReplayExtension(const char* name) {
  const size_t n = std::strlen(name);
  return n >= kExtension.size() && std::string_view(name + n - kExtension.size()) == kExtension;
}

// A file whose header could not be read still names its score and date when
// its name is the game's own "%08d_%04d%02d%02d_%02d%02d%02d.rep".
void TakeScoreAndDateFromName(ReplayListEntry& entry) {
  int score = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, end = 0;
  if (std::sscanf(entry.fileName.c_str(), "%8d_%4d%2d%2d_%2d%2d%2d.rep%n", &score, &year, &month,
                  &day, &hour, &minute, &second, &end) != 7 ||
      static_cast<size_t>(end) != entry.fileName.size())
    return;
  entry.score = score;
  std::snprintf(entry.dateTime, sizeof entry.dateTime, "%04d/%02d/%02d %02d:%02d:%02d", year,
                month, day, hour, minute, second);
}

}  // namespace

ReplayListEntry ReadReplayListEntry(const std::string& folder, const std::string& fileName) {
  ReplayListEntry entry;
  entry.fileName = fileName;
  const std::string path = folder + "/" + fileName;
  // A pipe under a replay's name cannot hold the list up.
  files::OpenFailure failure = files::OpenFailure::None;
  files::ReadableFile file =
      files::ReadableFile::Open(path, files::FileKind::Replay, nullptr, &failure);
  if (!file.IsOpen()) {
    entry.status = failure == files::OpenFailure::TooLarge ? ReplayReadStatus::TooLarge
                                                           : ReplayReadStatus::CannotOpen;
    TakeScoreAndDateFromName(entry);
    return entry;
  }
  // Only the header: the file may be longer than its room here.
  uint8_t head[kReplayHeaderArea];
  const size_t want = std::min<uint64_t>(kReplayHeaderArea, file.Size());
  const size_t got = file.ReadInto(head, sizeof head);

  if (got < want) {
    entry.status = ReplayReadStatus::ReadFailed;
  } else if (got < sizeof kReplaySignature ||
             std::memcmp(head, kReplaySignature, sizeof kReplaySignature) != 0) {
    entry.status = ReplayReadStatus::BadSignature;
  }
  if (got >= kHeaderOffset + sizeof(ReplayHeader)) {
    ReplayHeader header;
    std::memcpy(&header, head + kHeaderOffset, sizeof header);
    entry.score = header.score;
    entry.level = header.level;
    std::memcpy(entry.dateTime, header.date, sizeof entry.dateTime - 1);
    entry.valid = entry.status == ReplayReadStatus::Ok && header.version == kReplayVersion &&
                  got == kReplayHeaderArea;
  }
  if (entry.status != ReplayReadStatus::Ok) {
    // What a damaged file's header says is not shown as if it were true.
    entry.score = 0;
    entry.level = -1;
    std::memset(entry.dateTime, 0, sizeof entry.dateTime);
    TakeScoreAndDateFromName(entry);
  }
  return entry;
}

std::vector<ReplayListEntry> ScanReplayFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (!HasReplayExtension(e->d_name)) continue;
      // Only regular files, or links to them; the type from the listing saves a stat.
      if (e->d_type != DT_REG) {
        if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        struct stat st {};
        if (::stat((folder + "/" + e->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      }
      names.emplace_back(e->d_name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end(), std::greater<>());
  std::vector<ReplayListEntry> list;
  list.reserve(names.size());
  for (const std::string& name : names) list.push_back(ReadReplayListEntry(folder, name));
  return list;
}

}  // namespace quadrel
