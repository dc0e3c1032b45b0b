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

void ResetObjects(AppContext& ctx) {
  for (Bar& bar : ctx.bars) bar = Bar{};
  for (Ball& ball : ctx.balls) ball = Ball{};
  for (Item& item : ctx.items) item = Item{};
  for (int j = 0; j < kBarCount; ++j) {
    Bar& bar = ctx.bars[j];
    bar.x = 0.0;
    bar.y = 4.0;
    bar.z = 0.0;
    bar.scale = 1.0;
    bar.barState = BarNormal;
    bar.lifetime = 900;
    bar.active = j == 0 ? 1 : 0;
  }
  SetupFirstLevel(ctx);
  BuildColourTable(ctx);
}

// Returns true when the step ends here (the last level was cleared).
bool EndLevel(GameScene& g) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  if (ctx.blocksCleared != BlocksToClear(ctx.level) || ctx.phase == GameOver) return false;
  ctx.level += 1;
  ctx.blocksCleared = 0;
  if (ctx.level == kLevelCount) {
    v.ballBonus = (ctx.ballStock - ctx.ballsLost) * kBonusPerBall;
    v.levelClearBonus = kFinalClearBonus;
    ctx.level = kLevelCount - 1;
    ctx.phase = AllClear;
    return true;
  }
  v.levelClearBonus = ctx.BallsInPlay() * kBonusPerBall;
  ctx.score = WrappingAdd(ctx.score, v.levelClearBonus);
  ctx.phase = LevelIntro;
  return false;
}

void PhaseWork(GameScene& g) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  switch (ctx.phase) {
    case GameOver:
      v.bannerAlpha += 2;
      if (v.bannerAlpha > 255) v.bannerAlpha = 255;
      if (ctx.ballStock > ctx.ballsLost) ctx.phase = Revive;
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
          StartLevel(g);
          ctx.phase = Playing;
        }
      }
      break;
    case Revive:
      if (v.reviveActive == 0) {
        v.reviveActive = 1;
        v.reviveTimer = kReviveSteps;
        if (g.sound) g.sound->StartMusic();
      }
      v.reviveTimer -= 1;
      if (v.reviveTimer == 0) {
        v.bannerAlpha = 0;
        v.reviveActive = 0;
        ctx.phase = Playing;
      }
      break;
    default:
      break;
  }
}

}  // namespace

void GameReset(GameScene& g) {
  AppContext& ctx = g.ctx;
  if (g.firstReset) {
    ctx = AppContext{};
    g.firstReset = false;
  }
  ctx.phase = LevelIntro;
  ctx.ballStock = 3;
  ctx.level = 0;
  ctx.ballsLaunched = 0;
  ctx.ballsLost = 0;
  ctx.blocksCleared = 0;
  g.vars.bannerStage = 0;
  g.vars.bannerAlpha = 0;
  // A game restarted during Revive must not hand its timer to the next game.
  g.vars.reviveActive = 0;
  g.vars.reviveTimer = 0;
  ResetObjects(ctx);
}

void EnterGameState(GameScene& g, const std::string* playbackPath) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  v.gameSceneLoaded = 1;
  ctx.phase = LevelIntro;
  ctx.score = 0;
  std::memset(v.keyboard.keys, 0, sizeof v.keyboard.keys);
  v.altEnterHeld = 1;  // keys still held from the previous scene are no press
  // A button still held from the previous scene must not count as a click.
  std::memset(v.previousMouse.rgbButtons, 0x80, sizeof v.previousMouse.rgbButtons);
  v.bannerDirection = 0;
  v.replayBlink = 0;
  v.cameraAngle = 270.0f;
  v.cameraDistance = 70.0f;
  v.cameraEye[0] = 0.0f;
  v.cameraEye[1] = 20.0f;
  v.cameraEye[2] = -70.0f;
  v.clock.stepLength = kStepLength;
  ctx.frameNumber = 0;
  if (ctx.replayMode != Off) {
    g.replay.ResetReplayStore();
    ctx.gapMarker = 0.0;
  }
  if (ctx.replayMode == Playback) {
    if (playbackPath) g.replay.LoadReplayPath(*playbackPath);
    g.replay.ReadInputFrame(v.nextFrame);
  }
  BeginFadeIn(v.clock);
}

bool SimulationStep(GameScene& g, const MouseState& mouse, const KeyboardState& keyboard) {
  GameInputWith(g, mouse, keyboard);
  const bool leaving = g.vars.clock.nextScene >= 0;
  GameUpdate(g);
  g.ctx.frameNumber += 1;
  return leaving;
}

void GameUpdate(GameScene& g) {
  AppContext& ctx = g.ctx;
  AdvanceFade(g.vars.clock);
  const int32_t inPlay = ctx.BallsInPlay();
  if (inPlay > 1 && ctx.phase != AllClear && ctx.phase != GameOver)
    ctx.score = WrappingAdd(ctx.score, 10 * inPlay);
  StepBalls(g);
  UpdateOptionBars(ctx);
  UpdateItems(ctx);
  StepBlocks(g);
  if (EndLevel(g)) return;
  if (ctx.phase == Playing) Descend(ctx);
  PhaseWork(g);
}

}  // namespace quadrel
