#include "game/GameInput.hpp"

#include <cstring>

#include "game/Physics.hpp"
#include "game/Turns.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {
namespace {

void SubstitutePlayback(GameState& g, StepEvents& ev) {
  GameVars& v = g.vars;
  v.mouse.lX = 0;
  v.mouse.rgbButtons[0] = 0;
  v.clock.stepLength = IsDown(v.mouse.rgbButtons[1]) ? kSlowStepLength : kStepLength;
  if (v.nextFrame.frame != g.frameNumber) return;
  if (v.nextFrame.score != g.score) {
    g.gapMarker = 99.0;
    ev.gap = true;
  }
  v.mouse.lX = v.nextFrame.dx;
  v.mouse.rgbButtons[0] = v.nextFrame.button;
  if (v.nextFrame.dx != 0 || IsDown(v.nextFrame.button)) {
    ev.appliedInput = true;
    ev.appliedDx = v.nextFrame.dx;
    ev.appliedDown = IsDown(v.nextFrame.button);
  }
  // The recorded input ends at the header's last frame, or earlier where the
  // file holds no more whole frames.
  if (!(g.replay->lastInputFrame() > g.frameNumber && g.replay->ReadInputFrame(v.nextFrame))) {
    g.replayMode = PlaybackEnded;
    ev.playbackEnded = true;
  }
}

void Record(const GameState& g, bool buttonDown, StepEvents& ev) {
  const MouseState& m = g.vars.mouse;
  if (m.lX == 0 && !buttonDown) return;
  ev.recordInput = true;
  ev.recorded = InputFrame{};
  ev.recorded.dx = static_cast<int16_t>(m.lX);
  ev.recorded.button = m.rgbButtons[0];
  ev.recorded.frame = g.frameNumber;
  ev.recorded.score = g.score;
}

// A click on the game-over screen, or after the all-clear count-up, leaves.
void LeavingClick(GameState& g, bool countUpDone, StepEvents& ev) {
  GameVars& v = g.vars;
  if (g.phase == GameOver) {
    g.reachedLevel = countUpDone ? 5 : g.level;
  } else if (countUpDone) {
    g.reachedLevel = 5;
  } else {
    return;
  }
  v.clock.nextScene = Ranking;
  // A playback never reaches the ranking: whatever its file says, it returns
  // to the title.
  if (g.replayMode == PlaybackEnded || g.replayMode == Playback) {
    g.replayMode = Off;
    v.clock.nextScene = Title;
  }
  ev.leaveTo = v.clock.nextScene;
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

void GameInput(GameState& g, const StepInput& in, StepEvents& ev) {
  GameVars& v = g.vars;
  if (v.clock.nextScene >= 0) return;
  v.mouse = in.mouse;
  v.keyboard = in.keyboard;

  if (g.replayMode == Playback) {
    SubstitutePlayback(g, ev);
  } else {
    v.clock.stepLength = kStepLength;
  }

  Bar& bar = g.bars[0];
  bar.x += v.mouse.lX / 8.0;
  if (bar.x < -19.0) bar.x = -19.0;
  if (bar.x > 19.0) bar.x = 19.0;

  const bool down = IsDown(v.mouse.rgbButtons[0]);
  const bool pressed = down && !IsDown(v.previousMouse.rgbButtons[0]);
  if (pressed) LaunchBall(g);

  if (g.replayMode == Recording && g.phase != AllClear) Record(g, down, ev);

  if (pressed) LeavingClick(g, in.countUpDone, ev);

  MoveCamera(v);
  v.previousMouse = v.mouse;
}

}  // namespace quadrel
