#include "game/GameInput.hpp"

#include <cstring>

#include "game/AppliedPlayback.hpp"
#include "game/Physics.hpp"
#include "game/Turns.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {
namespace {

void SubstitutePlayback(GameScene& g) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  v.mouse.lX = 0;
  v.mouse.rgbButtons[0] = 0;
  v.clock.stepLength = IsDown(v.mouse.rgbButtons[1]) ? kSlowStepLength : kStepLength;
  if (v.nextFrame.frame != ctx.frameNumber) return;
  if (v.nextFrame.score != ctx.score) ctx.gapMarker = 99.0;
  v.mouse.lX = v.nextFrame.dx;
  v.mouse.rgbButtons[0] = v.nextFrame.button;
  if (g.applied && (v.nextFrame.dx != 0 || IsDown(v.nextFrame.button)))
    g.applied->Input(ctx.frameNumber, v.nextFrame.dx, IsDown(v.nextFrame.button));
  // The recorded input ends at the header's last frame, or earlier where the
  // file holds no more whole frames.
  if (!(g.replay.lastInputFrame() > ctx.frameNumber && g.replay.ReadInputFrame(v.nextFrame)))
    ctx.replayMode = PlaybackEnded;
}

void Record(GameScene& g, bool buttonDown) {
  AppContext& ctx = g.ctx;
  const MouseState& m = g.vars.mouse;
  if (m.lX == 0 && !buttonDown) return;
  InputFrame frame{};
  frame.dx = static_cast<int16_t>(m.lX);
  frame.button = m.rgbButtons[0];
  frame.frame = ctx.frameNumber;
  frame.score = ctx.score;
  g.replay.setLastInputFrame(ctx.frameNumber);
  g.replay.AppendInputFrame(frame);
}

// Returns true when the click leaves the game.
bool LeavingClick(GameScene& g) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  if (ctx.phase == GameOver) {
    ctx.reachedLevel = v.bannerStage > 128 ? 5 : ctx.level;
  } else if (v.bannerStage > 128) {
    ctx.reachedLevel = 5;
  } else {
    return false;
  }
  v.clock.nextScene = Ranking;
  if (ctx.replayMode == Recording) {
    ctx.finishTime = g.replay.calendarNow();
    ctx.finishLocalTime = LocalTime(ctx.finishTime);
    g.replay.fileName() = ReplayFileName(ctx.score, ctx.finishLocalTime);
    g.replay.FinishReplay(ctx.score, ctx.reachedLevel);
  }
  // A playback never reaches the ranking: whatever its file says, it returns
  // to the title.
  if (ctx.replayMode == PlaybackEnded || ctx.replayMode == Playback) {
    ctx.replayMode = Off;
    v.clock.nextScene = Title;
  }
  return true;
}

void RecomputeEye(GameVars& v) {
  const float a = v.cameraAngle * 3.1415927f / 180.0f;
  double c, s;
  PortableCosSin(a, c, s);  // the core keeps off the maths library
  v.cameraEye[0] = static_cast<float>(c) * v.cameraDistance;
  v.cameraEye[1] = 20.0f;
  v.cameraEye[2] = static_cast<float>(s) * v.cameraDistance;
}

void MoveCamera(GameVars& v) {
  const uint8_t* keys = v.keyboard.keys;
  if (IsDown(keys[key::Left]) || IsDown(keys[key::Right])) {
    v.cameraAngle += IsDown(keys[key::Left]) ? -1.0f : 1.0f;
    RecomputeEye(v);
  }
  if (IsDown(keys[key::Up]) || IsDown(keys[key::Down])) {
    v.cameraDistance += IsDown(keys[key::Up]) ? -1.0f : 1.0f;
    if (v.cameraDistance > 200.0f) {
      v.cameraDistance = 200.0f;
    } else if (v.cameraDistance < 30.0f) {
      v.cameraDistance = 30.0f;
    }
    RecomputeEye(v);
  }
}

}  // namespace

void GameInputWith(GameScene& g, const MouseState& mouse, const KeyboardState& keyboard) {
  AppContext& ctx = g.ctx;
  GameVars& v = g.vars;
  if (v.clock.nextScene >= 0) return;
  v.mouse = mouse;
  v.keyboard = keyboard;

  if (ctx.replayMode == Playback) {
    SubstitutePlayback(g);
  } else {
    v.clock.stepLength = kStepLength;
  }

  Bar& bar = ctx.bars[0];
  bar.x += v.mouse.lX / 8.0;
  if (bar.x < -19.0) bar.x = -19.0;
  if (bar.x > 19.0) bar.x = 19.0;

  const bool down = IsDown(v.mouse.rgbButtons[0]);
  const bool pressed = down && !IsDown(v.previousMouse.rgbButtons[0]);
  if (pressed) LaunchBall(g);

  if (ctx.replayMode == Recording && ctx.phase != AllClear) Record(g, down);

  if (pressed) LeavingClick(g);

  const uint8_t* keys = v.keyboard.keys;
  // One switch per press: held keys would flip the display every step.
  const bool altEnter =
      (IsDown(keys[key::LeftAlt]) || IsDown(keys[key::RightAlt])) && IsDown(keys[key::Enter]);
  if (altEnter && !v.altEnterHeld) {
    ctx.fullScreen = 1 - ctx.fullScreen;
    if (g.modeSwitch) g.modeSwitch->ChangeMode(ctx);
  }
  v.altEnterHeld = altEnter ? 1 : 0;

  if (IsDown(keys[key::Backspace]) && v.clock.fadeAlpha == 0) {
    if (ctx.replayMode != Playback) {
      v.clock.nextScene = Game;
    } else {
      ctx.replayMode = Off;
      v.clock.nextScene = Title;
    }
  }

  MoveCamera(v);
  v.previousMouse = v.mouse;
}

}  // namespace quadrel
