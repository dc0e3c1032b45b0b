// quadrel-replay: looks into replay files and re-simulates them.
//   quadrel-replay info FILE
//   quadrel-replay verify FILE...
//   quadrel-replay trace FILE
// Files that are not regular files, or larger than a replay can be, are
// refused at once; the exit status is 0 only when every file verifies.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/SafeFile.hpp"
#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

using namespace quadrel;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quadrel-replay info FILE\n"
               "       quadrel-replay verify FILE...\n"
               "       quadrel-replay trace FILE\n");
  return 2;
}

int Info(const std::string& path) {
  ReplayStore store;
  store.ResetReplayStore();
  const std::string problem = ReplayFileProblem(store, store.LoadReplayPath(path));
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: unreadable: %s\n", path.c_str(), problem.c_str());
    return 1;
  }
  const ReplayHeader& h = store.header();
  char date[sizeof h.date + 1] = {};
  std::memcpy(date, h.date, sizeof h.date);
  std::printf("file: %s\n", path.c_str());
  std::printf("score: %d\n", h.score);
  std::printf("date: %s\n", date);
  std::printf("lastInputFrame: %d\n", h.lastInputFrame);
  std::printf("version: %d\n", h.version);
  if (h.level == kLevelCount) {
    std::printf("level: ALL\n");
  } else {
    std::printf("level: %d\n", h.level + 1);
  }
  std::printf("input frames: %zu\n", (store.storedSize() - kReplayHeaderArea) / kInputFrameSize);
  const int reached = h.level < kLevelCount ? h.level : kLevelCount - 1;
  for (int level = 0; level <= reached; ++level) {
    std::printf("items of level %d: option", level + 1);
    for (int i = 0; i <= level + 4; ++i) std::printf(" %d", store.ItemPlanByte(level, i));
    std::printf(", extend %d %d\n", store.ItemPlanByte(level, 15), store.ItemPlanByte(level, 16));
  }
  return 0;
}

int Verify(const std::vector<std::string>& paths) {
  int status = 0;
  for (const std::string& path : paths) {
    const ReplayCheck check = CheckReplay(path);
    std::printf("%s\n", FormatCheck(path, check).c_str());
    std::fflush(stdout);  // each verdict is out as soon as it is known
    if (check.outcome != ReplayCheck::Outcome::Ok) status = 1;
  }
  return status;
}

int Trace(const std::string& path) {
  std::vector<TracePoint> trace;
  const ReplayCheck check = CheckReplay(path, &trace);
  if (check.outcome == ReplayCheck::Outcome::Unreadable) {
    std::fprintf(stderr, "%s\n", FormatCheck(path, check).c_str());
    return 1;
  }
  std::string out;
  out.reserve(trace.size() * 16);
  char line[32];
  for (const TracePoint& p : trace) {
    std::snprintf(line, sizeof line, "%d %d\n", p.frame, p.score);
    out += line;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  // The trace of a replay that does not verify is still printed, but the
  // verdict goes to standard error and the exit status says so.
  if (check.outcome != ReplayCheck::Outcome::Ok) {
    std::fprintf(stderr, "%s\n", FormatCheck(path, check).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  files::IgnoreFileSizeSignal();
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "info" && argc == 3) return Info(argv[2]);
  if (command == "trace" && argc == 3) return Trace(argv[2]);
  if (command == "verify") return Verify(std::vector<std::string>(argv + 2, argv + argc));
  return Usage();
}
