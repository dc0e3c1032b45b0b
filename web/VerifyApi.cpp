#include "VerifyApi.hpp"

#include <cstdio>
#include <vector>

#include "base/JsonText.hpp"
#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {
namespace {

// A JSON string. Names come from the player's file system and dates from the
// file itself; in the date (fixed-size bytes of the file) anything but
// printable ASCII becomes '?'.
std::string Quoted(std::string text, bool asciiOnly = false) {
  if (asciiOnly)
    for (char& ch : text)
      if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7f) ch = '?';
  return "\"" + JsonEscape(text) + "\"";
}

const char* OutcomeName(ReplayCheck::Outcome outcome) {
  switch (outcome) {
    case ReplayCheck::Outcome::Ok: return "ok";
    case ReplayCheck::Outcome::Gap: return "gap";
    case ReplayCheck::Outcome::EndMismatch: return "end mismatch";
    case ReplayCheck::Outcome::Unreadable: break;
  }
  return "unreadable";
}

// The header as `quadrel-replay info` shows it, or null for a file that is
// no replay.
std::string HeaderJson(const std::string& path) {
  ReplayStore store;
  store.ResetReplayStore();
  if (!ReplayFileProblem(store, store.LoadReplayPath(path)).empty()) return "null";
  const ReplayHeader& h = store.header();
  size_t length = 0;
  while (length < sizeof h.date && h.date[length] != '\0') ++length;
  const std::string level = h.level == kLevelCount ? "ALL" : std::to_string(h.level + 1);
  return "{\"score\":" + std::to_string(h.score) + ",\"level\":" + Quoted(level) +
         ",\"date\":" + Quoted(std::string(h.date, length), true) +
         ",\"lastInputFrame\":" + std::to_string(h.lastInputFrame) + "}";
}

bool WriteScratch(const std::string& path, const uint8_t* bytes, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool complete = size == 0 || std::fwrite(bytes, 1, size, f) == size;
  return std::fclose(f) == 0 && complete;
}

}  // namespace

std::string VerifyReplayJson(const std::string& displayName, const uint8_t* bytes, size_t size,
                             const std::string& scratchPath) {
  if (!WriteScratch(scratchPath, bytes, size)) {
    std::remove(scratchPath.c_str());
    ReplayCheck failed;
    failed.detail = "cannot be held for checking";
    return "{\"verdict\":" + Quoted(FormatCheck(displayName, failed)) +
           ",\"outcome\":\"unreadable\",\"header\":null,\"trace\":[]}";
  }
  std::vector<TracePoint> trace;
  const ReplayCheck check = CheckReplay(scratchPath, &trace);
  const std::string header = HeaderJson(scratchPath);
  std::remove(scratchPath.c_str());

  std::string out = "{\"verdict\":" + Quoted(FormatCheck(displayName, check)) +
                    ",\"outcome\":" + Quoted(OutcomeName(check.outcome)) +
                    ",\"header\":" + header + ",\"frames\":" + std::to_string(check.frames) +
                    ",\"score\":" + std::to_string(check.score) +
                    ",\"steps\":" + std::to_string(check.steps);
  if (check.outcome == ReplayCheck::Outcome::Gap) {
    out += ",\"gap\":{\"frame\":" + std::to_string(check.gapFrame) +
           ",\"recorded\":" + std::to_string(check.recorded) +
           ",\"simulated\":" + std::to_string(check.simulated) + "}";
  }
  out += ",\"trace\":[";
  out.reserve(out.size() + trace.size() * 16);
  for (size_t i = 0; i < trace.size(); ++i) {
    if (i > 0) out += ',';
    out += '[' + std::to_string(trace[i].frame) + ',' + std::to_string(trace[i].score) + ']';
  }
  return out + "]}";
}

}  // namespace quadrel
