// The game scene's own state (beside the AppContext) and the narrow services
// through which the simulation reaches sound, input devices and the display.
#pragma once

#include <cstdint>

#include "base/GamePorts.hpp"
#include "game/AppContext.hpp"
#include "game/FixedStepClock.hpp"
#include "game/Random.hpp"
#include "game/Types.hpp"

namespace quadrel {

class ReplayStore;
struct AppliedPlayback;

constexpr double kStepLength = 1000.0 / 60.0;      // 16.666666666666668
constexpr double kSlowStepLength = 1000.0 / 30.0;  // 33.333333333333336

struct GameVars {
  int32_t gameSceneLoaded;
  int32_t soundLoaded;
  FixedStepClock clock;  // step length, fade and hand-over
  int32_t bannerAlpha;
  int32_t bannerDirection;
  int32_t bannerStage;
  int32_t levelClearBonus;
  int32_t ballBonus;
  int32_t reviveActive;
  int32_t reviveTimer;
  int32_t replayBlink;
  int32_t altEnterHeld;  // the display-mode keys were down at the last input
  uint32_t bannerStageStart;
  float cameraAngle;
  float cameraDistance;
  float cameraEye[3];
  MouseState mouse;
  MouseState previousMouse;
  KeyboardState keyboard;
  InputFrame nextFrame;
};

// Everything one game scene works on. The process has one; tests make their own.
struct GameScene {
  GameScene(AppContext& context, ReplayStore& store, Random& random)
      : ctx(context), replay(store), rng(random) {
  }

  AppContext& ctx;
  ReplayStore& replay;
  Random& rng;
  GameVars vars{};
  bool firstReset = true;

  GameSound* sound = nullptr;
  GameInputDevice* input = nullptr;
  DisplayModeSwitch* modeSwitch = nullptr;
  // Set by the replay check only: what a playback applied, for its copy digest.
  AppliedPlayback* applied = nullptr;
};

}  // namespace quadrel
