#include "game/GameMain.hpp"

#include <cstring>
#include <string>

#include "game/Field.hpp"
#include "game/GameInput.hpp"
#include "game/Physics.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {
namespace {

constexpr int kReviveSteps = 120;
constexpr int32_t kFinalClearBonus = 5000000;
constexpr int32_t kBonusPerBall = 1000000;

void ResetObjects(GameState& g) {
  for (Bar& bar : g.bars) bar = Bar{};
  for (Ball& ball : g.balls) ball = Ball{};
  for (Item& item : g.items) item = Item{};
  for (int j = 0; j < kBarCount; ++j) {
    Bar& bar = g.bars[j];
    bar.x = 0.0;
    bar.y = 4.0;
    bar.z = 0.0;
    bar.scale = 1.0;
    bar.barState = BarNormal;
    bar.lifetime = 900;
    bar.active = j == 0 ? 1 : 0;
  }
  SetupFirstLevel(g);
  BuildColourTable(g);
}

// Returns true when the step ends here (the last level was cleared).
bool EndLevel(GameState& g) {
  GameVars& v = g.vars;
  if (g.blocksCleared != BlocksToClear(g.level) || g.phase == GameOver) return false;
  g.level += 1;
  g.blocksCleared = 0;
  if (g.level == kLevelCount) {
    v.ballBonus = (g.ballStock - g.ballsLost) * kBonusPerBall;
    v.levelClearBonus = kFinalClearBonus;
    g.level = kLevelCount - 1;
    g.phase = AllClear;
    return true;
  }
  v.levelClearBonus = g.BallsInPlay() * kBonusPerBall;
  g.score = WrappingAdd(g.score, v.levelClearBonus);
  g.phase = LevelIntro;
  return false;
}

void PhaseWork(GameState& g, StepEvents& ev) {
  GameVars& v = g.vars;
  switch (g.phase) {
    case GameOver:
      v.bannerAlpha += 2;
      if (v.bannerAlpha > 255) v.bannerAlpha = 255;
      if (g.ballStock > g.ballsLost) g.phase = Revive;
      break;
    case LevelIntro:
      if (v.bannerDirection == 0) {
        v.bannerAlpha += 4;
        if (v.bannerAlpha > 255) {
          v.bannerAlpha = 255;
          v.bannerDirection = 1;
        }
      } else {
        v.bannerAlpha -= 4;
        if (v.bannerAlpha < 0) {
          v.bannerAlpha = 0;
          v.bannerDirection = 0;
          StartLevel(g, ev);
          g.phase = Playing;
        }
      }
      break;
    case Revive:
      if (v.reviveActive == 0) {
        v.reviveActive = 1;
        v.reviveTimer = kReviveSteps;
        ev.startMusic = true;
      }
      v.reviveTimer -= 1;
      if (v.reviveTimer == 0) {
        v.bannerAlpha = 0;
        v.reviveActive = 0;
        g.phase = Playing;
      }
      break;
    default:
      break;
  }
}

}  // namespace

void GameReset(GameState& g) {
  if (g.firstReset) {
    // The game's random stream and its replay outlive every game.
    const Random random = g.gameRandom;
    ReplayStore* const replay = g.replay;
    g = GameState{};
    g.gameRandom = random;
    g.replay = replay;
    g.firstReset = false;
  }
  g.phase = LevelIntro;
  g.ballStock = 3;
  g.level = 0;
  g.ballsLaunched = 0;
  g.ballsLost = 0;
  g.blocksCleared = 0;
  g.vars.bannerAlpha = 0;
  // A game restarted during Revive must not hand its timer to the next game.
  g.vars.reviveActive = 0;
  g.vars.reviveTimer = 0;
  ResetObjects(g);
}

void EnterGameState(GameState& g, const std::string* playbackPath) {
  GameVars& v = g.vars;
  g.phase = LevelIntro;
  g.score = 0;
  std::memset(v.keyboard.keys, 0, sizeof v.keyboard.keys);
  // A button still held from the previous scene must not count as a click.
  std::memset(v.previousMouse.rgbButtons, 0x80, sizeof v.previousMouse.rgbButtons);
  v.bannerDirection = 0;
  v.cameraAngle = 270.0f;
  v.cameraDistance = 70.0f;
  v.cameraEye[0] = 0.0f;
  v.cameraEye[1] = 20.0f;
  v.cameraEye[2] = -70.0f;
  v.clock.stepLength = kStepLength;
  g.frameNumber = 0;
  if (g.replayMode != Off) {
    g.replay->ResetReplayStore();
    g.gapMarker = 0.0;
  }
  if (g.replayMode == Playback) {
    if (playbackPath) g.replay->LoadReplayPath(*playbackPath);
    g.replay->ReadInputFrame(v.nextFrame);
  }
  BeginFadeIn(v.clock);
}

StepEvents Step(GameState& g, const StepInput& in) {
  StepEvents ev;
  ev.frame = g.frameNumber;
  GameInput(g, in, ev);
  GameUpdate(g, ev);
  g.frameNumber += 1;
  return ev;
}

void GameUpdate(GameState& g, StepEvents& ev) {
  AdvanceFade(g.vars.clock);
  const int32_t inPlay = g.BallsInPlay();
  if (inPlay > 1 && g.phase != AllClear && g.phase != GameOver)
    g.score = WrappingAdd(g.score, 10 * inPlay);
  StepBalls(g, ev);
  UpdateOptionBars(g);
  UpdateItems(g);
  StepBlocks(g);
  if (EndLevel(g)) return;
  if (g.phase == Playing) Descend(g);
  PhaseWork(g, ev);
}

void RecordEvents(ReplayStore& store, const StepEvents& ev) {
  if (ev.recordInput) {
    store.setLastInputFrame(ev.recorded.frame);
    store.AppendInputFrame(ev.recorded);
  }
  if (ev.recordPlan) {
    for (int i = 0; i < kPlanSlots; ++i)
      if (ev.plan[i] >= 0) store.SetItemPlanByte(ev.planLevel, i, ev.plan[i]);
  }
}

int32_t FinalScore(const GameState& g) {
  if (g.phase != AllClear) return g.score;
  return WrappingAdd(WrappingAdd(g.score, g.vars.levelClearBonus), g.vars.ballBonus);
}

void HandOverResult(const GameState& g, AppContext& ctx) {
  ctx.score = FinalScore(g);
  ctx.reachedLevel = g.reachedLevel;
  if (g.replayMode != Recording || !g.replay) return;
  ReplayStore& store = *g.replay;
  ctx.finishTime = store.calendarNow();
  ctx.finishLocalTime = LocalTime(ctx.finishTime);
  store.fileName() = ReplayFileName(ctx.score, ctx.finishLocalTime);
  store.FinishReplay(ctx.score, ctx.reachedLevel);
}

}  // namespace quadrel
