// What the rules own: the objects, the counters, the phase, the input the
// step keeps between steps, the playback cursor and the game's random stream.
// The shell's record (window, clock, scene) is the AppContext; nothing here
// reaches a device.
#pragma once

#include <cstdint>

#include "base/GamePorts.hpp"
#include "game/FixedStepClock.hpp"
#include "game/Random.hpp"
#include "game/Types.hpp"

namespace quadrel {

class ReplayStore;

constexpr double kStepLength = 1000.0 / 60.0;      // 16.666666666666668
constexpr double kSlowStepLength = 1000.0 / 30.0;  // 33.333333333333336

struct GameVars {
  FixedStepClock clock;  // step length, fade and hand-over
  int32_t bannerAlpha;
  int32_t bannerDirection;
  int32_t levelClearBonus;
  int32_t ballBonus;
  int32_t reviveActive;
  int32_t reviveTimer;
  float cameraAngle;
  float cameraDistance;
  float cameraEye[3];
  MouseState mouse;
  MouseState previousMouse;
  KeyboardState keyboard;
  InputFrame nextFrame;
};

struct GameState {
  Bar bars[kBarCount];
  Ball balls[kBallSlots];
  Block blocks[kBlockCount];
  Item items[kItemSlots];

  int32_t phase;
  int32_t score;
  int32_t level;
  int32_t ballStock;
  int32_t ballsLaunched;
  int32_t ballsLost;
  int32_t blocksCleared;
  int32_t descendCountdown;
  int32_t descendRows;
  int32_t colourTable[kBlockCount];
  int32_t reachedLevel;
  int32_t frameNumber;  // steps since the game was entered
  int32_t replayMode;
  double gapMarker;  // 99.0 once a playback has diverged

  GameVars vars;
  // The item plan's draws: the only random numbers a replay depends on.
  Random gameRandom;
  // The replay being recorded or played back.
  ReplayStore* replay = nullptr;
  bool firstReset = true;  // the first GameReset zero-fills the rest

  int32_t BallsInPlay() const { return ballsLaunched - ballsLost; }
};

}  // namespace quadrel
