#include "verify/ReplayCheck.hpp"

#include <cstdio>
#include <functional>
#include <memory>

#include "game/AppliedPlayback.hpp"
#include "game/GameMain.hpp"

namespace quadrel {

std::string ReplayFileProblem(const ReplayStore& store, ReplayReadStatus status) {
  if (status == ReplayReadStatus::CannotOpen || status == ReplayReadStatus::TooLarge ||
      status == ReplayReadStatus::ReadFailed)
    return store.lastReadReason().empty() || status == ReplayReadStatus::TooLarge
               ? Describe(status)
               : store.lastReadReason();
  const size_t size = store.storedSize();
  if (size < kReplayHeaderArea) return "too short (" + std::to_string(size) + " bytes)";
  if (status == ReplayReadStatus::BadSignature) return Describe(status);
  if ((size - kReplayHeaderArea) % kInputFrameSize != 0)
    return "truncated in a frame (" + std::to_string(size) + " bytes)";
  if (store.header().version != kReplayVersion)
    return "other version " + std::to_string(store.header().version);
  if (store.header().level < 0 || store.header().level > kLevelCount)
    return "level " + std::to_string(store.header().level) + " out of range";
  return "";
}

namespace {

ReplayEndState EndStateOf(const GameState& g) {
  return {g.score, g.level, g.phase, g.blocksCleared, g.ballsLost, g.ballStock};
}

struct Run {
  ReplayStore store;
  GameState g{};
  AppliedPlayback* applied = nullptr;

  Run() { g.replay = &store; }
  // A playback takes no live input; true when a click left the game.
  bool Step() {
    const StepEvents ev = quadrel::Step(g, StepInput{});
    if (applied) applied->Take(ev);
    return ev.leaveTo >= 0;
  }
};

// Starts a playback whose replay the loader puts into the store.
std::unique_ptr<Run> StartPlayback(const std::function<void(GameState&)>& load) {
  auto run = std::make_unique<Run>();
  GameReset(run->g);
  run->g.replayMode = Playback;
  load(run->g);
  return run;
}

ReplayCheck CheckStarted(std::unique_ptr<Run> run, const CheckOptions& options);

CheckOptions OptionsOf(std::vector<TracePoint>* trace, int64_t maxStepsBetweenInputs) {
  CheckOptions options;
  options.trace = trace;
  options.maxStepsBetweenInputs = maxStepsBetweenInputs;
  return options;
}

}  // namespace

ReplayCheck CheckReplay(const std::string& path, std::vector<TracePoint>* trace,
                        int64_t maxStepsBetweenInputs) {
  auto run = StartPlayback([&](GameState& g) { EnterGameState(g, &path); });
  return CheckStarted(std::move(run), OptionsOf(trace, maxStepsBetweenInputs));
}

ReplayCheck CheckReplay(const uint8_t* bytes, size_t size, std::vector<TracePoint>* trace,
                        int64_t maxStepsBetweenInputs) {
  return CheckReplay(bytes, size, OptionsOf(trace, maxStepsBetweenInputs));
}

ReplayCheck CheckReplay(const uint8_t* bytes, size_t size, const CheckOptions& options) {
  // The scene is entered as for a file that is not there, then given the image
  // and its first frame, as the file read would have done.
  static const std::string kNoFile;
  auto run = StartPlayback([&](GameState& g) {
    EnterGameState(g, &kNoFile);
    g.replay->LoadReplayBytes(bytes, size);
    g.replay->ReadInputFrame(g.vars.nextFrame);
  });
  return CheckStarted(std::move(run), options);
}

namespace {

ReplayCheck CheckStarted(std::unique_ptr<Run> run, const CheckOptions& options) {
  ReplayCheck check;
  GameState& g = run->g;
  run->applied = options.applied;
  std::vector<TracePoint>* trace = options.trace;
  const int64_t maxStepsBetweenInputs = options.maxStepsBetweenInputs;

  const ReplayStore& store = run->store;
  const std::string problem = ReplayFileProblem(store, store.lastReadStatus());
  if (!problem.empty()) {
    check.outcome = ReplayCheck::Outcome::Unreadable;
    check.detail = problem;
    return check;
  }
  const ReplayHeader header = store.header();
  check.frames = static_cast<int32_t>((store.storedSize() - kReplayHeaderArea) / kInputFrameSize);

  bool gap = false;
  bool left = false;
  int32_t lastApplied = -1;
  int32_t phaseAtEnd = -1;
  int32_t scoreAtEnd = 0;
  int32_t levelAtEnd = 0;
  int64_t stepsSinceInput = 0;
  while (g.replayMode == Playback) {
    const InputFrame next = g.vars.nextFrame;
    const bool applying = next.frame == g.frameNumber;
    if (!applying && next.frame < g.frameNumber) {
      check.outcome = ReplayCheck::Outcome::EndMismatch;
      check.detail = "frame " + std::to_string(next.frame) + " recorded after frame " +
                     std::to_string(lastApplied);
      return check;
    }
    if (!applying && next.frame > options.maxFrame) {
      check.outcome = ReplayCheck::Outcome::EndMismatch;
      check.detail = "frame " + std::to_string(next.frame) + " recorded beyond " +
                     std::to_string(options.maxFrame) + " steps of play";
      return check;
    }
    if (!applying && stepsSinceInput >= maxStepsBetweenInputs) {
      check.outcome = ReplayCheck::Outcome::EndMismatch;
      check.detail = "frame " + std::to_string(next.frame) + " not reached within " +
                     std::to_string(maxStepsBetweenInputs) + " steps of the previous input";
      return check;
    }
    stepsSinceInput = applying ? 0 : stepsSinceInput + 1;
    if (applying && options.noInputAfterAllClear && g.phase == AllClear) {
      check.outcome = ReplayCheck::Outcome::EndMismatch;
      check.detail = "input recorded at frame " + std::to_string(next.frame) + " after the all-clear";
      return check;
    }
    if (applying) {
      if (trace) trace->push_back({g.frameNumber, g.score});
      if (!gap && next.score != g.score) {
        gap = true;
        check.gapFrame = g.frameNumber;
        check.recorded = next.score;
        check.simulated = g.score;
        if (options.stopAtGap) {
          check.outcome = ReplayCheck::Outcome::Gap;
          return check;
        }
      }
      lastApplied = g.frameNumber;
      phaseAtEnd = g.phase;
      scoreAtEnd = g.score;
      check.end = EndStateOf(g);
    }
    const bool leaving = run->Step();
    if (applying && leaving) {
      left = true;
      levelAtEnd = g.reachedLevel;
    }
    check.steps += 1;
  }

  if (gap) {
    check.outcome = ReplayCheck::Outcome::Gap;
    return check;
  }

  check.outcome = ReplayCheck::Outcome::EndMismatch;
  char text[160];
  if (store.usedSize() != store.storedSize()) {
    check.detail = std::to_string((store.storedSize() - store.usedSize()) / kInputFrameSize) +
                   " recorded frames after the last one played";
    return check;
  }
  if (lastApplied != header.lastInputFrame && check.frames > 0) {
    std::snprintf(text, sizeof text, "last input frame %d, header says %d", lastApplied,
                  header.lastInputFrame);
    check.detail = text;
    return check;
  }

  if (header.level < kLevelCount) {
    check.score = scoreAtEnd;
    if (!left || phaseAtEnd != GameOver) {
      check.detail = "the last frame is not a click on the game-over screen";
    } else if (header.score != scoreAtEnd || header.level != levelAtEnd) {
      std::snprintf(text, sizeof text, "header score %d level %d, simulated score %d level %d",
                    header.score, header.level, scoreAtEnd, levelAtEnd);
      check.detail = text;
    } else {
      check.outcome = ReplayCheck::Outcome::Ok;
    }
    return check;
  }

  if (left) {
    check.detail = "an all-clear game left before the all-clear";
    return check;
  }
  int64_t extra = 0;
  while (g.phase != AllClear && extra < kAllClearStepLimit) {
    run->Step();
    ++extra;
  }
  check.steps += extra;
  check.end = EndStateOf(g);
  if (g.phase != AllClear) {
    std::snprintf(text, sizeof text, "no all-clear within %lld steps after the last input",
                  static_cast<long long>(kAllClearStepLimit));
    check.detail = text;
    return check;
  }
  const int32_t final =
      WrappingAdd(WrappingAdd(g.score, g.vars.levelClearBonus), g.vars.ballBonus);
  check.score = final;
  if (final != header.score) {
    std::snprintf(text, sizeof text, "header score %d, simulated all-clear score %d", header.score,
                  final);
    check.detail = text;
    return check;
  }
  check.outcome = ReplayCheck::Outcome::Ok;
  return check;
}

}  // namespace

std::string FormatCheck(const std::string& path, const ReplayCheck& check) {
  char text[512];
  switch (check.outcome) {
    case ReplayCheck::Outcome::Ok:
      std::snprintf(text, sizeof text, "%s: ok frames=%d score=%d", path.c_str(), check.frames,
                    check.score);
      break;
    case ReplayCheck::Outcome::Gap:
      std::snprintf(text, sizeof text, "%s: gap at frame %d: recorded %d, simulated %d", path.c_str(),
                    check.gapFrame, check.recorded, check.simulated);
      break;
    case ReplayCheck::Outcome::EndMismatch:
      std::snprintf(text, sizeof text, "%s: end mismatch: %s", path.c_str(), check.detail.c_str());
      break;
    case ReplayCheck::Outcome::Unreadable:
      std::snprintf(text, sizeof text, "%s: unreadable: %s", path.c_str(), check.detail.c_str());
      break;
  }
  return text;
}

}  // namespace quadrel
