// Re-simulation of a replay file exactly as the game's playback runs it:
// verification of every recorded score and of the game's end, and traces.
#pragma once

#include <cstdint>
#include <climits>
#include <string>
#include <vector>

#include "replay/ReplayStore.hpp"

namespace quadrel {

struct AppliedPlayback;

struct TracePoint {
  int32_t frame;
  int32_t score;  // simulated, before the step's update
};

// The game at its end: at the leaving click (before that step's update), or
// right after the step in which the all-clear began.
struct ReplayEndState {
  int32_t score = 0;  // before the all-clear bonuses
  int32_t level = 0;
  int32_t phase = 0;
  int32_t blocksCleared = 0;
  int32_t ballsLost = 0;
  int32_t ballStock = 0;
};

struct ReplayCheck {
  enum class Outcome { Ok, Gap, EndMismatch, Unreadable };
  Outcome outcome = Outcome::Unreadable;
  std::string detail;      // reason, for Unreadable and EndMismatch
  int32_t frames = 0;      // recorded input frames
  int32_t score = 0;       // final simulated score (with the all-clear bonuses)
  int32_t gapFrame = 0;    // first differing frame, for Gap
  int32_t recorded = 0;
  int32_t simulated = 0;
  int64_t steps = 0;       // simulation steps run
  ReplayEndState end;
};

// Steps simulated after the last input of an all-clear game before giving up.
constexpr int64_t kAllClearStepLimit = 216000;
// The most steps a check runs without reaching the next recorded input (an
// hour at 60 Hz). A real game records input every few seconds; a crafted file
// with frame numbers near 2^31 would otherwise cost minutes of CPU.
constexpr int64_t kDefaultStepsBetweenInputs = 216000;

struct CheckOptions {
  // Receives one point per recorded frame that was applied.
  std::vector<TracePoint>* trace = nullptr;
  // Receives what the playback applied (see AppliedPlayback).
  AppliedPlayback* applied = nullptr;
  // Bounds the work: the check ends with EndMismatch once that many steps pass
  // without the next recorded frame (or the game's end).
  int64_t maxStepsBetweenInputs = kDefaultStepsBetweenInputs;
  // A recorded frame beyond this is refused before any step is run toward it.
  int64_t maxFrame = INT32_MAX;
  // Ends at the first recorded score the simulation does not reach, instead
  // of playing on to the end for a full account.
  bool stopAtGap = false;
  // Refuses input recorded after the all-clear began: the game records none,
  // and a move appended there would change nothing but the file.
  bool noInputAfterAllClear = false;
};

// trace, when given, receives one point per recorded frame that was applied.
ReplayCheck CheckReplay(const std::string& path, std::vector<TracePoint>* trace = nullptr,
                        int64_t maxStepsBetweenInputs = kDefaultStepsBetweenInputs);

// The same check of a replay image held in memory.
ReplayCheck CheckReplay(const uint8_t* bytes, size_t size, std::vector<TracePoint>* trace = nullptr,
                        int64_t maxStepsBetweenInputs = kDefaultStepsBetweenInputs);
ReplayCheck CheckReplay(const uint8_t* bytes, size_t size, const CheckOptions& options);

// The one-line verdict of `quadrel-replay verify`.
std::string FormatCheck(const std::string& path, const ReplayCheck& check);

// Reasons why a file is no replay at all (empty when it is one).
std::string ReplayFileProblem(const ReplayStore& store, ReplayReadStatus status);

}  // namespace quadrel
